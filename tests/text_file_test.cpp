#include "toolkit/text_file/text_file.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/test_support.h"
#include "toolkit/text/strings.h"

using namespace text_file;  // the service under test

namespace {

const TextEncoding allEncodings[] = {TextEncoding::Ansi,    TextEncoding::Utf8,
                                     TextEncoding::Utf16LE, TextEncoding::Utf16BE,
                                     TextEncoding::Utf32LE, TextEncoding::Utf32BE};

const char* nameOf(TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Ansi: return "Ansi";
    case TextEncoding::Utf8: return "Utf8";
    case TextEncoding::Utf16LE: return "Utf16LE";
    case TextEncoding::Utf16BE: return "Utf16BE";
    case TextEncoding::Utf32LE: return "Utf32LE";
    case TextEncoding::Utf32BE: return "Utf32BE";
    }
    return "?";
}

// Test-side encoding of ASCII text (controls included), written by hand so
// that the readers are checked against bytes the service did not produce.
std::string asciiIn(TextEncoding encoding, std::string_view text) {
    std::string bytes;
    for (char c : text) {
        switch (encoding) {
        case TextEncoding::Ansi:
        case TextEncoding::Utf8: bytes += c; break;
        case TextEncoding::Utf16LE: bytes += c, bytes += '\0'; break;
        case TextEncoding::Utf16BE: bytes += '\0', bytes += c; break;
        case TextEncoding::Utf32LE: bytes += c, bytes.append(3, '\0'); break;
        case TextEncoding::Utf32BE: bytes.append(3, '\0'), bytes += c; break;
        }
    }
    return bytes;
}

// Reads a file the way the converter does: detect the mark, then lines until
// the end.
std::vector<std::u16string> readAllLines(const std::u16string& path,
                                         TextEncoding* detected = nullptr) {
    std::vector<std::u16string> lines;
    FileId file = openRead(path, FileId{0});
    EXPECT_EQ(file, FileId{0});
    TextEncoding encoding = detectEncoding(file);
    if (detected) *detected = encoding;
    std::u16string line;
    while (!atEnd(file) && lines.size() < 100000) {
        EXPECT_TRUE(readLine(file, line, encoding));
        lines.push_back(line);
    }
    close(file);
    return lines;
}

std::vector<std::u16string> readLinesAs(const std::u16string& path, TextEncoding encoding) {
    std::vector<std::u16string> lines;
    FileId file = openRead(path, FileId{0});
    EXPECT_EQ(file, FileId{0});
    while (!atEnd(file) && lines.size() < 100000) lines.push_back(readLine(file, encoding));
    close(file);
    return lines;
}

std::string show(const std::vector<std::u16string>& lines) {
    std::string out;
    for (const std::u16string& line : lines) out += "[" + escapeBytes(utf8FromText(line)) + "]";
    return out;
}

using Lines = std::vector<std::u16string>;

class TextFileTest : public ::testing::Test {
protected:
    void TearDown() override { closeAllTextFiles(); }
    ScratchDir dir;
};

