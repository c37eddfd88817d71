#include <string>
#include <vector>

#include "cli/cli.h"
#include "toolkit/process/standard_streams.h"
#include "toolkit/text/strings.h"
#include "toolkit/text/wide_text_win32.h"

// Wide arguments keep every character of a path that the ANSI code page
// lacks; they become UTF-8 here, at the edge. No Windows shell expands
// wildcards, so the front end does.
int wmain(int argc, wchar_t** argv) {
    claimClosedStandardStreams();
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(utf8FromText(fromWide(argv[i])));
    return runCommandLine(arguments, true);
}
