#include "cli/cli_options.h"

#include <CLI/CLI.hpp>

#include "pagesmith_version.h"
#include "toolkit/process/console.h"

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
    "      --encoding ENC       how to read a source or template that has no\n"
    "                           byte-order mark: ansi (default: the system code page;\n"
    "                           Windows-1252 on Linux), utf-8, utf-16le, utf-16be\n"
    "      --date YYYY-MM-DD    the day that date tags print (also taken from\n"
    "                           SOURCE_DATE_EPOCH when set)\n"
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

std::string shownText(std::string_view utf8Text) {
    static const char digits[] = "0123456789abcdef";
    std::string shown;
    for (std::size_t i = 0; i < utf8Text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8Text[i]);
        const unsigned char next = i + 1 < utf8Text.size() ? static_cast<unsigned char>(utf8Text[i + 1]) : 0;
        // C1 controls are U+0080..U+009F, in UTF-8 0xC2 0x80..0x9F.
        const bool c1 = c == 0xC2 && (next & 0xE0) == 0x80;
        if (c1) c = static_cast<unsigned char>(utf8Text[++i]);
        if (c < 0x20 || c == 0x7F || c1) {
            shown += "\\x";
            shown += digits[c >> 4];
            shown += digits[c & 15];
        } else {
            shown += static_cast<char>(c);
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
    app.add_flag("-w,--watch", options.watch);
    CLI::Option* quietFlag = app.add_flag("-q,--quiet", options.quiet);
    app.add_flag("-v,--verbose", options.verbose)->excludes(quietFlag);
    app.add_option("SOURCE", options.sources);

    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app.parse(std::move(reversed));
    } catch (const CLI::ParseError& error) {
        return usageError(error.what());
    }
    if (titleRangeOption->count() > 0) {
        // Decimal only: "010" is ten, as a user reads it, and "0x3" no number.
        const std::size_t digitsFrom = titleRange.size() > 1 && titleRange[0] == '-' ? 1 : 0;
        if (titleRange.size() == digitsFrom || titleRange.size() - digitsFrom > 9 ||
            titleRange.find_first_not_of("0123456789", digitsFrom) != std::string::npos)
            return usageError("--title-range wants a decimal number: " + titleRange);
        options.titleRange = std::stoi(titleRange);
    }
    if (options.templateDirectory && options.templateDirectory->empty())
        return usageError("the template folder name is empty");
    if (options.settingsFile && options.settingsFile->empty()) return usageError("the settings file name is empty");
    if (options.templateName &&
        (options.templateName->find_first_of("/\\") != std::string::npos || *options.templateName == ".."))
        return usageError("a template is named, not pathed; use --template-dir: " + *options.templateName);
    if (separator) options.pageSeparator = 1;
    if (noSeparator) options.pageSeparator = 0;
    TextEncoding encoding;
    if (encodingOption->count() > 0 && text_file::encodingNamed(encodingName, encoding)) options.encoding = encoding;
    return 0;
}