TEST_F(TextFileTest, DetectsEveryByteOrderMark) {
    struct Case {
        std::string bytes;
        TextEncoding expected;
        std::int64_t positionAfter;
    };
    const Case cases[] = {
        {"", TextEncoding::Ansi, 0},
        {"A", TextEncoding::Ansi, 0},
        {"\xEF\xBB\xBF", TextEncoding::Utf8, 3},
        {"\xEF\xBB\xBFxy", TextEncoding::Utf8, 3},
        {"\xEF\xBB", TextEncoding::Ansi, 0},
        {"\xFF\xFE", TextEncoding::Utf16LE, 2},
        {"\xFF\xFE" "A\0", TextEncoding::Utf16LE, 2},
        {std::string("\xFF\xFE\0", 3), TextEncoding::Utf16LE, 2},
        {std::string("\xFF\xFE\0\0", 4), TextEncoding::Utf32LE, 4},
        {"\xFE\xFF", TextEncoding::Utf16BE, 2},
        {std::string("\0\0\xFE\xFF", 4), TextEncoding::Utf32BE, 4},
        {std::string("\0\0\xFE", 3), TextEncoding::Ansi, 0},
        {"\xFF", TextEncoding::Ansi, 0},
        {"\xFE\xFE", TextEncoding::Ansi, 0},
        {"abcdef", TextEncoding::Ansi, 0},
    };
    for (const Case& c : cases) {
        writeBytes(dir.path(u"mark"), c.bytes);
        FileId file = openRead(dir.path(u"mark"), FileId{3});
        ASSERT_EQ(file, FileId{3});
        EXPECT_EQ(detectEncoding(file), c.expected) << escapeBytes(c.bytes);
        EXPECT_EQ(position(file), c.positionAfter) << escapeBytes(c.bytes);
        EXPECT_EQ(atEnd(file), static_cast<std::size_t>(c.positionAfter) == c.bytes.size())
            << escapeBytes(c.bytes);
        close(file);
    }
    // The first line of a file without a mark starts at byte 0.
    writeBytes(dir.path(u"plain"), "\xFE" "abc\r\n");
    EXPECT_EQ(show(readAllLines(dir.path(u"plain"))), "[\\xC3\\xBE" "abc]");
}

TEST_F(TextFileTest, EveryLineEndInEveryEncoding) {
    struct Case {
        std::string text;
        Lines expected;
    };
    const Case cases[] = {
        {"a\r\nb", {u"a", u"b"}},
        {"a\r\nb\r\n", {u"a", u"b"}},
        {"a\rb", {u"a", u"b"}},
        {"a\nb", {u"a", u"b"}},
        {"a\n\rb", {u"a", u"", u"b"}},
        {"a\r\r\nb", {u"a", u"", u"b"}},
        {"a\r", {u"a"}},
        {"a\n", {u"a"}},
        {"a", {u"a"}},
        {"", {}},
        {"\r\n\r\n", {u"", u""}},
        {"\n\n", {u"", u""}},
        {std::string("a\0b", 3), {u"a", u"b"}},
        {std::string("a\r\0b", 4), {u"a", u"", u"b"}},
        {"one\rtwo\nthree\r\nfour", {u"one", u"two", u"three", u"four"}},
    };
    for (TextEncoding encoding : allEncodings) {
        for (const Case& c : cases) {
            writeBytes(dir.path(u"ends"), asciiIn(encoding, c.text));
            EXPECT_EQ(show(readLinesAs(dir.path(u"ends"), encoding)), show(c.expected))
                << nameOf(encoding) << " " << escapeBytes(c.text);
        }
    }
}

TEST_F(TextFileTest, PositionAfterALineEnd) {
    writeBytes(dir.path(u"pos"), "a\rb\r\nc");
    FileId file = openRead(dir.path(u"pos"), FileId{0});
    EXPECT_EQ(readLine(file, TextEncoding::Ansi), u"a");
    EXPECT_EQ(position(file), 2);  // the b after the CR is left in place
    EXPECT_EQ(readLine(file, TextEncoding::Ansi), u"b");
    EXPECT_EQ(position(file), 5);
    EXPECT_EQ(readLine(file, TextEncoding::Ansi), u"c");
    EXPECT_EQ(position(file), 6);
    EXPECT_TRUE(atEnd(file));
    EXPECT_EQ(readLine(file, TextEncoding::Ansi), u"");
}

