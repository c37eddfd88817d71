#include <string>
#include <vector>

#include "cli/cli.h"
#include "toolkit/process/standard_streams.h"

// The shell has expanded wildcards; arguments arrive as UTF-8 bytes.
int main(int argc, char** argv) {
    claimClosedStandardStreams();
    return runCommandLine(std::vector<std::string>(argv + 1, argv + argc), false);
}
