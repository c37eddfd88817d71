#include <string>
#include <vector>

#include "cli/cli.h"
#include "toolkit/wide_text_win32.h"

// Wide arguments keep every character of a path that the ANSI code page lacks.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(fromWide(argv[i]));
    return runCommandLine(arguments);
}