TEST_F(TextFileTest, Utf8ReaderRepairsDamage) {
    struct Case {
        std::string bytes;
        Lines expected;
    };
    const Case cases[] = {
        {"a\x80" "b", {u"a?b"}},
        {"\xBF\xF8\xFF", {u"???"}},
        // A sequence broken by its line end no longer swallows the end.
        {"a\xE2\x82\r\nb", {u"a\uFFFD", u"b"}},
        {"a\xC3\nb", {u"a\uFFFD", u"b"}},
        {std::string("a\xF0\x9F\0b", 5), {u"a\uFFFD", u"b"}},
        // A sequence cut by the end of the file is dropped.
        {"a\xE2\x82", {u"a"}},
        {"a\r\n\xF0\x9F\x98", {u"a", u""}},
        {"\xC3\xC3\xA9", {u"\uFFFD\u00E9"}},
        {"\xC0\xAF|\xE0\x80\x80|\xF0\x80\x80\x80", {u"\uFFFD|\uFFFD|\uFFFD"}},
        {"\xED\xA0\x80|\xED\xBF\xBF", {u"\uFFFD|\uFFFD"}},
        {"\xF4\x90\x80\x80|\xF7\xBF\xBF\xBF", {u"\uFFFD|\uFFFD"}},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF",
         {u"\u00E9\u20AC\U0001F600\U0010FFFF"}},
    };
    for (const Case& c : cases) {
        writeBytes(dir.path(u"utf8"), c.bytes);
        EXPECT_EQ(show(readLinesAs(dir.path(u"utf8"), TextEncoding::Utf8)), show(c.expected))
            << escapeBytes(c.bytes);
    }
}

TEST_F(TextFileTest, WideReadersDecodeTheirUnits) {
    struct Case {
        std::string bytes;
        TextEncoding encoding;
        Lines expected;
    };
    const Case cases[] = {
        // UTF-16 units pass unchanged, lone surrogates included.
        {std::string("\x3D\xD8\x00\xDE\x00\xD8\x41\x00", 8), TextEncoding::Utf16LE,
         {u"\U0001F600\xD800" u"A"}},
        {std::string("\xD8\x3D\xDE\x00\x20\xAC", 6), TextEncoding::Utf16BE,
         {u"\U0001F600\u20AC"}},
        // A single byte left at the end is dropped.
        {std::string("A\0B", 3), TextEncoding::Utf16LE, {u"A"}},
        {std::string("\0A\r", 3), TextEncoding::Utf16BE, {u"A"}},
        {std::string("\x00\xF6\x01\x00\xAC\x20\x00\x00", 8), TextEncoding::Utf32LE,
         {u"\U0001F600\u20AC"}},
        {std::string("\x00\x01\xF6\x00\x00\x11\x00\x00\x00\x00\xD8\x00", 12),
         TextEncoding::Utf32BE, {u"\U0001F600\uFFFD\uFFFD"}},
        {std::string("A\0\0\0B\0", 6), TextEncoding::Utf32LE, {u"A"}},
    };
    for (const Case& c : cases) {
        writeBytes(dir.path(u"wide"), c.bytes);
        EXPECT_EQ(show(readLinesAs(dir.path(u"wide"), c.encoding)), show(c.expected))
            << nameOf(c.encoding) << " " << escapeBytes(c.bytes);
    }
}

