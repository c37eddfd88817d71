// The command line's options, parsed with CLI11. Values stay bytes as the
// entry procedure gave them (UTF-8 on Windows, the names' own bytes on POSIX);
// the front end converts them where it uses them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/text_file/text_file.h"

struct CliOptions {
    std::vector<std::string> sources;  // "-" is standard input
    std::optional<std::string> output;
    std::optional<std::string> templateName;
    std::optional<std::string> templateDirectory;
    std::optional<std::string> settingsFile;
    std::optional<std::string> browserTitle;
    std::optional<std::int32_t> titleRange;
    std::optional<std::int32_t> pageSeparator;
    std::optional<TextEncoding> encoding;  // of sources without a mark
    std::optional<std::string> date;      // YYYY-MM-DD
    bool site = false;
    std::optional<int> splitLevel;       // 1 or more
    bool listTemplates = false;
    bool watch = false;
    bool quiet = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
};

extern const char* const cliHelpText;
extern const char* const cliVersionText;

// Parses the arguments without the program name. Returns 0 when they were
// understood; otherwise says what was wrong on standard error and returns 2.
int parseCliOptions(const std::vector<std::string>& arguments, CliOptions& options);

// The usage error exit: "pagesmith-cli: " + problem, then the usage line.
int usageError(const std::string& problem);

// Text as a terminal may show it: control characters (C0, DEL, C1) become
// "\x1b" and the like, so that a file's name cannot move the cursor, change
// colours or start a line of its own; so does each byte of a name that is
// not UTF-8 ("\xe9"), where a terminal would show a replacement character.
std::string shownText(std::string_view bytes);
