// The UTF-8 encoder under every small room: it writes whole characters only,
// as many as fit, also inside and right after its block paths for ASCII.
#include "toolkit/text/utf8_coder.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

struct Character {
    std::u16string units;
    std::string bytes;
};

// Runs of ASCII long enough for the sixteen-byte and four-byte blocks, each
// followed by a character of another length.
std::vector<Character> characters() {
    std::vector<Character> text;
    auto ascii = [&](const char* run) {
        for (const char* c = run; *c; ++c) text.push_back({std::u16string(1, char16_t(*c)), {*c}});
    };
    ascii("abcdefghij");
    text.push_back({u"\u00E9", "\xC3\xA9"});
    ascii("klm");
    text.push_back({u"\u20AC", "\xE2\x82\xAC"});
    text.push_back({u"\xD83D\xDE00", "\xF0\x9F\x98\x80"});
    ascii("0123456789abcdefg");
    text.push_back({u"\xDC00", "\xEF\xBF\xBD"});  // a lone surrogate
    text.push_back({u"\u07FF", "\xDF\xBF"});
    ascii("nopq");
    text.push_back({u"\xD800", "\xEF\xBF\xBD"});  // cut off by the end
    return text;
}

TEST(Utf8Coder, EncodesWholeCharactersAsFarAsTheyFit) {
    const std::vector<Character> text = characters();
    std::u16string units;
    for (const Character& c : text) units += c.units;

    for (std::size_t room = 1; room <= 40; ++room) {
        // Exactly `room` bytes, so that a store beyond them is caught.
        std::unique_ptr<unsigned char[]> out(new unsigned char[room]);
        const char16_t* s = units.data();
        const char16_t* const end = s + units.size();
        std::size_t next = 0;  // the first character not yet encoded
        while (next < text.size()) {
            std::string fitting;
            std::size_t taken = 0;
            while (next + taken < text.size() &&
                   fitting.size() + text[next + taken].bytes.size() <= room) {
                fitting += text[next + taken].bytes;
                ++taken;
            }
            const char16_t* const from = s;
            const std::size_t put = encodeUtf8(&s, end, out.get(), room);
            ASSERT_EQ(escapeBytes(std::string(reinterpret_cast<char*>(out.get()), put)),
                      escapeBytes(fitting))
                << "room " << room << ", from character " << next;
            std::size_t consumed = 0;
            for (std::size_t k = next; k < next + taken; ++k) consumed += text[k].units.size();
            ASSERT_EQ(static_cast<std::size_t>(s - from), consumed) << "room " << room;
            if (taken == 0) break;  // the next character needs more room
            next += taken;
        }
        EXPECT_EQ(next == text.size(), room >= 4) << "room " << room;
    }
}

}  // namespace
