#include "toolkit/text/strings.h"

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_support.h"
#include "toolkit/process/report.h"
#include "toolkit/text/native_names.h"

namespace {

struct PartCase {
    const char16_t* text;
    int start;
    int count;
    const char16_t* expected;
};

TEST(StringParts, LeftAndRightClampTheirCount) {
    const PartCase left[] = {
        {u"abc", 0, 2, u"ab"}, {u"abc", 0, 10, u"abc"}, {u"abc", 0, 0, u""},
        {u"abc", 0, -1, u""},  {u"", 0, 3, u""},         {u"abc", 0, INT_MAX, u"abc"},
    };
    for (const PartCase& c : left) {
        EXPECT_EQ(leftPart(c.text, c.count), c.expected) << "leftPart n=" << c.count;
    }
    const PartCase right[] = {
        {u"abc", 0, 2, u"bc"}, {u"abc", 0, 10, u"abc"}, {u"abc", 0, 0, u""},
        {u"abc", 0, -1, u""},  {u"", 0, 1, u""},
    };
    for (const PartCase& c : right) {
        EXPECT_EQ(rightPart(c.text, c.count), c.expected) << "rightPart n=" << c.count;
    }
}

TEST(StringParts, LengthCountsCodeUnits) {
    EXPECT_EQ(textLength(u""), 0);
    EXPECT_EQ(textLength(u"abc"), 3);
    EXPECT_EQ(textLength(u"a\U0001F600"), 3);
    EXPECT_EQ(firstCharCode(u""), 0);
    EXPECT_EQ(firstCharCode(u"[x"), 0x5B);
    EXPECT_EQ(firstCharCode(u"\u20AC"), 0x20AC);
    EXPECT_EQ(blanks(3), u"   ");
    EXPECT_EQ(blanks(0), u"");
    EXPECT_EQ(blanks(-4), u"");
}

TEST(StringSearch, FindTextPositionsAreOneBased) {
    struct Case {
        const char16_t* text;
        const char16_t* pattern;
        int start;
        int expected;
    };
    const Case cases[] = {
        {u"a]b]", u"]", 3, 4},  {u"a]b]", u"]", 5, 0},   {u"a]b]", u"]", 0, 2},
        {u"a]b]", u"]", -7, 2}, {u"a]b]", u"]", 2, 2},   {u"a]b]", u"]", 4, 4},
        {u"", u"]", 1, 0},      {u"abc", u"", 1, 0},     {u"abc", u"abcd", 1, 0},
        {u"abcabc", u"ca", 1, 3}, {u"Date", u"date", 1, 0}, {u"aaa", u"aa", 2, 2},
        {u"abc", u"c", INT_MAX, 0}, {u"abc", u"c", 3, 3},   {u"abc", u"bc", 3, 0},
        {u"abc", u"abc", INT_MIN, 1}, {u"a\U0001F600]", u"]", 1, 4},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(findText(c.text, c.pattern, c.start), c.expected)
            << escapeBytes(utf8FromText(c.text)) << " / " << escapeBytes(utf8FromText(c.pattern))
            << " from " << c.start;
    }
}

TEST(StringSearch, FindFoldedIgnoresLetterCase) {
    constexpr std::size_t none = std::u16string_view::npos;
    const struct {
        const char16_t* text;
        const char16_t* lowerPattern;
        std::size_t from;
        std::size_t expected;
    } cases[] = {
        {u"Date DATE date", u"date", 0, 0}, {u"Date DATE date", u"date", 1, 5},
        {u"x<TiTlE>", u"<title>", 0, 1},   {u"\u0391\u03B1", u"\u03B1", 0, 0},
        {u"ab", u"abc", 0, none},          {u"abcabc", u"abc", 4, none},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(findFolded(c.text, c.lowerPattern, c.from), c.expected) << escapeBytes(utf8FromText(c.text));
    }
}

TEST(StringCase, LowerCaseMapsEveryScriptTheProgramMeets) {
    struct Case {
        const char16_t* text;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"Hello WORLD 123 [.]", u"hello world 123 [.]"},
        {u"\u00C0\u00C9\u00CE\u00D6\u00DD\u00DE\u00DF", u"\u00E0\u00E9\u00EE\u00F6\u00FD\u00FE\u00DF"},
        {u"\u0100\u0141\u0152\u0160\u0178\u017D", u"\u0101\u0142\u0153\u0161\u00FF\u017E"},
        {u"\u0391\u0392\u0393\u03A3\u03A9\u0386", u"\u03B1\u03B2\u03B3\u03C3\u03C9\u03AC"},
        {u"\u0410\u0411\u042F\u0401\u0404\u0406", u"\u0430\u0431\u044F\u0451\u0454\u0456"},
        {u"\uFF21\uFF3A", u"\uFF41\uFF5A"},
        {u"\U0001F600\xD800x\xDC00", u"\U0001F600\xD800x\xDC00"},
        {u"\u00E4\u3042\u20AC", u"\u00E4\u3042\u20AC"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lowerCase(c.text), c.expected) << escapeBytes(utf8FromText(c.text));
    }
#ifndef _WIN32
    // The dotted capital I lowers to a plain i, as on Windows (Wine's tables
    // leave it as it is).
    EXPECT_EQ(lowerCase(u"\u0130x"), u"ix");
#endif
    EXPECT_EQ(lowerCaseChar(u'Q'), u'q');
    EXPECT_EQ(lowerCaseChar(u'\u0416'), u'\u0436');
    EXPECT_EQ(lowerCaseChar(u'\u00A0'), u'\u00A0');
}

