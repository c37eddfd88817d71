#include "cli/cli.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "cli/cli_options.h"
#include "cli/conversions.h"
#include "cli/site.h"
#include "converter/conversion_run.h"
#include "converter/settings_text.h"
#include "shell/job_settings_io.h"
#include "shell/settings_store.h"
#include "shell/template_list.h"
#include "toolkit/process/console.h"
#include "toolkit/dates/date_format.h"
#include "toolkit/fs/directory_scan.h"
#include "toolkit/fs/file_kind.h"
#include "toolkit/fs/file_system.h"
#include "toolkit/fs/paths.h"
#include "toolkit/fs/product_stream.h"
#include "toolkit/process/system_error.h"
#include "toolkit/text/native_names.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file.h"

namespace {

// The template list uses scan number 0.
constexpr int WildcardScan = 1;

// A name from the command line, its bytes kept (toolkit/text/native_names.h).
std::optional<std::u16string> nameText(const std::optional<std::string>& bytes) {
    if (!bytes) return std::nullopt;
    return textFromNativeName(*bytes);
}

bool isSeparator(char16_t c) { return c == u'/' || c == pathSeparator; }

// "*" and "?" in the file name, matched as the platform's directory listing
// matches them; files only, in name order; none when nothing matches.
std::vector<std::u16string> expandSourceWildcards(const std::u16string& argument) {
    const std::u16string folder = directoryPart(argument);
    const std::u16string pattern = argument.substr(std::min(folder.size(), argument.size()));
    if (pattern.find_first_of(u"*?") == std::u16string::npos) return {argument};
    std::vector<std::u16string> names;
    if (examineDirectory(WildcardScan, folder, pattern)) {
        while (nextEntry(WildcardScan)) {
            if (entryType(WildcardScan) == FileEntry) names.push_back(entryName(WildcardScan));
        }
        finishDirectory(WildcardScan);
    }
    std::sort(names.begin(), names.end(), [](const std::u16string& a, const std::u16string& b) {
        const std::u16string la = lowerCase(a);
        const std::u16string lb = lowerCase(b);
        return la != lb ? la < lb : a < b;
    });
    for (std::u16string& name : names) name = folder + name;
    return names;
}

// "" when `text` is a day; otherwise what is wrong with it.
std::string parseDay(const std::string& text, CalendarDate& day) {
    switch (dayFromText(text, day)) {
    case DayProblem::None: return "";
    case DayProblem::NotYyyyMmDd: return "--date wants a day as YYYY-MM-DD: " + text;
    case DayProblem::Before1601: return "--date " + text + " is before 1601-01-01, the first day the date tags can print";
    case DayProblem::NoSuchDay: break;
    }
    return "--date " + text + " is not a day";
}

// --date, else SOURCE_DATE_EPOCH, fixes the day of the date tags. Returns 0
// or the usage error's status.
int fixTheDay(const CliOptions& options) {
    CalendarDate day{};
    if (options.date) {
        const std::string problem = parseDay(*options.date, day);
        if (!problem.empty()) return usageError(problem);
        setFixedToday(&day);
        return 0;
    }
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (!epoch || !*epoch) return 0;
    const std::string text(epoch);
    long long seconds = 0;
    bool valid = text.size() <= 12;
    for (char c : text) {
        valid = valid && c >= '0' && c <= '9';
        if (valid) seconds = seconds * 10 + (c - '0');
    }
    if (!valid || !calendarDateOfEpochSeconds(seconds, day))
        return usageError("SOURCE_DATE_EPOCH is not a count of seconds since 1970: " + text);
    setFixedToday(&day);
    return 0;
}

// The window's rule: the stored or named template when the list has it (in
// the list's spelling), else the first template. A named template that is
// not listed is taken as named, and its reading fails in the conversion.
// Returns how many templates the folder holds; `listingFailure` gets the
// system's reason when it cannot be listed.
int chooseTemplate(const std::optional<std::u16string>& named, int& listingFailure) {
    if (named) job.templateName = *named;
    const int count = scanTemplates(job.templateDirectory, &listingFailure);
    if (count == 0) return 0;
    const std::u16string& listed = templateNames[static_cast<std::size_t>(templateSelection(templateNames, job.templateName))];
    if (!named || lowerCase(listed) == lowerCase(*named)) job.templateName = listed;
    return count;
}

// Why no template can be chosen from the folder: it is not there, cannot be
// listed, or holds none. Reported; false when there is a template to choose.
bool reportNoTemplate(int templateCount, int listingFailure) {
    if (templateCount > 0) return false;
    const std::u16string& folder = job.templateDirectory;
    const FileKind folderKind = fileKind(folder);
    if (listingFailure == 0 && folderKind == FileKind::Directory) {
        reportCliMessage(u"No template in " + folder);
        return true;
    }
    // A missing folder in the words the system uses for a missing file.
    const std::u16string reason = folderKind == FileKind::Missing     ? systemErrorText(lastSystemError())
                                  : folderKind == FileKind::Directory ? systemErrorText(listingFailure)
                                                                      : u"not a folder";
    reportCliMessage(u"Cannot list the templates: " + folder + u" (" + reason + u")");
    return true;
}

// Where the product of one source goes.
void placeProduct(Conversion& conversion, const std::optional<std::u16string>& output, bool outputIsFolder) {
    if (output && *output == u"-") {
        conversion.toStandardOutput = true;
    } else if (outputIsFolder) {
        const std::u16string folder = *output;
        const std::u16string fileName = conversion.sourceName.substr(directoryPart(conversion.sourceName).size());
        conversion.productName = folder + (isSeparator(folder.back()) ? u"" : std::u16string(1, pathSeparator)) +
                                 productBesideSource(fileName);
    } else if (output) {
        conversion.productName = *output;
    } else if (conversion.fromStandardInput || namesAStream(conversion.sourcePath)) {
        conversion.toStandardOutput = true;
    } else {
        conversion.productName = productBesideSource(conversion.sourceName);
    }
    if (conversion.toStandardOutput) {
        conversion.productName = u"standard output";
    } else {
        conversion.productPath = normalizePath(conversion.productName);
        conversion.toStream = namesProductStream(conversion.productPath);
    }
}

}  // namespace