TEST_F(TextFileTest, WritersProduceExactBytes) {
    struct Case {
        TextEncoding encoding;
        std::string bytes;
    };
    const std::u16string text = u"A\u20AC\U0001F600";
    const Case cases[] = {
        {TextEncoding::Utf8, "A\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {TextEncoding::Utf16LE, std::string("A\0\xAC\x20\x3D\xD8\x00\xDE", 8)},
        {TextEncoding::Utf16BE, std::string("\0A\x20\xAC\xD8\x3D\xDE\x00", 8)},
        {TextEncoding::Utf32LE, std::string("A\0\0\0\xAC\x20\0\0\x00\xF6\x01\x00", 12)},
        {TextEncoding::Utf32BE, std::string("\0\0\0A\0\0\x20\xAC\x00\x01\xF6\x00", 12)},
        {TextEncoding::Ansi, "A\x80??"},
    };
    for (const Case& c : cases) {
        FileId file = create(dir.path(u"out"), FileId{2});
        ASSERT_EQ(file, FileId{2});
        EXPECT_EQ(writeString(file, text, c.encoding), static_cast<std::int64_t>(c.bytes.size()))
            << nameOf(c.encoding);
        close(file);
        EXPECT_EQ(escapeBytes(readBytes(dir.path(u"out"))), escapeBytes(c.bytes)) << nameOf(c.encoding);
    }

    // Lone surrogates: UTF-8 writes the replacement character; so does UTF-32.
    FileId file = create(dir.path(u"lone"), FileId{2});
    writeString(file, u"\xD800" u"a\xDC00", TextEncoding::Utf8);
    writeString(file, u"\xDC00", TextEncoding::Utf32LE);
    close(file);
    EXPECT_EQ(escapeBytes(readBytes(dir.path(u"lone"))),
              escapeBytes(std::string("\xEF\xBF\xBD" "a\xEF\xBF\xBD\xFD\xFF\0\0", 11)));
}

TEST_F(TextFileTest, MarksEmptyTextsAndLineEnds) {
    struct Case {
        TextEncoding encoding;
        std::string mark;
        std::string lineEnd;
    };
    const Case cases[] = {
        {TextEncoding::Ansi, "", "\r\n"},
        {TextEncoding::Utf8, "\xEF\xBB\xBF", "\r\n"},
        {TextEncoding::Utf16LE, "\xFF\xFE", std::string("\r\0\n\0", 4)},
        {TextEncoding::Utf16BE, "\xFE\xFF", std::string("\0\r\0\n", 4)},
        {TextEncoding::Utf32LE, std::string("\xFF\xFE\0\0", 4), std::string("\r\0\0\0\n\0\0\0", 8)},
        {TextEncoding::Utf32BE, std::string("\0\0\xFE\xFF", 4), std::string("\0\0\0\r\0\0\0\n", 8)},
    };
    for (const Case& c : cases) {
        FileId file = create(dir.path(u"marks"), FileId{2});
        writeByteOrderMark(file, c.encoding);
        EXPECT_EQ(writeString(file, u"", c.encoding), 0) << nameOf(c.encoding);
        EXPECT_EQ(writeLine(file, u"", c.encoding), static_cast<std::int64_t>(c.lineEnd.size()))
            << nameOf(c.encoding);
        close(file);
        EXPECT_EQ(escapeBytes(readBytes(dir.path(u"marks"))), escapeBytes(c.mark + c.lineEnd))
            << nameOf(c.encoding);

        // What is written with a mark reads back with that mark detected.
        file = create(dir.path(u"marks"), FileId{2});
        writeByteOrderMark(file, c.encoding);
        writeLine(file, u"first", c.encoding);
        writeString(file, u"second", c.encoding);
        close(file);
        TextEncoding detected;
        Lines lines = readAllLines(dir.path(u"marks"), &detected);
        EXPECT_EQ(detected, c.encoding) << nameOf(c.encoding);
        EXPECT_EQ(show(lines), "[first][second]") << nameOf(c.encoding);
    }
}

// The characters of Windows-1252 at 0x80..0xFF; the five bytes the code page
// leaves undefined map to the control characters of the same value.
std::u16string windows1252High() {
    static const char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    std::u16string text(high, 32);
    for (char16_t c = 0xA0; c <= 0xFF; ++c) text += c;
    return text;
}

TEST_F(TextFileTest, AnsiBytesRoundTrip) {
    std::string bytes;
    for (int b = 0x80; b <= 0xFF; ++b) bytes += static_cast<char>(b);
    writeBytes(dir.path(u"ansi"), bytes + "\r\n");
    Lines lines = readLinesAs(dir.path(u"ansi"), TextEncoding::Ansi);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], windows1252High());

    FileId file = create(dir.path(u"ansi-out"), FileId{2});
    EXPECT_EQ(writeString(file, lines[0], TextEncoding::Ansi), 128);
    // Characters the code page lacks become its default character.
    EXPECT_EQ(writeString(file, u"\u0100\u0080\u3042-", TextEncoding::Ansi), 4);
    close(file);
    EXPECT_EQ(escapeBytes(readBytes(dir.path(u"ansi-out"))), escapeBytes(bytes + "??" "?-"));
}

