#include "cli/cli_options.h"

#include <CLI/CLI.hpp>

#include "converter/settings_text.h"
#include "pagesmith_version.h"
#include "toolkit/process/console.h"
#include "toolkit/text/native_names.h"

const char* const cliVersionText = "pagesmith-cli " PAGESMITH_VERSION_TEXT "\n";

// Kept in step with docs/pagesmith-cli.1.in.
const char* const cliHelpText =
    "usage: pagesmith-cli [OPTIONS] [SOURCE...]\n"
    "Converts notes exports into HTML pages through a template, byte for byte as\n"
    "the window program does. SOURCE \"-\" is standard input; without SOURCE the\n"
    "window program's last conversion is repeated.\n"
    "\n"
    "  -o, --output PATH        the product; \"-\" is standard output; with several\n"
    "                           sources, a folder (default: SOURCE with .htm)\n"
    "  -t, --template NAME      template name without .tpl.txt\n"
    "      --template-dir DIR   folder of the templates\n"
    "      --settings FILE      settings file (default: Pagesmith.ini beside the program)\n"
    "      --title TEXT         title for the browser\n"
    "      --title-range N      number of different header styles\n"
    "      --separator | --no-separator\n"
    "                           separator lines between pages, or none\n"
    "      --encoding ENC       how to read a source that has no byte-order mark:\n"
    "                           ansi (default: the system code page; Windows-1252\n"
    "                           on Linux), utf-8, utf-16le, utf-16be; a template or\n"
    "                           settings file without one is read as ansi\n"
    "      --date YYYY-MM-DD    the day that date tags print (also taken from\n"
    "                           SOURCE_DATE_EPOCH when set)\n"
    "      --site               make a site of SOURCE: a folder (default: SOURCE\n"
    "                           without its extension; -o FOLDER) of one page per\n"
    "                           note with index.htm, or a zip when -o ends in .zip\n"
    "      --split-level N      pages of levels 1 to N get files of their own (1)\n"
    "      --list-templates     print the template names in the window's list order,\n"
    "                           one a line, and exit\n"
    "  -w, --watch              convert, then convert again whenever a source or the\n"
    "                           template changes, until Ctrl+C\n"
    "  -q, --quiet              errors only\n"
    "  -v, --verbose            say what was written\n"
    "  -h, --help               this text\n"
    "  -V, --version            the version\n"
    "\n"
    "Exit status: 0 done, 1 a conversion failed, 2 a usage error.\n";

std::string shownText(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    const auto* at = reinterpret_cast<const unsigned char*>(bytes.data());
    std::string shown;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = wellFormedUtf8Length(at + i, bytes.size() - i);
        // C1 controls are U+0080..U+009F, in UTF-8 0xC2 0x80..0x9F.
        const bool c1 = length == 2 && at[i] == 0xC2 && at[i + 1] <= 0x9F;
        const unsigned char c = c1 ? at[i + 1] : at[i];
        if (length == 0 || c1 || c < 0x20 || c == 0x7F) {
            shown += "\\x";
            shown += digits[c >> 4];
            shown += digits[c & 15];
            i += c1 ? 2 : 1;
        } else {
            shown.append(bytes.substr(i, length));
            i += length;
        }
    }
    return shown;
}

int usageError(const std::string& problem) {
    writeStandardError("pagesmith-cli: " + shownText(problem) +
                       "\nusage: pagesmith-cli [OPTIONS] [SOURCE...]  (--help lists the options)\n");
    return 2;
}

int parseCliOptions(const std::vector<std::string>& arguments, CliOptions& options) {
    CLI::App app("pagesmith-cli");
    // The texts are our own (cliHelpText); CLI11 parses.
    app.set_help_flag();
    app.allow_windows_style_options(false);
    app.add_flag("-h,--help", options.help);
    app.add_flag("-V,--version", options.version);
    app.add_option("-o,--output", options.output);
    app.add_option("-t,--template", options.templateName);
    app.add_option("--template-dir", options.templateDirectory);
    app.add_option("--settings", options.settingsFile);
    app.add_option("--title", options.browserTitle);
    std::string titleRange;
    CLI::Option* titleRangeOption = app.add_option("--title-range", titleRange);
    bool separator = false;
    bool noSeparator = false;
    CLI::Option* separatorFlag = app.add_flag("--separator", separator);
    app.add_flag("--no-separator", noSeparator)->excludes(separatorFlag);
    std::string encodingName;
    std::vector<std::string> encodingNames;
    for (const text_file::NamedEncoding& named : text_file::namedEncodings) encodingNames.emplace_back(named.name);
    CLI::Option* encodingOption =
        app.add_option("--encoding", encodingName)->check(CLI::IsMember(encodingNames, CLI::ignore_case));
    app.add_option("--date", options.date);
    app.add_flag("--list-templates", options.listTemplates);
    app.add_flag("--site", options.site);
    std::string splitLevel;
    CLI::Option* splitLevelOption = app.add_option("--split-level", splitLevel);
    app.add_flag("-w,--watch", options.watch);
    CLI::Option* quietFlag = app.add_flag("-q,--quiet", options.quiet);
    app.add_flag("-v,--verbose", options.verbose)->excludes(quietFlag);
    app.add_option("SOURCE", options.sources);

    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(std::move(reversed));
    } catch (const CLI::ExtrasError&) {
        // SOURCE takes every other word, so what is left over is an option.
        const std::vector<std::string> unknown = app.remaining();
        return usageError("Unknown option: " + (unknown.empty() ? std::string() : unknown.front()) +
                          " (see --help)");
    } catch (const CLI::ArgumentMismatch& error) {
        for (const CLI::Option* option : app.get_options()) {
            if (!option->get_positional() && option->count() > 1)
                return usageError(option->get_name() + " given twice");
        }
        return usageError(error.what());
    } catch (const CLI::ParseError& error) {
        return usageError(error.what());
    }
    if (titleRangeOption->count() > 0) {
        std::int32_t value = 0;
        if (!titleRangeFromText(titleRange, value)) return usageError("--title-range wants a decimal number: " + titleRange);
        options.titleRange = value;
    }
    if (splitLevelOption->count() > 0) {
        if (splitLevel.empty() || splitLevel.size() > 9 || splitLevel.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(splitLevel) < 1)
            return usageError("--split-level wants a level from 1 on: " + splitLevel);
        if (!options.site) return usageError("--split-level belongs to --site");
        options.splitLevel = std::stoi(splitLevel);
    }
    if (options.templateDirectory && options.templateDirectory->empty())
        return usageError("the template folder name is empty");
    if (options.settingsFile && options.settingsFile->empty()) return usageError("the settings file name is empty");
    if (options.templateName && options.templateName->empty()) return usageError("the template name is empty");
    if (options.templateName &&
        (options.templateName->find_first_of("/\\") != std::string::npos || *options.templateName == ".."))
        return usageError("a template is named, not pathed; use --template-dir: " + *options.templateName);
    if (separator) options.pageSeparator = 1;
    if (noSeparator) options.pageSeparator = 0;
    TextEncoding encoding;
    if (encodingOption->count() > 0 && text_file::encodingNamed(encodingName, encoding)) options.encoding = encoding;
    return 0;
}
