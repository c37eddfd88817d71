#include <string>
#include <vector>

#include "cli/cli.h"
#include "toolkit/strings.h"

int main(int argc, char** argv) {
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(textFromUtf8(argv[i]));
    return runCommandLine(arguments);
}
