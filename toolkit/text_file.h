// Text files: numbered open files with one 4096-byte buffer each, byte-order
// mark detection, line readers for ANSI, UTF-8 and UTF-16 and writers for
// every encoding. Text inside the program is UTF-16; this is the boundary.
//
// Every file is opened without sharing: a second open of an open file fails,
// also within this program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class TextEncoding { Ansi, Utf8, Utf16LE, Utf16BE, Utf32LE, Utf32BE };

// A file's identity: a small non-negative number chosen by the caller, or
// FileId::assign to have the service pick a free one. Opens return
// FileId::none on failure.
enum class FileId : int { none = -1, assign = -2 };

constexpr int fileBufferSize = 4096;

FileId openRead(const std::u16string& path, FileId id = FileId::assign);
FileId create(const std::u16string& path, FileId id = FileId::assign);
FileId openReadWrite(const std::u16string& path, FileId id = FileId::assign);

TextEncoding detectEncoding(FileId file);
void writeByteOrderMark(FileId file, TextEncoding encoding);
bool atEnd(FileId file);

// Reads one line without its terminator into `line` (replacing its content,
// keeping its capacity). Returns false when the file is not open.
bool readLine(FileId file, std::u16string& line, TextEncoding encoding);
std::u16string readLine(FileId file, TextEncoding encoding);
std::u16string readLine(FileId file);

// Returns the number of bytes handed to the buffer or the system.
std::int64_t writeString(FileId file, std::u16string_view text, TextEncoding encoding);
std::int64_t writeString(FileId file, std::u16string_view text);
std::int64_t writeLine(FileId file, std::u16string_view text, TextEncoding encoding);

std::int64_t flush(FileId file);
void seek(FileId file, std::int64_t position);
std::int64_t position(FileId file);
bool truncate(FileId file);
void close(FileId file);
void closeAllTextFiles();

TextEncoding defaultEncoding(FileId file);

// True once any system write on this file came back short or failed (a full
// disk, a lost network share). Stays set until the file is closed.
bool writeFailed(FileId file);
