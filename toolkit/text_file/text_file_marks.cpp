// Byte-order marks: recognising one at the start of a file, and writing one.
#include "toolkit/text_file/text_file.h"

#include <cstring>
#include <initializer_list>

#include "toolkit/text_file/text_file_buffer.h"
#include "toolkit/text_file/text_file_streams.h"

namespace text_file {

TextEncoding detectEncoding(FileId file) {
    TextFile* f = lookup(file);
    if (!f) return TextEncoding::Ansi;
    unsigned char mark[4] = {};
    std::int32_t got = readBytes(*f, mark, 4);
    auto begins = [&](std::initializer_list<unsigned char> bytes) {
        if (got < static_cast<std::int32_t>(bytes.size())) return false;
        return std::memcmp(mark, bytes.begin(), bytes.size()) == 0;
    };
    TextEncoding encoding = encodingWithoutMark(static_cast<int>(file));
    std::int32_t markLength = 0;
    if (begins({0xFF, 0xFE, 0x00, 0x00})) {
        encoding = TextEncoding::Utf32LE;
        markLength = 4;
    } else if (begins({0xFF, 0xFE})) {
        encoding = TextEncoding::Utf16LE;
        markLength = 2;
    } else if (begins({0xEF, 0xBB, 0xBF})) {
        encoding = TextEncoding::Utf8;
        markLength = 3;
    } else if (begins({0xFE, 0xFF})) {
        encoding = TextEncoding::Utf16BE;
        markLength = 2;
    } else if (begins({0x00, 0x00, 0xFE, 0xFF})) {
        encoding = TextEncoding::Utf32BE;
        markLength = 4;
    }
    if (got > markLength) pushBack(*f, got - markLength);
    return encoding;
}

void writeByteOrderMark(FileId file, TextEncoding encoding) {
    TextFile* f = lookup(file);
    if (!f) return;
    static const unsigned char utf8[] = {0xEF, 0xBB, 0xBF};
    static const unsigned char utf16LE[] = {0xFF, 0xFE};
    static const unsigned char utf16BE[] = {0xFE, 0xFF};
    static const unsigned char utf32LE[] = {0xFF, 0xFE, 0x00, 0x00};
    static const unsigned char utf32BE[] = {0x00, 0x00, 0xFE, 0xFF};
    switch (encoding) {
    case TextEncoding::Ansi: break;
    case TextEncoding::Utf8: writeBytes(*f, utf8, 3); break;
    case TextEncoding::Utf16LE: writeBytes(*f, utf16LE, 2); break;
    case TextEncoding::Utf16BE: writeBytes(*f, utf16BE, 2); break;
    case TextEncoding::Utf32LE: writeBytes(*f, utf32LE, 4); break;
    case TextEncoding::Utf32BE: writeBytes(*f, utf32BE, 4); break;
    }
}

}  // namespace text_file
