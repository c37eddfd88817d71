#include "cli/cli.h"

#include <cstdio>
#include <optional>
#include <string_view>

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "shell/job_settings_io.h"
#include "shell/settings_store.h"
#include "toolkit/paths.h"
#include "toolkit/strings.h"

namespace {

constexpr const char* usageText =
    "usage: pagesmith-cli [--settings FILE] [--template-dir DIR] [--template NAME]\n"
    "                     [--title TEXT] [--title-range N] [--separator | --no-separator]\n"
    "                     SOURCE [PRODUCT]\n";

constexpr const char* helpText =
    "Converts a notes export into one HTML page through a template.\n"
    "\n"
    "  --settings FILE     settings file (default: Pagesmith.ini beside the program)\n"
    "  --template-dir DIR  folder of the *.tpl.txt templates\n"
    "  --template NAME     template name without .tpl.txt\n"
    "  --title TEXT        title for the browser\n"
    "  --title-range N     number of different header styles\n"
    "  --separator         separator lines between pages\n"
    "  --no-separator      no separator lines\n"
    "  --help, --version\n"
    "\n"
    "PRODUCT defaults to the stored product file, else to SOURCE with .htm.\n";

struct Options {
    std::optional<std::u16string> settingsFile;
    std::optional<std::u16string> templateDirectory;
    std::optional<std::u16string> templateName;
    std::optional<std::u16string> browserTitle;
    std::optional<std::int32_t> titleRange;
    std::optional<std::int32_t> pageSeparator;
    std::vector<std::u16string> positional;
    bool help = false;
    bool version = false;
};

int usageError(const char* problem, std::u16string_view detail) {
    std::fprintf(stderr, "pagesmith-cli: %s%s\n%s", problem, utf8FromText(detail).c_str(), usageText);
    return 2;
}

// Optional sign and decimal digits within 32 bits, nothing else.
bool parseRange(std::u16string_view text, std::int32_t& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    if (i == text.size()) return false;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < u'0' || text[i] > u'9') return false;
        magnitude = magnitude * 10 + (text[i] - u'0');
        if (magnitude > 2147483648LL) return false;
    }
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > 2147483647LL) return false;
    value = static_cast<std::int32_t>(signedValue);
    return true;
}

// Returns 0 when the arguments were understood, else the exit status.
int parseArguments(const std::vector<std::u16string>& arguments, Options& options) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::u16string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument.compare(0, 2, u"--") != 0) {
            options.positional.push_back(argument);
            continue;
        }
        if (argument == u"--") {
            optionsEnded = true;
            continue;
        }
        std::u16string name = argument;
        std::optional<std::u16string> inlineValue;
        const std::size_t equals = argument.find(u'=');
        if (equals != std::u16string::npos) {
            name = argument.substr(0, equals);
            inlineValue = argument.substr(equals + 1);
        }
        auto takeValue = [&](std::optional<std::u16string>& target) -> bool {
            if (inlineValue) {
                target = *inlineValue;
                return true;
            }
            if (i + 1 >= arguments.size()) return false;
            target = arguments[++i];
            return true;
        };
        if (name == u"--help" && !inlineValue) {
            options.help = true;
        } else if (name == u"--version" && !inlineValue) {
            options.version = true;
        } else if (name == u"--separator" && !inlineValue) {
            options.pageSeparator = 1;
        } else if (name == u"--no-separator" && !inlineValue) {
            options.pageSeparator = 0;
        } else if (name == u"--settings") {
            if (!takeValue(options.settingsFile)) return usageError("missing value for ", name);
        } else if (name == u"--template-dir") {
            if (!takeValue(options.templateDirectory)) return usageError("missing value for ", name);
        } else if (name == u"--template") {
            if (!takeValue(options.templateName)) return usageError("missing value for ", name);
        } else if (name == u"--title") {
            if (!takeValue(options.browserTitle)) return usageError("missing value for ", name);
        } else if (name == u"--title-range") {
            std::optional<std::u16string> text;
            if (!takeValue(text)) return usageError("missing value for ", name);
            std::int32_t range = 0;
            if (!parseRange(*text, range)) return usageError("not a whole number: ", *text);
            options.titleRange = range;
        } else {
            return usageError("unknown option ", argument);
        }
    }
    return 0;
}

// Beside the source, with its extension (if any) replaced by "htm".
std::u16string productBesideSource(const std::u16string& sourcePath) {
    const std::u16string extension = extensionPart(sourcePath);
    if (extension.empty()) return sourcePath + u".htm";
    return sourcePath.substr(0, sourcePath.size() - extension.size()) + u"htm";
}

void resetConverterState() {
    currentLine.clear();
    inSource = 0;
    headingWritten = 0;
    listDepth = 0;
}

}  // namespace

int runCommandLine(const std::vector<std::u16string>& arguments) {
    Options options;
    if (const int status = parseArguments(arguments, options)) return status;
    if (options.help) {
        std::fputs(usageText, stdout);
        std::fputs(helpText, stdout);
        return 0;
    }
    if (options.version) {
        std::fputs("pagesmith-cli 0.73\n", stdout);
        return 0;
    }
    if (options.positional.empty()) return usageError("no source file given", u"");
    if (options.positional.size() > 2) return usageError("too many files: ", options.positional[2]);
    if (options.positional[0].empty()) return usageError("empty source file name", u"");

    clearJobSettings();
    resetConverterState();
    job.programDirectory = directoryPart(programFileName());
    job.sourcePath = normalizePath(options.positional[0]);

    SettingsStore store;
    store.settingsPath = options.settingsFile ? *options.settingsFile : job.programDirectory + u"Pagesmith.ini";
    load(store);
    readJobSettings(store, job);

    if (options.templateDirectory) {
        job.templateDirectory = *options.templateDirectory;
        if (job.templateDirectory.empty() || job.templateDirectory.back() != pathSeparator) {
            job.templateDirectory += pathSeparator;
        }
    }
    if (options.templateName) job.templateName = *options.templateName;
    if (options.browserTitle) job.browserTitle = *options.browserTitle;
    if (options.titleRange) job.titleRange = *options.titleRange;
    if (options.pageSeparator) job.pageSeparator = *options.pageSeparator;

    std::u16string product = options.positional.size() > 1 ? options.positional[1] : job.productPath;
    if (product.empty()) product = productBesideSource(job.sourcePath);
    job.productPath = completeProductPath(product);
    job.templatePath = templatePathOf(job);

    return writeProduct() ? 0 : 1;
}
