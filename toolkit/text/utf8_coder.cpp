// The whole-text UTF-8 decoder of the one UTF-8 coder; runs of ASCII take
// the text files' fast path.
#include "toolkit/text/utf8_coder.h"

#include <cstdint>

#include "toolkit/text_file/fast_paths.h"

void appendUtf8AsText(const unsigned char* bytes, std::size_t count, const Utf8DecodeRules& rules,
                      std::u16string& out) {
    // The text is gathered in a block and appended a block at a time: one
    // copy, where growing `out` first would also clear the room. A block
    // keeps room for the two units of one more sequence.
    constexpr std::size_t blockUnits = 256;
    char16_t block[blockUnits + 2];
    std::size_t i = 0;
    bool cutShort = false;
    while (i < count && !cutShort) {
        char16_t* d = block;
        while (i < count && d < block + blockUnits) {
            // Runs of ASCII, as most text is, in blocks.
            const std::size_t room = static_cast<std::size_t>(block + blockUnits - d);
            const std::size_t run = fast_paths::widenPlainRun<false>(bytes + i, count - i < room ? count - i : room, d);
            i += run;
            d += run;
            if (i == count || d >= block + blockUnits) break;
            int units;
            bool cut;
            const std::size_t taken = decodeUtf8Character(bytes + i, count - i, rules.strayByte, d, units, cut);
            if (cut && rules.dropCutTail) {
                cutShort = true;
                break;
            }
            d += units;
            i += taken;
        }
        out.append(block, static_cast<std::size_t>(d - block));
    }
}
