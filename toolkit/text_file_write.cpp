// Writers: text encoded straight into the file's buffer in any of the six
// encodings, and the check whether the ANSI code page can hold a text.
#include "toolkit/text_file.h"

#include "toolkit/text_file_buffer.h"
#include "toolkit/utf8_coder.h"

namespace text_file {

namespace {

std::size_t encodeUnits(const char16_t** text, const char16_t* end, unsigned char* out,
                        std::size_t room, bool bigEndian) {
    const char16_t* s = *text;
    std::size_t n = static_cast<std::size_t>(end - s);
    if (n > room / 2) n = room / 2;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned c = s[i];
        out[2 * i + (bigEndian ? 1 : 0)] = static_cast<unsigned char>(c & 0xFF);
        out[2 * i + (bigEndian ? 0 : 1)] = static_cast<unsigned char>(c >> 8);
    }
    *text = s + n;
    return 2 * n;
}

std::size_t encodeUtf32(const char16_t** text, const char16_t* end, unsigned char* out,
                        std::size_t room, bool bigEndian) {
    const char16_t* s = *text;
    unsigned char* d = out;
    while (s < end && room - static_cast<std::size_t>(d - out) >= 4) {
        std::uint32_t c = *s++;
        if (c >= 0xD800 && c <= 0xDBFF && s < end && *s >= 0xDC00 && *s <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (*s++ - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // UTF-32 has no form for a lone surrogate
        }
        for (int i = 0; i < 4; ++i) {
            int shift = bigEndian ? 24 - 8 * i : 8 * i;
            d[i] = static_cast<unsigned char>(c >> shift);
        }
        d += 4;
    }
    *text = s;
    return static_cast<std::size_t>(d - out);
}

std::size_t encode(TextEncoding encoding, const char16_t** text, const char16_t* end,
                   unsigned char* out, std::size_t room) {
    switch (encoding) {
    case TextEncoding::Utf8: return encodeUtf8(text, end, out, room);
    case TextEncoding::Utf16LE: return encodeUnits(text, end, out, room, false);
    case TextEncoding::Utf16BE: return encodeUnits(text, end, out, room, true);
    case TextEncoding::Utf32LE: return encodeUtf32(text, end, out, room, false);
    case TextEncoding::Utf32BE: return encodeUtf32(text, end, out, room, true);
    case TextEncoding::Ansi: break;
    }
    return platform_file::encodeAnsi(text, end, out, room);
}

// The largest number of bytes one encoder step may need at once.
constexpr std::int32_t largestCharacter = 8;

std::int64_t writeEncoded(TextFile& f, std::u16string_view text, TextEncoding encoding) {
    enterWritingState(f);
    const char16_t* s = text.data();
    const char16_t* const end = s + text.size();
    std::int64_t total = 0;
    if (encoding == TextEncoding::Utf8 &&
        text.size() <= static_cast<std::size_t>(systemChunkSize - f.held) / 3) {
        // The usual piece of a line: it fits whole, three bytes a unit at most.
        total = static_cast<std::int64_t>(
            encodeUtf8(&s, end, f.buffer.get() + f.held,
                       static_cast<std::size_t>(systemChunkSize - f.held)));
        f.held += static_cast<std::int32_t>(total);
    } else {
        // Encoded straight into the buffer; a full buffer is written out.
        while (s < end) {
            if (systemChunkSize - f.held < largestCharacter) writeOutBuffer(f);
            unsigned char* room = f.buffer.get() + f.held;
            const std::size_t free = static_cast<std::size_t>(systemChunkSize - f.held);
            const std::size_t put = encode(encoding, &s, end, room, free);
            if (put == 0) break;  // the code page converter failed
            f.held += static_cast<std::int32_t>(put);
            total += static_cast<std::int64_t>(put);
        }
    }
    notePending(f, total < f.bufferSize ? static_cast<std::int32_t>(total) : f.bufferSize);
    // A write of a buffer's size or more reaches the system at once.
    if (total >= f.bufferSize) writeOutBuffer(f);
    return total;
}

}  // namespace

std::int64_t writeString(FileId file, std::u16string_view text, TextEncoding encoding) {
    TextFile* f = lookup(file);
    if (!f || f->readOnly || text.empty()) return 0;
    return writeEncoded(*f, text, encoding);
}

std::int64_t writeString(FileId file, std::u16string_view text) {
    TextFile* f = lookup(file);
    if (!f || f->readOnly || text.empty()) return 0;
    return writeEncoded(*f, text, f->defaultEncoding);
}

std::int64_t writeLine(FileId file, std::u16string_view text, TextEncoding encoding) {
    writeString(file, text, encoding);
    return writeString(file, u"\r\n", encoding);
}

bool ansiCanHold(std::u16string_view text) {
    // A round trip through the code page in small steps; ASCII always fits.
    const char16_t* p = text.data();
    const char16_t* const end = p + text.size();
    unsigned char bytes[64];
    std::u16string decoded;
    while (p != end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const char16_t* const from = p;
        const char16_t* stop = p;
        while (stop != end && *stop >= 0x80 && stop - from < 16) ++stop;
        const std::size_t count = platform_file::encodeAnsi(&p, stop, bytes, sizeof bytes);
        decoded.clear();
        platform_file::appendAnsiAsText(bytes, count, decoded);
        if (decoded != std::u16string_view(from, static_cast<std::size_t>(p - from))) return false;
    }
    return true;
}

}  // namespace text_file
