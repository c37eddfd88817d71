// The open-file record and its buffer model, shared by the text-file units
// (toolkit/text_file/) and by nothing else; also the sizes the buffers are
// made with.
//
// The buffer that the service describes holds 4096 bytes; the bytes move to
// and from the system in larger chunks instead (systemChunkSize), so that a
// long file costs a small share of the system calls. A write of 4096 bytes
// or more still goes to the system at once, as it would through the
// described buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/text_file/text_file.h"
#include "toolkit/text_file/text_file_platform.h"

namespace text_file {

// Chunks of sixteen times the described buffer (64 KB); sixty-four times
// (256 KB) on Windows, where a system call costs more than on Linux: a tenth
// less time for a 100 MB conversion under Wine; and in the browser, where
// each chunk crosses into JavaScript.
#if defined(_WIN32) || defined(__EMSCRIPTEN__)
constexpr std::int32_t chunkBlocks = 64;
#else
constexpr std::int32_t chunkBlocks = 16;
#endif
constexpr std::int32_t systemChunkSize = chunkBlocks * fileBufferSize;

struct TextFile {
    platform_file::Handle handle = 0;
    std::unique_ptr<unsigned char[]> buffer;  // systemChunkSize bytes
    // Reading state: read-ahead bytes not yet consumed.
    std::int32_t remaining = 0;
    // Bytes the last refill delivered; the next unread byte lies `remaining`
    // bytes before this mark.
    std::int32_t filled = 0;
    // Writing state: bytes in the buffer not yet handed to the system.
    std::int32_t held = 0;
    bool readingState = true;
    // Counts the refills, so that what was made from one refill's bytes
    // knows when they are gone.
    std::uint32_t refills = 0;
    // Single-byte code pages: the last refill widened as a whole, with one bit
    // per byte marking CR, LF and NUL (read/text_file_read_ansi.cpp); made on
    // first use.
    // wideText has fast_paths::copySlack units of room behind a refill's
    // worth, lineEnds fast_paths::markWords of a refill.
    std::unique_ptr<char16_t[]> wideText;
    std::unique_ptr<std::uint64_t[]> lineEnds;
    std::uint32_t wideTextOf = 0;  // the refill they were made from, 0 for none
    // How much of that refill is widened and marked: it is done a window at a
    // time, as its lines are read.
    std::int32_t widened = 0;
    TextEncoding defaultEncoding = TextEncoding::Utf8;
    bool readOnly = false;
    bool writeFailed = false;
    // A standard stream: a pipe gives what has arrived, so reads wait for
    // whole chunks, and the handle is not ours to close.
    bool standardStream = false;
    std::int64_t systemBytesWritten = 0;  // counted for a bound stream
    // A system read failed; the file reads as ended from then on.
    bool readFailed = false;
};

// The numbered files (text_file.cpp); a slot is empty when its number is free.
extern std::vector<std::unique_ptr<TextFile>> openFiles;

inline TextFile* lookup(FileId id) {
    const int n = static_cast<int>(id);
    if (n < 0 || static_cast<std::size_t>(n) >= openFiles.size()) return nullptr;
    return openFiles[static_cast<std::size_t>(n)].get();
}

// Gives `f` room for a refill's widened text and its line-end marks, kept
// from a closed file when there is one (text_file.cpp).
void makeWideTextRoom(TextFile& f);

// --- Buffer model (text_file_buffer.cpp) -----------------------------------

// Hands the bytes held for writing to the system; a shortfall sets
// writeFailed.
void writeOutBuffer(TextFile& f);

// Switching direction writes out what is held, or gives back to the system
// what was read ahead.
void switchToReading(TextFile& f);
void switchToWriting(TextFile& f);
inline void enterReadingState(TextFile& f) {
    if (!f.readingState) switchToReading(f);
}
inline void enterWritingState(TextFile& f) {
    if (f.readingState) switchToWriting(f);
}

// Reads the next chunk from the system; false at the end of the file and
// after a failed read.
bool refill(TextFile& f);
// The same, keeping the unread bytes: they move to the buffer's start and the
// chunk is read behind them. False when nothing more came.
bool refillKeeping(TextFile& f);

inline const unsigned char* unread(const TextFile& f) {
    return f.buffer.get() + (f.filled - f.remaining);
}

// The position a caller sees: the system's, less what was read ahead or plus
// what is held for writing. -1 when the system cannot tell.
std::int64_t logicalPosition(const TextFile& f);
void seekTo(TextFile& f, std::int64_t at);

std::int32_t readBytes(TextFile& f, unsigned char* bytes, std::int32_t count);
// Un-reads bytes just read.
void pushBack(TextFile& f, std::int32_t count);
std::int32_t writeBytes(TextFile& f, const unsigned char* bytes, std::int32_t count);

// --- Lines too long to gather whole (read/text_file_long_line.cpp) ---------

// A line whose bytes outgrow this many is read by readLongByteLine; a line
// whose text outgrows as many code units gets its room by makeRoomForRest.
// 256 KB unless setLongLineLimit changed it.
extern std::size_t longLineBytes;
// Room left behind a long line's text, so that a caller can append a short
// ending without moving the whole line.
constexpr std::size_t longLineSlack = 256;
// What readByteLine gives as the terminator of a line it stopped gathering.
constexpr unsigned char longLineMark = 0xFE;

// Reads the rest of a line in a byte encoding (Ansi or Utf8) whose first
// bytes `head` holds, decoding all of it into `line` with its room made at
// once. Returns the terminator (CR, LF or NUL), or 0xFF at the end of the
// file.
unsigned char readLongByteLine(TextFile& f, std::vector<unsigned char>& head,
                               TextEncoding encoding, std::u16string& line);

// Gives `line` room at once for the rest of a line in a unit encoding
// (UTF-16 or UTF-32), measured ahead from the current position.
void makeRoomForRest(TextFile& f, std::u16string& line, std::int32_t unitSize, bool bigEndian);

}  // namespace text_file