TEST_F(TextFileTest, LongLinesThroughEveryEncoderAndDecoder) {
    // Mixed widths so that characters straddle every buffer boundary.
    std::u16string line;
    while (line.size() < 1000000) line += u"Line \u00E9\u20AC\U0001F600 x";
    std::u16string ansiLine;
    while (ansiLine.size() < 1000000) ansiLine += u"Line \u00E9\u20AC\u2019 x";
    for (TextEncoding encoding : allEncodings) {
        const std::u16string& text = encoding == TextEncoding::Ansi ? ansiLine : line;
        FileId file = create(dir.path(u"long"), FileId::assign);
        ASSERT_NE(file, FileId::none);
        writeByteOrderMark(file, encoding);
        writeLine(file, text.substr(0, 6000), encoding);
        EXPECT_GE(writeString(file, text, encoding), static_cast<std::int64_t>(text.size()))
            << nameOf(encoding);
        writeString(file, u"\r\nend", encoding);
        close(file);
        TextEncoding detected;
        Lines lines = readAllLines(dir.path(u"long"), &detected);
        ASSERT_EQ(lines.size(), 3u) << nameOf(encoding);
        EXPECT_TRUE(lines[0] == text.substr(0, 6000)) << nameOf(encoding);
        EXPECT_TRUE(lines[1] == text) << nameOf(encoding);
        EXPECT_EQ(lines[2], u"end") << nameOf(encoding);
    }

    // The big-endian writer's bytes, checked by hand past the buffer size.
    FileId file = create(dir.path(u"be"), FileId{2});
    writeString(file, std::u16string(3000, u'\u0102'), TextEncoding::Utf16BE);
    close(file);
    std::string expected;
    for (int i = 0; i < 3000; ++i) expected += "\x01\x02";
    EXPECT_TRUE(readBytes(dir.path(u"be")) == expected);
}

TEST_F(TextFileTest, AMegabyteLineIsReturnedWhole) {
    std::string bytes(1 << 20, 'q');
    bytes[12345] = '\xE9';
    writeBytes(dir.path(u"mega"), bytes + "\nlast");
    for (TextEncoding encoding : {TextEncoding::Ansi, TextEncoding::Utf8}) {
        Lines lines = readLinesAs(dir.path(u"mega"), encoding);
        ASSERT_EQ(lines.size(), 2u);
        ASSERT_EQ(lines[0].size(), std::size_t{1} << 20);
        EXPECT_EQ(lines[0][12345], encoding == TextEncoding::Ansi ? u'\u00E9' : u'\uFFFD');
        EXPECT_EQ(lines[0].find_first_not_of(u'q', 12346), std::u16string::npos);
        EXPECT_EQ(lines[1], u"last");
    }
}

TEST_F(TextFileTest, CreateEmptiesAndOpenReadWriteKeeps) {
    const std::u16string path = dir.path(u"file");
    writeBytes(path, "old content");
    FileId file = create(path, FileId{0});
    ASSERT_EQ(file, FileId{0});
    close(file);
    EXPECT_EQ(readBytes(path), "");

    writeBytes(path, "0123456789");
    file = openReadWrite(path, FileId{0});
    ASSERT_EQ(file, FileId{0});
    EXPECT_EQ(position(file), 0);
    close(file);
    EXPECT_EQ(readBytes(path), "0123456789");

    file = openReadWrite(path, FileId{0});
    EXPECT_EQ(writeString(file, u"abc", TextEncoding::Utf8), 3);
    EXPECT_EQ(position(file), 3);
    EXPECT_TRUE(truncate(file));
    EXPECT_EQ(position(file), 3);
    close(file);
    EXPECT_EQ(readBytes(path), "abc");

    file = openReadWrite(dir.path(u"new"), FileId{0});
    ASSERT_EQ(file, FileId{0});
    close(file);
    EXPECT_TRUE(fileExists(dir.path(u"new")));
    EXPECT_EQ(readBytes(dir.path(u"new")), "");
}