TEST(StringNumbers, NumberToTextCoversTheWholeRange) {
    struct Case {
        std::int64_t number;
        const char16_t* expected;
    };
    const Case cases[] = {
        {0, u"0"},
        {7, u"7"},
        {-1, u"-1"},
        {1000000, u"1000000"},
        {-2147483648LL, u"-2147483648"},
        {4294967296LL, u"4294967296"},
        {INT64_MAX, u"9223372036854775807"},
        {INT64_MIN, u"-9223372036854775808"},
    };
    for (const Case& c : cases) EXPECT_EQ(numberToText(c.number), c.expected) << c.number;
}

TEST(StringNumbers, AppendNumberTextPadsAndKeepsWhatWasThere) {
    struct Case {
        std::int64_t number;
        int minimumDigits;
        const char16_t* expected;
    };
    const Case cases[] = {
        {7, 1, u"x7"},       {7, 2, u"x07"},          {123, 2, u"x123"},
        {-5, 3, u"x-005"},   {0, 0, u"x0"},           {INT64_MIN, 1, u"x-9223372036854775808"},
        {1, 40, u"x00000000000000000001"},
    };
    for (const Case& c : cases) {
        std::u16string out = u"x";
        appendNumberText(out, c.number, c.minimumDigits);
        EXPECT_EQ(out, c.expected) << c.number << " with " << c.minimumDigits << " digits";
    }
}

