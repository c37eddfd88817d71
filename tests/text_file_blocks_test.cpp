// The text files' block paths: each fast path against its plain rule, UTF-8
// written in blocks against the shared coder, ANSI lines decoded in blocks
// against a plain table, lines and characters across the 4096-byte mark and
// the system read size, and what `flush` reports while bytes wait for the
// system.
#include "toolkit/text_file/text_file.h"

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/fast_path_pairs.h"
#include "tests/test_support.h"
#include "toolkit/text_file/text_file_buffer.h"
#include "toolkit/text/strings.h"

using namespace text_file;  // the service under test

namespace {

class TextFileBlocksTest : public ::testing::Test {
protected:
    void TearDown() override { closeAllTextFiles(); }
    ScratchDir dir;
};

// Windows-1252, written out by hand.
char16_t cp1252(unsigned char byte) {
    static const char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    return byte >= 0x80 && byte < 0xA0 ? high[byte - 0x80] : static_cast<char16_t>(byte);
}

// A small deterministic generator, so that a failure repeats.
struct Lcg {
    std::uint32_t state;
    std::uint32_t next(std::uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    }
};

TEST_F(TextFileBlocksTest, Utf8PiecesMatchTheSharedCoder) {
    // Runs of ASCII long and short, two- and three-byte characters, pairs,
    // and surrogates without their partner at every place in a piece.
    static const char16_t alphabet[] = {u'a', u'b', u' ', u'<', u'\u00E9', u'\u20AC', u'\u07FF',
                                        u'\u0800', u'\xD83D', u'\xDE00', u'\xFFFF', u'\x7F'};
    Lcg random{12345};
    std::vector<std::u16string> pieces;
    std::size_t units = 0;
    while (units < 150000) {
        std::u16string piece;
        const std::uint32_t length = random.next(40);
        const bool plain = random.next(3) == 0;
        for (std::uint32_t i = 0; i < length; ++i) {
            piece += plain ? u'x' : alphabet[random.next(sizeof alphabet / sizeof alphabet[0])];
        }
        if (random.next(20) == 0) {
            piece += u"\xD83D\xDE00";  // a pair whole inside one piece
        }
        units += piece.size();
        pieces.push_back(piece);
    }
    // Pieces larger than the buffer, and one pair cut by a 64 KB mark of the
    // bytes written so far.
    pieces.push_back(std::u16string(5000, u'\u00E9'));
    pieces.push_back(std::u16string(70000, u'q') + u"\xD83D\xDE00");

    const std::u16string path = dir.path(u"utf8");
    FileId file = create(path, FileId{2});
    ASSERT_EQ(file, FileId{2});
    std::string expected;
    for (const std::u16string& piece : pieces) {
        const std::string bytes = utf8FromText(piece);
        ASSERT_EQ(writeString(file, piece, TextEncoding::Utf8), static_cast<std::int64_t>(bytes.size()));
        expected += bytes;
        ASSERT_EQ(position(file), static_cast<std::int64_t>(expected.size()));
    }
    close(file);
    const std::string written = readBytes(path);
    ASSERT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected);
}

TEST_F(TextFileBlocksTest, ReplacingWritesMatchPieceByPiece) {
    // Random texts with the replaced characters, the stop, characters of
    // every length and lone halves of pairs, written with replacements up to
    // a stop, against each run and each replacement encoded by itself. The
    // stop is "[" or a pair's second half, which must not join the unit
    // before it. writeStrings is the same as one writeString per text.
    static const char16_t alphabet[] = {u'a', u' ', u'<', u'>', u'"', u'[', u'\u00E9',
                                        u'\u20AC', u'\xD83D', u'\xDE00', u'\x7F'};
    Replacements entities;
    addReplacement(entities, u'>', "&gt;");
    addReplacement(entities, u'<', "&lt;");
    addReplacement(entities, u'"', "&quot;");
    Lcg random{4242};
    const std::u16string path = dir.path(u"replacing");
    FileId file = create(path, FileId{2});
    std::string expected;
    for (int n = 0; n < 3000; ++n) {
        std::u16string text;
        const std::uint32_t length = n == 0 ? 70000 : random.next(48);
        for (std::uint32_t i = 0; i < length; ++i) {
            text += random.next(3) == 0 ? alphabet[random.next(sizeof alphabet / sizeof alphabet[0])] : u'x';
        }
        const char16_t stop = n % 2 == 0 ? u'[' : u'\xDE00';
        const std::size_t end = std::min(text.find(stop), text.size());
        std::size_t run = 0;
        for (std::size_t i = 0; i <= end; ++i) {
            const bool replaced = i < end && (text[i] == u'<' || text[i] == u'>' || text[i] == u'"');
            if (i < end && !replaced) continue;
            expected += utf8FromText(text.substr(run, i - run));
            if (replaced) expected += text[i] == u'<' ? "&lt;" : text[i] == u'>' ? "&gt;" : "&quot;";
            run = i + 1;
        }
        ASSERT_EQ(writeReplacingUntil(file, text, stop, entities), end) << n;
        const std::u16string piece = text.substr(0, std::min<std::size_t>(text.size(), 20));
        writeStrings(file, {u"<", piece, u"\xD83D", text.substr(0, 2)});
        expected += "<" + utf8FromText(piece) + utf8FromText(u"\xD83D") + utf8FromText(text.substr(0, 2));
    }
    close(file);
    const std::string written = readBytes(path);
    ASSERT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected);

    // A file that refuses writes still tells where the stop is.
    FileId readOnly = openRead(path, FileId{3});
    EXPECT_EQ(writeReplacingUntil(readOnly, u"ab<c[d", u'[', entities), 4u);
    close(readOnly);
    EXPECT_EQ(readBytes(path).size(), expected.size());
}