TEST_F(TextFileTest, OpenReadRefusesWrites) {
    const std::u16string path = dir.path(u"ro");
    writeBytes(path, "keep\r\n");
    FileId file = openRead(path, FileId{1});
    ASSERT_EQ(file, FileId{1});
    EXPECT_EQ(writeString(file, u"x", TextEncoding::Utf8), 0);
    EXPECT_EQ(writeLine(file, u"x", TextEncoding::Utf16LE), 0);
    writeByteOrderMark(file, TextEncoding::Utf8);
    EXPECT_TRUE(flush(file));  // nothing to write, and nothing failed
    EXPECT_FALSE(truncate(file));
    EXPECT_EQ(readLine(file, TextEncoding::Ansi), u"keep");
    close(file);
    EXPECT_EQ(readBytes(path), "keep\r\n");

    EXPECT_EQ(openRead(dir.path(u"missing"), FileId{1}), FileId::none);
    EXPECT_EQ(openRead(dir.directory(), FileId{1}), FileId::none);
    EXPECT_EQ(create(dir.path(u"no-such-folder/x"), FileId{1}), FileId::none);
}

// Readers share a file with readers; a writer shares it with nobody.
TEST_F(TextFileTest, ReadersShareAndWritersDoNot) {
    const std::u16string path = dir.path(u"shared");
    writeBytes(path, "held");
    FileId held = openRead(path, FileId{0});
    ASSERT_EQ(held, FileId{0});
    FileId second = openRead(path, FileId{1});
    ASSERT_EQ(second, FileId{1});
    EXPECT_EQ(readLine(second, TextEncoding::Ansi), u"held");
    close(second);
    EXPECT_EQ(openReadWrite(path, FileId{1}), FileId::none);
    EXPECT_EQ(create(path, FileId::assign), FileId::none);
    EXPECT_EQ(readLine(held, TextEncoding::Ansi), u"held");
    close(held);
    EXPECT_EQ(readBytes(path), "held") << "a failed create must not empty the file";

    for (bool creating : {true, false}) {
        FileId writer = creating ? create(path, FileId{2}) : openReadWrite(path, FileId{2});
        ASSERT_EQ(writer, FileId{2});
        EXPECT_EQ(openRead(path, FileId{1}), FileId::none);
        EXPECT_EQ(openReadWrite(path, FileId{1}), FileId::none);
        close(writer);
    }
    FileId again = openRead(path, FileId{1});
    EXPECT_EQ(again, FileId{1});
    close(again);
}

TEST_F(TextFileTest, FileNumbers) {
    // Reusing a number closes the file that held it, writing out its buffer.
    FileId first = create(dir.path(u"a"), FileId{5});
    ASSERT_EQ(first, FileId{5});
    writeString(first, u"pending", TextEncoding::Utf8);
    writeBytes(dir.path(u"b"), "b");
    EXPECT_EQ(openRead(dir.path(u"b"), FileId{5}), FileId{5});
    EXPECT_EQ(readBytes(dir.path(u"a")), "pending");
    FileId reopened = openRead(dir.path(u"a"), FileId{6});
    EXPECT_EQ(reopened, FileId{6});
    close(reopened);

    // A failed open leaves the number free.
    EXPECT_EQ(openRead(dir.path(u"missing"), FileId{5}), FileId::none);
    EXPECT_EQ(position(FileId{5}), -1);

    // Assigned numbers are distinct and reused once free.
    FileId x = create(dir.path(u"x"), FileId::assign);
    FileId y = create(dir.path(u"y"), FileId::assign);
    ASSERT_NE(x, FileId::none);
    ASSERT_NE(y, FileId::none);
    EXPECT_NE(x, y);
    close(x);
    FileId z = create(dir.path(u"z"), FileId::assign);
    EXPECT_EQ(z, x);

    EXPECT_EQ(create(dir.path(u"n"), FileId{-7}), FileId::none);
    // A number far beyond the others grows the table.
    EXPECT_EQ(create(dir.path(u"far"), FileId{900}), FileId{900});

    writeString(y, u"y", TextEncoding::Utf8);
    writeString(FileId{900}, u"far", TextEncoding::Utf8);
    closeAllTextFiles();
    EXPECT_EQ(position(y), -1);
    EXPECT_EQ(position(FileId{900}), -1);
    EXPECT_EQ(readBytes(dir.path(u"y")), "y");
    EXPECT_EQ(readBytes(dir.path(u"far")), "far");
}

