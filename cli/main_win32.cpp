#include <string>
#include <vector>

#include "cli/cli.h"

// Wide arguments keep every character of a path that the ANSI code page lacks.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) arguments.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    return runCommandLine(arguments);
}
