// The line break of ordinary source lines: written with the line end when it
// stands apart from the line, appended to the line when it does not. Both
// ways must give the bytes of the rule as stated: the tag start symbol, "br"
// and the tag end symbol appended to the line before it is converted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/line_converter.h"
#include "converter/page_lists.h"
#include "converter/source_reader.h"
#include "tests/test_support.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file.h"

namespace {

struct Symbols {
    const char16_t* start;
    const char16_t* end;
    const char16_t* level;
};

void applySymbols(const Symbols& symbols) {
    clearJobSettings();
    applyDefaultSettings(job);
    job.tagStartSymbol = symbols.start;
    job.tagEndSymbol = symbols.end;
    job.levelSymbol = symbols.level;
    job.titleRange = 2;
}

void resetState() {
    inSource = 1;
    headingWritten = 0;
    listDepth = 0;
}

// convertSource on the lines, written as UTF-8 with its mark.
std::string throughTheReader(ScratchDir& dir, const std::vector<std::u16string>& lines) {
    std::string source = "\xEF\xBB\xBF";
    for (const std::u16string& line : lines) source += utf8FromText(line) + "\r\n";
    job.sourcePath = dir.path(u"source.txt");
    writeBytes(job.sourcePath, source);
    resetState();
    text_file::create(dir.path(u"reader.htm"), ProductFile);
    EXPECT_EQ(convertSource(), 1);
    text_file::close(ProductFile);
    return readBytes(dir.path(u"reader.htm"));
}

// The rule as stated, one line at a time.
std::string byTheRule(ScratchDir& dir, const std::vector<std::u16string>& lines) {
    resetState();
    text_file::create(dir.path(u"rule.htm"), ProductFile);
    for (const std::u16string& line : lines) {
        currentLine = line;
        if (line.empty()) {
            if (headingWritten == 0) text_file::writeString(ProductFile, u"<br>");
        } else if (!(line.substr(0, 1) == job.tagStartSymbol &&
                     line.substr(line.size() - 1) == job.tagEndSymbol)) {
            currentLine += job.tagStartSymbol + u"br" + job.tagEndSymbol;
        }
        convertLine();
        text_file::writeString(ProductFile, u"\r\n");
    }
    nestLevel(0);
    text_file::close(ProductFile);
    return readBytes(dir.path(u"rule.htm"));
}

TEST(SourceLineBreak, OddCasesKeepTheirBytes) {
    struct Case {
        const char* name;
        Symbols symbols;
        std::u16string line;
        const char* body;
    };
    const Case cases[] = {
        {"plain", {u"[", u"]", u"."}, u"a b", "a b<br>\r\n"},
        {"closed tag inside", {u"[", u"]", u"."}, u"a [i]b", "a <i>b<br>\r\n"},
        {"unclosed tag takes the break", {u"[", u"]", u"."}, u"a [b", "a <b[br>\r\n"},
        {"lone start symbol at the end", {u"[", u"]", u"."}, u"a [", "a [br]\r\n"},
        {"doubled bracket at the end", {u"[", u"]", u"."}, u"a [[", "a [<br>\r\n"},
        {"heading then text", {u"[", u"]", u"."}, u"[.T] x", "<ul><li><h1>T</h1> x<br>\r\n</li></ul>"},
        {"level symbol b makes the break a title", {u"[", u"]", u"b"}, u"x",
         "x<ul><li><h1>r</h1>\r\n</li></ul>"},
        {"end symbol b cuts the break", {u"[", u"b", u"."}, u"x", "x<>rb\r\n"},
        {"start symbol r", {u"r", u"]", u"."}, u"x", "x<br>\r\n"},
        {"same symbol both ends", {u"|", u"|", u"."}, u"a |i| b", "a <i> b<br>\r\n"},
        {"same symbol left open", {u"|", u"|", u"."}, u"a |b", "a <b>br|\r\n"},
        {"empty end symbol", {u"[", u"", u"."}, u"a", "a[br\r\n"},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        applySymbols(c.symbols);
        const std::vector<std::u16string> lines = {c.line};
        EXPECT_EQ(escapeBytes(throughTheReader(dir, lines)), escapeBytes(c.body)) << c.name;
        EXPECT_EQ(escapeBytes(byTheRule(dir, lines)), escapeBytes(c.body)) << c.name;
    }
}

TEST(SourceLineBreak, RandomLinesGiveTheBytesOfTheRule) {
    const Symbols symbolSets[] = {
        {u"[", u"]", u"."}, {u"[", u"]", u"b"}, {u"b", u"]", u"."}, {u"[", u"r", u"."},
        {u"(", u")", u"."}, {u"|", u"|", u"."}, {u"[", u"[", u"."}, {u"<<", u">>", u"."},
        {u"[", u"]]", u"."}, {u"", u"]", u"."}, {u"[", u"", u""},
    };
    static const char16_t alphabet[] = {u'[', u']', u'(', u')', u'|', u'<', u'>', u'"', u'b',
                                        u'r', u'.', u'x', u' ', u'\u00E9'};
    std::uint32_t state = 99;
    auto next = [&state](std::uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    for (const Symbols& symbols : symbolSets) {
        applySymbols(symbols);
        std::vector<std::u16string> lines;
        for (int i = 0; i < 400; ++i) {
            std::u16string line;
            const std::uint32_t length = next(14);
            for (std::uint32_t k = 0; k < length; ++k) {
                line += alphabet[next(sizeof alphabet / sizeof alphabet[0])];
            }
            lines.push_back(line);
        }
        ScratchDir dir;
        const std::string expected = byTheRule(dir, lines);
        EXPECT_EQ(escapeBytes(throughTheReader(dir, lines)), escapeBytes(expected))
            << utf8FromText(symbols.start) << " " << utf8FromText(symbols.end) << " "
            << utf8FromText(symbols.level);
    }
}

}  // namespace
