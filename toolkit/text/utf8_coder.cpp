// The whole-text UTF-8 decoder of the one UTF-8 coder, a character at a
// time: the edge conversions' rule, and the plain rule that the text files'
// block decoder (fast_paths::appendUtf8) must equal.
#include "toolkit/text/utf8_coder.h"

void appendUtf8AsText(const unsigned char* bytes, std::size_t count, const Utf8DecodeRules& rules,
                      std::u16string& out) {
    char16_t units[2];
    std::size_t i = 0;
    while (i < count) {
        int n;
        bool cut;
        const std::size_t taken = decodeUtf8Character(bytes + i, count - i, rules.strayByte, units, n, cut);
        if (cut && rules.dropCutTail) break;
        out.append(units, static_cast<std::size_t>(n));
        i += taken;
    }
}
