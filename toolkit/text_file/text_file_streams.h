// What the other text-file units ask of text_file_streams.cpp: the numbers
// bound to the standard streams, the encoding of files without a mark, and
// keeping the reason of the last failure. The public half is the last block
// of text_file.h.
#pragma once

#include "toolkit/text_file/text_file.h"
#include "toolkit/text_file/text_file_platform.h"

namespace text_file {

// True, with its handle, when `number` is bound to a standard stream.
bool boundHandle(int number, platform_file::Handle& handle);
// Counts the bytes a bound file handed to the system, as it closes.
void noteBoundBytes(int number, std::int64_t bytes);
// What detectEncoding answers for a file without a mark under `number`.
TextEncoding encodingWithoutMark(int number);
// Keeps the system's reason for a failed open or write.
void noteFailure();

}  // namespace text_file