TEST(StringNumbers, TextToNumberReadsThePrefixOnly) {
    struct Case {
        const char16_t* text;
        std::int64_t expected;
    };
    const Case cases[] = {
        {u"$ff", 255},
        {u"$FF", 255},
        {u"%101", 5},
        {u"\t-42px", -42},
        {u"- 5", 0},
        {u"abc", 0},
        {u"", 0},
        {u"12.5", 12},
        {u"  +17", 17},
        {u"+-3", 0},
        {u"-$10", -16},
        {u"$fg", 15},
        {u"%1021", 2},
        {u"$", 0},
        {u"007", 7},
        {u"1 2", 1},
        {u"\u00A012", 0},
        {u"9223372036854775807", INT64_MAX},
        {u"-9223372036854775808", INT64_MIN},
        {u"9223372036854775808", INT64_MIN},
        {u"18446744073709551617", 1},
        {u"$FFFFFFFFFFFFFFFF", -1},
        {u"$1FFFFFFFFFFFFFFFF", -1},
        {u"-$8000000000000000", INT64_MIN},
        {u"-\t5", 0},
        {u" \t +$1F", 31},
        {u"$-1", 0},
        {u"%", 0},
        {u"%2", 0},
        {u"-%11", -3},
        {u"--5", 0},
        {u"-0", 0},
        {u"$aBc", 0xABC},
        {u"$0x10", 0},
        {u"%1111111111111111111111111111111111111111111111111111111111111111", -1},
        {u"%11111111111111111111111111111111111111111111111111111111111111110", -2},
        {u"\uFF11", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(textToNumber(c.text), c.expected) << escapeBytes(utf8FromText(c.text));
    }
}

TEST(StringEdges, Utf8ConversionsAreExact) {
    struct Case {
        const char16_t* text;
        const char* utf8;
    };
    const Case encode[] = {
        {u"", ""},
        {u"abc", "abc"},
        {u"\u00E9\u20AC", "\xC3\xA9\xE2\x82\xAC"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},
        {u"a\xD800" u"b", "a\xEF\xBF\xBD" "b"},
        {u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const Case& c : encode) {
        EXPECT_EQ(escapeBytes(utf8FromText(c.text)), escapeBytes(c.utf8));
    }
    const Case decode[] = {
        {u"abc", "abc"},
        {u"\u00E9\u20AC\U0001F600", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {u"a\uFFFDb", "a\x80" "b"},
        {u"\uFFFD", "\xC0\xAF"},
        {u"\uFFFD", "\xED\xA0\x80"},
        {u"\uFFFD", "\xF4\x90\x80\x80"},
        {u"\uFFFD\u00E9", "\xC3\xC3\xA9"},
        {u"a\uFFFD", "a\xE2\x82"},
        {u"\uFFFD", "\xFF"},
    };
    for (const Case& c : decode) {
        EXPECT_EQ(textFromUtf8(c.utf8), c.text) << escapeBytes(c.utf8);
    }
}

// A name's bytes survive the trip through text whole; only well-formed
// UTF-8 becomes characters.
TEST(StringEdges, NativeNamesKeepEveryByte) {
    struct Case {
        const char16_t* text;
        const char* bytes;
    } cases[] = {
        {u"caf\u00E9.txt", "caf\xC3\xA9.txt"},
        {u"x\xDCE9.txt", "x\xE9.txt"},
        {u"x\uFFFD.txt", "x\xEF\xBF\xBD.txt"},
        {u"\xDCC0\xDCAF", "\xC0\xAF"},                      // overlong
        {u"\xDCED\xDCA0\xDC80", "\xED\xA0\x80"},          // a surrogate
        {u"\xDCF4\xDC90\xDC80\xDC80", "\xF4\x90\x80\x80"},  // above U+10FFFF
        {u"\xDCE2\xDC82", "\xE2\x82"},                      // cut
        {u"\xDCC3\u00E9", "\xC3\xC3\xA9"},
        {u"\U0001F600\xDCFF", "\xF0\x9F\x98\x80\xFF"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(textFromNativeName(c.bytes), c.text) << escapeBytes(c.bytes);
        EXPECT_EQ(escapeBytes(nativeNameFromText(c.text)), escapeBytes(c.bytes));
    }
    // Text that no name gives: an unpaired surrogate outside the carried bytes.
    EXPECT_EQ(escapeBytes(nativeNameFromText(u"a\xDC7F\xD800")), escapeBytes("a\xEF\xBF\xBD\xEF\xBF\xBD"));
}

std::vector<std::u16string> sunk;
void sinkForTest(std::u16string_view message) { sunk.emplace_back(message); }

TEST(ErrorReport, SinkAndDefaultOutput) {
    ErrorSink previous = setErrorSink(sinkForTest);
    reportError(u"first");
    EXPECT_EQ(setErrorSink(nullptr), sinkForTest);
    ASSERT_EQ(sunk.size(), 1u);
    EXPECT_EQ(sunk[0], u"first");

    // The default sink: prefix, UTF-8 text, one line feed.
    ::testing::internal::CaptureStderr();
    reportError(u"Can't open \"n\u00F6tes.txt\"");
    std::string written = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(escapeBytes(written), escapeBytes("pagesmith: Can't open \"n\xC3\xB6tes.txt\"\n"));
    EXPECT_EQ(sunk.size(), 1u);
    setErrorSink(previous);
}

}  // namespace
