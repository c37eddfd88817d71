// Text files: numbered open files, byte-order marks, line readers and
// writers for ANSI, UTF-8, UTF-16 and UTF-32 in either byte order. Text
// inside the program is UTF-16; this is the boundary.
//
// A file opened for reading shares it with other readers; a file opened for
// writing shares it with nobody. An open that would break this fails, also
// within this program.
//
// The operations live in namespace text_file: close, truncate and create are
// also POSIX functions, and a qualified call cannot reach the wrong one. The
// types stay global, as every layer uses them.
//
// The implementation, one concern per file under toolkit/text_file/:
//   text_file.cpp          the numbered files, their buffers kept for reuse
//   text_file_buffer.*     the open-file record, the buffer model, the sizes
//   text_file_marks.cpp    byte-order marks
//   text_file_streams.*    standard and other bound streams, the encoding
//                          of unmarked files, the reason of the last failure
//   fast_paths.h           every block scan, block copy and block store, each
//                          beside its plain rule (fast_paths/)
//   read/                  the line readers: byte encodings, single-byte
//                          code pages in windows, UTF-16 and UTF-32, lines
//                          too long to gather whole
//   write/                 the writers: UTF-8 in one pass, the other
//                          encodings, replacements
//   backend/               where files live (text_file_platform.h): the
//                          system's, with its ANSI code page and what it
//                          says of a path (posix, win32), the browser's
//                          (web), or memory (for the tests and fuzzers
//                          only), and which one is in use
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "toolkit/process/standard_streams.h"

enum class TextEncoding { Ansi, Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE };

// A file's identity: a small non-negative number chosen by the caller (at
// most 65535), or FileId::assign to have the service pick a free one (from 64
// up, clear of the numbers callers choose). Opening under a number in use
// closes the file that held it. Opens return FileId::none on failure, and the
// number is then free.
//
// On a number that is not open, operations do nothing and return 0, false or
// an empty text; detectEncoding gives Ansi, and atEnd gives true so that a
// reading loop cannot run for ever.
enum class FileId : int { none = -1, assign = -2 };

constexpr int fileBufferSize = 4096;

