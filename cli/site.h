// The command line's site: one source made into a folder of pages, or a zip
// of them, built beside the target and swapped in whole.
#pragma once

#include <string>
#include <vector>

struct CliOptions;

// Builds the site of the one source (once, or on every save with --watch).
// Returns the exit status; usage errors are reported as such.
int runSite(const CliOptions& options, const std::vector<std::u16string>& sources);