TEST_F(TextFileTest, OperationsOnAFileThatIsNotOpen) {
    const FileId closed{42};
    std::u16string line = u"stale";
    EXPECT_FALSE(readLine(closed, line, TextEncoding::Utf8));
    EXPECT_EQ(line, u"");
    EXPECT_EQ(detectEncoding(closed), TextEncoding::Ansi);
    EXPECT_EQ(position(closed), -1);
    EXPECT_EQ(writeString(closed, u"x", TextEncoding::Utf8), 0);
    EXPECT_EQ(writeLine(closed, u"x", TextEncoding::Utf8), 0);
    EXPECT_FALSE(flush(closed));
    EXPECT_FALSE(truncate(closed));
    EXPECT_TRUE(atEnd(closed));
    EXPECT_FALSE(writeFailed(closed));
    seek(closed, 3);
    close(closed);
    EXPECT_EQ(position(FileId::none), -1);
}

TEST_F(TextFileTest, BufferingAndPositions) {
    const std::u16string path = dir.path(u"buf");
    FileId file = create(path, FileId{2});
    EXPECT_EQ(defaultEncoding(file), TextEncoding::Utf8);
    EXPECT_EQ(writeString(file, u"hello\r\nw\u00F6rld"), 13);
    EXPECT_EQ(position(file), 13);
    EXPECT_TRUE(flush(file));
    EXPECT_TRUE(flush(file));
    EXPECT_EQ(position(file), 13);

    // Reading after writing, then writing where the reading stopped.
    seek(file, 0);
    EXPECT_EQ(readLine(file), u"hello");
    EXPECT_EQ(position(file), 7);
    EXPECT_EQ(writeString(file, u"W", TextEncoding::Ansi), 1);
    EXPECT_EQ(position(file), 8);
    EXPECT_EQ(readLine(file), u"\u00F6rld");
    EXPECT_TRUE(atEnd(file));
    seek(file, 5);
    EXPECT_TRUE(truncate(file));
    close(file);
    EXPECT_EQ(readBytes(path), "hello");

    // Writes larger than the buffer.
    file = create(path, FileId{2});
    std::u16string big(10000, u'b');
    EXPECT_EQ(writeString(file, big, TextEncoding::Utf16LE), 20000);
    EXPECT_EQ(position(file), 20000);
    seek(file, 19998);
    EXPECT_EQ(readLine(file, TextEncoding::Utf16LE), u"b");
    EXPECT_FALSE(writeFailed(file));
    close(file);
    EXPECT_EQ(readBytes(path).size(), 20000u);
}

#ifndef _WIN32
TEST_F(TextFileTest, AFullDiskIsNoticed) {
    FileId file = openReadWrite(u"/dev/full", FileId{2});
    if (file == FileId::none) GTEST_SKIP() << "/dev/full cannot be opened here";
    writeString(file, std::u16string(100, u'x'), TextEncoding::Utf8);
    EXPECT_FALSE(writeFailed(file));
    EXPECT_FALSE(flush(file));
    EXPECT_TRUE(writeFailed(file));
    close(file);
}
#endif

}  // namespace

TEST(TextFileAnsi, AnsiCanHoldTellsWhatSurvivesTheCodePage) {
    struct Case {
        const char16_t* text;
        bool holds;
    };
    const Case cases[] = {
        {u"", true},
        {u"plain ASCII, even ?", true},
        {u"caf\u00E9 \u20AC \u00FF", true},
        {u"\u65E5\u8A18", false},
        {u"a\u00E9\u0142", false},
        {u"\U0001F600", false},
        {u"\xD800", false},
    };
    for (const Case& c : cases) EXPECT_EQ(ansiCanHold(c.text), c.holds) << utf8FromText(c.text);
}