TEST(FastPaths, EqualTheirPlainRules) {
    // One character of interest at every offset of texts up to past a
    // 64-byte step, the rest plain ASCII: line ends, bytes and units beyond
    // ASCII, a replaced character, the converter's tag symbol.
    const char16_t specials[] = {0x00, 0x0A, 0x0D, 0x7F, 0x80, 0xE9, 0x0D0A, 0x2028, 0xD83D, u'<', u'['};
    for (char16_t special : specials) {
        for (std::size_t count = 0; count <= 80; ++count) {
            for (std::size_t at = 0; at <= count; ++at) {
                std::u16string units(count, u'a');
                if (at < count) units[at] = special;
                std::string bytes(count, 'a');
                if (at < count) bytes[at] = static_cast<char>(special);
                const char* differs = differingFastPath(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                        count, units.data(), count);
                ASSERT_EQ(differs, nullptr) << differs << ": " << count << " units, U+" << std::hex
                                            << static_cast<unsigned>(special) << " at " << std::dec << at;
            }
        }
    }
    // UTF-8 sequences, whole and cut, at every offset around the end of the
    // UTF-8 decoder's block of 256 units.
    for (const std::string sequence : {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xE2\x82"}) {
        for (std::size_t at = 250; at <= 260; ++at) {
            const std::string bytes = std::string(at, 'a') + sequence + "bc";
            const std::u16string units(bytes.begin(), bytes.end());
            const char* differs = differingFastPath(reinterpret_cast<const unsigned char*>(bytes.data()),
                                                    bytes.size(), units.data(), units.size());
            ASSERT_EQ(differs, nullptr) << differs << ": " << sequence.size() << " bytes at " << at;
        }
    }
}

TEST_F(TextFileBlocksTest, AnsiLinesMatchAPlainTable) {
    // Every byte value but the terminators, high bytes at every offset of a
    // block, and line lengths around the block, widening window and buffer
    // sizes; read into a string and viewed where the reader has them.
    Lcg random{777};
    std::vector<std::size_t> lengths;
    for (std::size_t n = 0; n <= 40; ++n) lengths.push_back(n);
    for (std::size_t n : {4095u, 4096u, 4097u, 16383u, 16384u, 16385u, 65535u, 65536u, 65537u, 131071u}) {
        lengths.push_back(n);
    }
    std::string bytes;
    std::vector<std::u16string> expected;
    for (std::size_t length : lengths) {
        std::string line;
        std::u16string text;
        for (std::size_t i = 0; i < length; ++i) {
            unsigned char b = static_cast<unsigned char>(
                random.next(4) == 0 ? 0x80 + random.next(0x80) : 0x20 + random.next(0x60));
            line += static_cast<char>(b);
            text += cp1252(b);
        }
        bytes += line + (length % 3 == 0 ? "\r\n" : length % 3 == 1 ? "\n" : "\r");
        expected.push_back(text);
    }
    writeBytes(dir.path(u"ansi"), bytes);
    for (bool viewed : {false, true}) {
        FileId file = openRead(dir.path(u"ansi"), FileId{1});
        std::vector<std::u16string> lines;
        std::u16string line;
        while (!atEnd(file) && lines.size() < expected.size() + 1) {
            std::u16string_view view;
            if (viewed) {
                readLineView(file, view, line, TextEncoding::Ansi);
            } else {
                readLine(file, line, TextEncoding::Ansi);
                view = line;
            }
            lines.emplace_back(view);
        }
        close(file);
        ASSERT_EQ(lines.size(), expected.size()) << viewed;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(lines[i] == expected[i]) << "line of " << lengths[i] << " bytes, viewed " << viewed;
        }
    }
}

