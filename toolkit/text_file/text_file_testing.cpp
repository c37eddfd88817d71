// Positions in a text file, for the tests, fuzzers and benchmarks only.
#include "toolkit/text_file/text_file_testing.h"

#include "toolkit/text_file/text_file_buffer.h"

namespace text_file {

void seek(FileId file, std::int64_t position) {
    TextFile* f = lookup(file);
    if (f) seekTo(*f, position);
}

std::int64_t position(FileId file) {
    TextFile* f = lookup(file);
    return f ? logicalPosition(*f) : -1;
}

}  // namespace text_file
