// The command-line front end: the same conversion job as the window program,
// with settings from the same file and options on top.
#pragma once

#include <string>
#include <vector>

// `arguments` without the program name. Returns the process exit status:
// 0 done, 1 the conversion failed (already reported), 2 a usage error.
int runCommandLine(const std::vector<std::u16string>& arguments);
