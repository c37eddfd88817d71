// Positions in a text file, which only the tests, the fuzzers and the
// benchmarks move or ask for: the library pagesmith_toolkit_testing holds
// them, and no program links it.
#pragma once

#include <cstdint>

#include "toolkit/text_file/text_file.h"

namespace text_file {

// Reading or writing goes on from `position`; what was held for writing is
// written out first.
void seek(FileId file, std::int64_t position);
// Where the next read or write happens, as a caller sees it; -1 for a file
// that is not open or whose system cannot tell.
std::int64_t position(FileId file);

}  // namespace text_file