TEST_F(TextFileBlocksTest, LineEndsAndUnitsAcrossTheSystemReadSize) {
    // CR as the last byte of one system read (64 KB, 256 KB on Windows) and
    // LF as the first of the next, then a CR alone at the next mark.
    const std::size_t chunk = text_file::systemChunkSize;
    std::string bytes(chunk - 1, 'x');
    bytes += "\r\ny";
    bytes += std::string(2 * chunk - bytes.size() - 1, 'z') + "\rw";
    writeBytes(dir.path(u"edge"), bytes);
    FileId file = FileId::none;
    for (TextEncoding encoding : {TextEncoding::Ansi, TextEncoding::Utf8}) {
        file = openRead(dir.path(u"edge"), FileId{1});
        EXPECT_TRUE(readLine(file, encoding) == std::u16string(chunk - 1, u'x'));
        EXPECT_EQ(position(file), static_cast<std::int64_t>(chunk + 1));
        EXPECT_EQ(readLine(file, encoding).substr(0, 3), u"yzz");
        EXPECT_EQ(position(file), static_cast<std::int64_t>(2 * chunk));
        EXPECT_EQ(readLine(file, encoding), u"w");
        EXPECT_TRUE(atEnd(file));
        close(file);
    }

    // UTF-16 units at odd offsets: the unit after the CR lies across the mark.
    for (char after : {'\n', 'y'}) {
        std::string units = "\xEF\xBB\xBF";
        while (units.size() < chunk - 3) units += std::string("x\0", 2);
        units += std::string("\r\0", 2) + after + std::string("\0t\0", 3);
        writeBytes(dir.path(u"odd"), units);
        file = openRead(dir.path(u"odd"), FileId{1});
        ASSERT_EQ(detectEncoding(file), TextEncoding::Utf8);
        EXPECT_EQ(readLine(file, TextEncoding::Utf16LE).size(), (chunk - 6) / 2) << after;
        EXPECT_EQ(readLine(file, TextEncoding::Utf16LE), after == 'y' ? u"yt" : u"t") << after;
        EXPECT_TRUE(atEnd(file));
        close(file);
    }
}

TEST_F(TextFileBlocksTest, WritesOfEverySizeReachTheFileByFlush) {
    struct Case {
        const char* name;
        std::vector<std::size_t> writes;  // ASCII bytes per writeString
    };
    // Writes that fill the described 4096-byte buffer in every way: they
    // join it, meet its size, pass it, and outgrow the system chunk.
    const Case cases[] = {
        {"one small write", {13}},
        {"room left over", {4000, 95}},
        {"exactly the free room", {4000, 96}},
        {"past the free room", {4000, 200}},
        {"a buffer's size", {4096}},
        {"large then small", {10, 5000, 7}},
        {"many small ones", std::vector<std::size_t>(1000, 50)},
    };
    for (const Case& c : cases) {
        const std::u16string path = dir.path(u"flush");
        FileId file = create(path, FileId{2});
        std::size_t total = 0;
        for (std::size_t n : c.writes) {
            writeString(file, std::u16string(n, u'f'), TextEncoding::Utf8);
            total += n;
        }
        EXPECT_EQ(position(file), static_cast<std::int64_t>(total)) << c.name;
        EXPECT_TRUE(flush(file)) << c.name;
        EXPECT_TRUE(flush(file)) << c.name;
        close(file);
        EXPECT_EQ(readBytes(path).size(), total) << c.name;
    }

    // The byte-order mark goes out with the text.
    FileId file = create(dir.path(u"mark"), FileId{2});
    writeByteOrderMark(file, TextEncoding::Utf8);
    writeString(file, u"ab", TextEncoding::Utf8);
    EXPECT_TRUE(flush(file));
    close(file);
    EXPECT_EQ(readBytes(dir.path(u"mark")), "\xEF\xBB\xBF" "ab");
}

#ifndef _WIN32
TEST_F(TextFileBlocksTest, LargeWritesReachTheSystemAtOnce) {
    FileId file = openReadWrite(u"/dev/full", FileId{2});
    if (file == FileId::none) GTEST_SKIP() << "/dev/full cannot be opened here";
    writeString(file, std::u16string(4095, u'x'), TextEncoding::Utf8);
    EXPECT_FALSE(writeFailed(file));
    writeString(file, std::u16string(4096, u'x'), TextEncoding::Utf8);
    EXPECT_TRUE(writeFailed(file));
    close(file);
}
#endif

}  // namespace
