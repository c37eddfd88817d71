#include "converter/text_check.h"

#include <algorithm>

namespace {

using namespace std::string_view_literals;

// Signatures of the files people pick by mistake. Some are plain letters
// ("ID3", "BZh"), which a text may begin with: a signature alone refuses
// nothing.
// clang-format off
constexpr std::string_view binarySignatures[] = {
    "\x89PNG"sv, "\xFF\xD8\xFF"sv, "GIF8"sv, "II*\0"sv, "MM\0*"sv, "RIFF"sv, "%PDF-"sv,
    "PK\x03\x04"sv, "PK\x05\x06"sv, "PK\x07\x08"sv, "\x1F\x8B"sv, "7z\xBC\xAF\x27\x1C"sv,
    "Rar!\x1A\x07"sv, "\xFD" "7zXZ\0"sv, "BZh"sv, "\x28\xB5\x2F\xFD"sv,
    "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv, "\x7F" "ELF"sv, "\0asm"sv, "OggS"sv, "ID3"sv, "fLaC"sv,
    "SQLite f"sv,
};
// clang-format on

bool isStrayControl(unsigned c) { return c < 32 && c != 0 && !(c >= 9 && c <= 13) && c != 27; }

unsigned byteAt(std::string_view bytes, std::size_t i) {
    return static_cast<unsigned char>(bytes[i]);
}

enum class Units { Bytes, Utf16LE, Utf16BE };

// Without a mark or a chosen encoding: UTF-16 shows as zero bytes on one side
// of its pairs (every ASCII character) and hardly any on the other.
Units shapeOf(std::string_view bytes) {
    std::size_t lowZero = 0;   // BE: 00 xx
    std::size_t highZero = 0;  // LE: xx 00
    const std::size_t pairs = bytes.size() / 2;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const bool first = byteAt(bytes, i) == 0;
        const bool second = byteAt(bytes, i + 1) == 0;
        if (first != second) ++(second ? highZero : lowZero);
    }
    if (highZero * 16 >= pairs && lowZero * 4 < highZero) return Units::Utf16LE;
    if (lowZero * 16 >= pairs && highZero * 4 < lowZero) return Units::Utf16BE;
    return Units::Bytes;
}

}  // namespace

bool looksLikeText(std::string_view head, TextEncoding unmarked) {
    const auto begins = [&](std::string_view mark) { return head.substr(0, mark.size()) == mark; };
    // UTF-32 is decoded whole.
    if (begins("\xFF\xFE\0\0"sv) || begins("\0\0\xFE\xFF"sv)) return true;
    const bool utf8Mark = begins("\xEF\xBB\xBF"sv);
    const bool leMark = begins("\xFF\xFE"sv);
    const bool beMark = begins("\xFE\xFF"sv);
    const bool marked = utf8Mark || leMark || beMark;

    std::size_t strayBytes = 0;
    for (std::size_t i = 0; i < head.size(); ++i) strayBytes += isStrayControl(byteAt(head, i));
    if (!marked && strayBytes > 0 &&
        std::any_of(std::begin(binarySignatures), std::end(binarySignatures), begins))
        return false;

    Units units = leMark ? Units::Utf16LE : beMark ? Units::Utf16BE : Units::Bytes;
    if (!marked) {
        units = unmarked == TextEncoding::Utf16LE   ? Units::Utf16LE
                : unmarked == TextEncoding::Utf16BE ? Units::Utf16BE
                                                    : shapeOf(head);
    }
    std::size_t stray = strayBytes;
    std::size_t count = head.size();
    if (units != Units::Bytes) {
        const std::size_t from = marked ? 2 : 0;
        const std::size_t high = units == Units::Utf16LE ? 1 : 0;
        stray = 0;
        count = (head.size() - from) / 2;
        for (std::size_t i = from; i + 1 < head.size(); i += 2)
            stray += isStrayControl(byteAt(head, i + high) << 8 | byteAt(head, i + 1 - high));
    }
    // A few more in a short file: a text may hold some by mistake.
    return stray <= 4 + count / 16;
}
