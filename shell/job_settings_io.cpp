// The conversion's settings read from and written to the settings store.
#include "shell/job_settings_io.h"

#include "toolkit/fs/paths.h"
#include "toolkit/text/strings.h"

void readJobSettings(SettingsStore& store, JobSettings& settings) {
    selectGroup(store, u"Template");
    settings.templateDirectory = readValue(store, u"Directory", settings.programDirectory);
    if (rightPart(settings.templateDirectory, 1) != std::u16string(1, pathSeparator))
        settings.templateDirectory += pathSeparator;
    settings.templateName = readValue(store, u"Last", u"");

    selectGroup(store, u"Files");
    settings.productPath = readValue(store, u"Product", u"");
    if (settings.sourcePath.empty()) settings.sourcePath = readValue(store, u"Source", u"");

    // What a key that is not there reads as: a fresh installation's setting.
    JobSettings defaults;
    applyDefaultSettings(defaults);
    selectGroup(store, u"Settings");
    settings.tagStartSymbol = readValue(store, u"TagStartSymbol", defaults.tagStartSymbol);
    settings.tagEndSymbol = readValue(store, u"TagEndSymbol", defaults.tagEndSymbol);
    settings.levelSymbol = readValue(store, u"levelSymbol", defaults.levelSymbol);
    settings.titleRange = readNumber(store, u"TitleRange", defaults.titleRange);
    settings.pageSeparator = readNumber(store, u"PageSeparator", defaults.pageSeparator);
    settings.browserTitle = readValue(store, u"BrowserTitle", defaults.browserTitle);

    // The numbers are used as read, unmasked: lt=0 with gt=2 still leaves the
    // "lt" bit set by gt's second bit.
    selectGroup(store, u"Named");
    auto isDefault = [&defaults](NamedEntity entity) { return (defaults.namedEntities & entity) != 0 ? 1 : 0; };
    std::uint32_t gt = static_cast<std::uint32_t>(readNumber(store, u"gt", isDefault(EntityGt)));
    std::uint32_t lt = static_cast<std::uint32_t>(readNumber(store, u"lt", isDefault(EntityLt)));
    std::uint32_t quot = static_cast<std::uint32_t>(readNumber(store, u"quot", isDefault(EntityQuot)));
    settings.namedEntities = static_cast<std::int32_t>(gt | (lt << 1) | (quot << 2));
}

void writeJobSettings(SettingsStore& store, const JobSettings& settings) {
    selectGroup(store, u"Template");
    writeValue(store, u"Last", settings.templateName);
    selectGroup(store, u"Files");
    writeValue(store, u"Source", settings.sourcePath);
    writeValue(store, u"Product", settings.productPath);
    selectGroup(store, u"Settings");
    writeNumber(store, u"TitleRange", settings.titleRange);
    writeNumber(store, u"PageSeparator", settings.pageSeparator);
    writeValue(store, u"BrowserTitle", settings.browserTitle);
}