int runCommandLine(const std::vector<std::string>& arguments, bool expandWildcards) {
    CliOptions options;
    if (const int status = parseCliOptions(arguments, options)) return status;
    if (options.help) return writeStandardOutput(cliHelpText) ? 0 : 1;
    if (options.version) return writeStandardOutput(cliVersionText) ? 0 : 1;
    if (const int status = fixTheDay(options)) return status;
    verboseMessages = options.verbose;

    clearJobSettings();
    job.programDirectory = directoryPart(programFileName());
    SettingsStore store;
    store.settingsPath = options.settingsFile ? textFromNativeName(*options.settingsFile)
                                              : job.programDirectory + u"Pagesmith.ini";
    job.settingsPath = store.settingsPath;
    // Settings are read whole before anything else: a FIFO or a device would
    // keep the run waiting, or give no settings, where the user meant a file.
    if (isPipeOrDevice(store.settingsPath)) {
        return usageError("cannot read the settings file " + nativeNameFromText(store.settingsPath) +
                          " (not a regular file)");
    }
    // The default file may be missing: every setting then has its default.
    if (!load(store) && options.settingsFile) {
        return usageError("cannot read the settings file " + *options.settingsFile + " (" +
                          utf8FromText(text_file::lastFailureReason()) + ")");
    }
    readJobSettings(store, job);
    const std::u16string storedSource = job.sourcePath;
    const std::u16string storedProduct = job.productPath;

    if (options.templateDirectory) {
        job.templateDirectory = textFromNativeName(*options.templateDirectory);
        if (job.templateDirectory.empty() || !isSeparator(job.templateDirectory.back()))
            job.templateDirectory += pathSeparator;
    }
    if (options.browserTitle) job.browserTitle = textFromUtf8(*options.browserTitle);
    if (options.titleRange) job.titleRange = *options.titleRange;
    if (options.pageSeparator) job.pageSeparator = *options.pageSeparator;
    int listingFailure = 0;
    const int templateCount = chooseTemplate(nameText(options.templateName), listingFailure);

    if (options.listTemplates) {
        if (reportNoTemplate(templateCount, listingFailure)) return 1;
        std::string list;
        for (const std::u16string& name : templateNames) list += shownText(nativeNameFromText(name)) + "\n";
        return writeStandardOutput(list) ? 0 : 1;
    }

    // --encoding is the export's: a template without a mark is read as the
    // window reads it, so that every shipped template serves any export.
    text_file::setEncodingWithoutMark(SourceFile, options.encoding.value_or(TextEncoding::Ansi));

    std::vector<std::u16string> sources;
    int status = 0;
    for (const std::string& argument : options.sources) {
        if (argument.empty()) return usageError("a source name is empty");
        const std::u16string source = textFromNativeName(argument);
        if (!expandWildcards || source == u"-") {
            sources.push_back(source);
            continue;
        }
        const std::vector<std::u16string> matches = expandSourceWildcards(source);
        if (matches.empty()) {
            reportCliMessage(u"Source not found: " + source + u" (no file matches the pattern)");
            status = 1;
        }
        sources.insert(sources.end(), matches.begin(), matches.end());
    }
    // Patterns that matched nothing are no request for the last conversion.
    if (sources.empty() && status != 0) return status;
    if (std::count(sources.begin(), sources.end(), u"-") > 1)
        return usageError("standard input (-) can be read only once");
    if (options.site) {
        commonSettings = job;
        return runSite(options, sources);
    }

    const std::optional<std::u16string> output = nameText(options.output);
    if (output && output->empty()) return usageError("the output name is empty");
    const bool outputIsFolder =
        output && *output != u"-" && (sources.size() > 1 || isDirectory(normalizePath(*output)));
    if (outputIsFolder && !isDirectory(normalizePath(*output))) {
        if (fileKind(normalizePath(*output)) != FileKind::Missing)
            return usageError("with several sources, -o names a folder, and " + *options.output + " is a file");
        return usageError("with several sources, -o names a folder, and there is none: " + *options.output);
    }
    if (sources.size() > 1 && output && *output == u"-")
        return usageError("several sources cannot share standard output; -o names a folder for them");

    std::vector<Conversion> conversions;
    if (sources.empty()) {
        // The window program's last conversion.
        if (storedSource.empty()) {
            return usageError("no SOURCE given, and the settings file " + nativeNameFromText(store.settingsPath) +
                              " holds no last source");
        }
        Conversion conversion;
        conversion.sourceName = conversion.sourcePath = storedSource;
        if (!output && !storedProduct.empty()) {
            conversion.productPath = completeProductPath(storedProduct);
            conversion.productName = conversion.productPath;
        } else {
            placeProduct(conversion, output, outputIsFolder);
        }
        conversions.push_back(conversion);
    }
    for (const std::u16string& source : sources) {
        Conversion conversion;
        if (source == u"-") {
            if (outputIsFolder) return usageError("standard input has no name to give its page in a folder");
            conversion.fromStandardInput = true;
            conversion.sourceName = u"standard input";
        } else {
            conversion.sourceName = source;
            conversion.sourcePath = normalizePath(source);
            // A watch never waits on a pipe: it skips the source instead.
            conversion.fromStream = !options.watch && isPipeOrDevice(conversion.sourcePath);
        }
        placeProduct(conversion, output, outputIsFolder);
        conversions.push_back(conversion);
    }

    if (options.watch) {
        for (const Conversion& conversion : conversions) {
            if (conversion.fromStandardInput || conversion.toStandardOutput)
                return usageError("--watch needs files: standard input and output cannot be watched");
        }
    }
    commonSettings = job;
    installCliErrorSink();
    const bool refusals = refuseClashingProducts(conversions) > 0;
    if (!options.quiet) {
        for (std::size_t i = 0; i < conversions.size(); ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (!conversions[i].toStandardOutput && !conversions[i].refused && !conversions[j].refused &&
                    samePath(conversions[i].productPath, conversions[j].productPath)) {
                    reportCliMessage(u"warning: " + conversions[j].sourceName + u" and " + conversions[i].sourceName +
                                     u" both make " + conversions[i].productName + u"; the later one stays");
                    break;
                }
            }
        }
    }

    // Once for the batch, where each run would fail to read the template; a
    // named template is opened as named, and its own failure says why.
    const bool anyRuns = std::any_of(conversions.begin(), conversions.end(),
                                     [](const Conversion& conversion) { return !conversion.refused; });
    if (anyRuns && !options.templateName && reportNoTemplate(templateCount, listingFailure)) return 1;

    // A refused product is refused for good: watching it would only idle.
    if (options.watch) {
        const bool unwritable = refuseUnwritableProducts(conversions) > 0;
        return refusals || unwritable ? 1 : watchConversions(conversions);
    }
    if (refusals) status = 1;
    for (const Conversion& conversion : conversions) {
        if (!conversion.refused && !runConversion(conversion)) status = 1;
    }
    return status;
}
