// The command-line front end: the window program's conversion with settings
// from the same file and options on top, for pipes, batches and watching.
#pragma once

#include <string>
#include <vector>

// `arguments` without the program name, in UTF-8. `expandWildcards`: "*" and
// "?" in sources are expanded here, as no shell did (Windows). Returns the
// exit status: 0 done, 1 a conversion failed (reported), 2 a usage error.
int runCommandLine(const std::vector<std::string>& arguments, bool expandWildcards);