namespace text_file {

FileId openRead(const std::u16string& path, FileId id = FileId::assign);
FileId create(const std::u16string& path, FileId id = FileId::assign);
// A file that must not exist yet, in a folder of the caller's own (a site's
// pages): it is made, never emptied, and not locked against other opens,
// which saves the system calls a product pays for its safety.
FileId createNew(const std::u16string& path, FileId id = FileId::assign);
FileId openReadWrite(const std::u16string& path, FileId id = FileId::assign);
// Whether a file is there to open, as the opens would find it.
bool exists(const std::u16string& path);

// Reads a byte-order mark at the current position and skips it; without a
// mark the position stays and the result is Ansi, or what
// setEncodingWithoutMark chose for the number.
TextEncoding detectEncoding(FileId file);
void writeByteOrderMark(FileId file, TextEncoding encoding);
bool atEnd(FileId file);
// Up to `count` of the bytes that the next reads of a file opened for
// reading will give, read ahead and left unread (what one chunk of the
// system brings: the first 4096 bytes of a file at its start, fewer only at
// its end). Empty for a file that is not open and at the end.
std::string_view peekBytes(FileId file, std::size_t count);
// What detectEncoding gives `file` without a mark.
TextEncoding unmarkedEncoding(FileId file);

// Reads one line without its terminator (CR LF, LF, CR or NUL; LF CR is two
// line ends) into `line`, replacing its content but keeping its capacity.
// Returns false when the file is not open. UTF-8 damage reads as "?" (a stray
// continuation byte) or U+FFFD; UTF-16BE and UTF-32 text is decoded.
bool readLine(FileId file, std::u16string& line, TextEncoding encoding);
std::u16string readLine(FileId file, TextEncoding encoding);
std::u16string readLine(FileId file);
// The same line as readLine, given as `view`. A line that lies whole in what
// was read ahead, already decoded there (a single-byte code page), is viewed
// where it lies, valid until the file is next read or closed; any
// other line is read into `line` and viewed there. Saves copying each line.
bool readLineView(FileId file, std::u16string_view& view, std::u16string& line, TextEncoding encoding);

// Returns the number of bytes handed to the buffer or the system; 0 for an
// empty text and for a file opened with openRead. UTF-8 writes unpaired
// surrogates as U+FFFD; Ansi writes characters the code page lacks as its
// default character.
std::int64_t writeString(FileId file, std::u16string_view text, TextEncoding encoding);
std::int64_t writeString(FileId file, std::u16string_view text);
std::int64_t writeLine(FileId file, std::u16string_view text, TextEncoding encoding);
// writeString of each text in turn, in the default encoding; returns the
// bytes of all of them.
std::int64_t writeStrings(FileId file, std::initializer_list<std::u16string_view> texts);

// Up to four ASCII characters that writeReplacing writes as ASCII texts of
// up to eight bytes instead (as a writer of HTML replaces "<" by "&lt;").
struct Replacements {
    int count = 0;
    char16_t characters[4] = {0x80, 0x80, 0x80, 0x80};  // 0x80: not in use
    std::uint64_t textBytes[4] = {};  // the text's bytes, zero-padded
    unsigned char textLengths[4] = {};
    // Each character repeated, as a vector compare wants it; aligned, so that
    // a compare may take it straight from memory.
    alignas(16) unsigned char patterns[4][16] = {{0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                      0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},
                                     {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                      0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},
                                     {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                      0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80},
                                     {0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80,
                                      0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80}};
};
void addReplacement(Replacements& replacements, char16_t character, std::string_view text);

// Writes `text` in the file's default encoding as writeString would, except
// that every character of `replacements` is written as its text. The same
// bytes as one writeString per run of other characters and one per
// replacement text, in one pass. writeReplacingUntil stops before the first
// `stop` unit (which wins over a replacement); both return the units taken:
// the index of the stop, or the length. The index is also returned for a
// file that refuses writes. When no stop came, writeReplacingUntil also
// writes `ending` (ASCII, up to 8 characters) as writeString would: the rest
// of a line and its line end in one call.
std::size_t writeReplacing(FileId file, std::u16string_view text, const Replacements& replacements);
std::size_t writeReplacingUntil(FileId file, std::u16string_view text, char16_t stop,
                                const Replacements& replacements, std::u16string_view ending = {});

// Hands what is held for writing to the system; false when the file is not
// open or a write to it has failed (writeFailed), now or before.
bool flush(FileId file);
// Cuts the file at the current position; false when that fails or when a
// write to the file has failed.
bool truncate(FileId file);
// Reading or writing goes on from `position`; what was held for writing is
// written out first. (A site's index.htm is finished where it stopped.)
void seek(FileId file, std::int64_t position);
// Where the next read or write happens, as a caller sees it; -1 for a file
// that is not open or whose system cannot tell.
std::int64_t position(FileId file);
void close(FileId file);
void closeAllTextFiles();

TextEncoding defaultEncoding(FileId file);

// True when every character of `text` survives the ANSI code page: written
// with TextEncoding::Ansi and read back, it comes out unchanged.
bool ansiCanHold(std::u16string_view text);

// True once any system write on this file came back short or failed (a full
// disk, a lost network share). Stays set until the file is closed.
bool writeFailed(FileId file);

// Lines longer than this many bytes (or UTF-16 code units) are measured
// ahead and decoded in place, so that their text is made once at its final
// size (256 KB unless changed). Tests and fuzzers lower it to reach that way
// with small files; lines read the same either way.
void setLongLineLimit(std::size_t bytes);

// True once a system read on this file failed; the file then reads as ended,
// so a reading loop stops, and the caller asks here whether it saw the end.
bool readFailed(FileId file);

// --- Pipes and reasons (text_file_streams.cpp) ------------------------------

// Every later open under `id`, whatever its path, takes the process's standard
// input or output instead: reads wait for whole chunks or the end of the
// input, nothing is emptied or locked, and close leaves the stream open.
void bindStandardStream(FileId id, StandardStream stream);
// The same for a stream the caller opened (a product that names a stream),
// which stays the caller's to close.
void bindStream(FileId id, std::intptr_t handle);
void unbindStandardStreams();
// The bytes the system took under `id` since it was bound, in files closed
// since; -1 when `id` is not bound.
std::int64_t boundBytesWritten(FileId id);

// What detectEncoding answers for a file without a mark opened under `id`
// (Ansi unless set).
void setEncodingWithoutMark(FileId id, TextEncoding encoding);

// The names the front ends offer for the encoding of files without a mark,
// in the order they list them.
struct NamedEncoding {
    std::string_view name;
    TextEncoding encoding;
};
extern const NamedEncoding namedEncodings[4];
// The encoding of one of those names, in any case; false for another name.
bool encodingNamed(std::string_view name, TextEncoding& encoding);

// The system's reason for the last open or write that failed ("" when none
// was given).
std::u16string lastFailureReason();

}  // namespace text_file
