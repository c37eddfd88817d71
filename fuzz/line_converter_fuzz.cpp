// Random settings and lines through the line converter, checked against a
// plain rendering of the same rules (the escapes replaced in each piece,
// pieces built as strings), so the fast scan and the streaming escapes
// cannot drift from them; ordinary source lines also with their line break,
// which the converter decides during the scan, against the break tag
// appended. The page lists must also close to depth 0. The product file
// lives in memory; creating it anew each run empties it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/line_converter.h"
#include "converter/page_lists.h"
#include "toolkit/dates/date_format.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file.h"
#include "toolkit/text_file/backend/text_file_memory.h"

namespace {

// The part of `text` from the 1-based `start`, at most `count` units long.
std::u16string midPart(std::u16string_view text, int start, int count) {
    const std::size_t from = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;
    if (from >= text.size() || count <= 0) return std::u16string();
    return std::u16string(text.substr(from, static_cast<std::size_t>(count)));
}

// The rules as written, one piece at a time, into a string. Each piece is
// encoded by itself, as each write to the file is.
struct Reference {
    std::string out;
    int depth = 0;
    int heading = 0;

    // The three replacements one after the other; as no replacement text
    // holds a replaced character, each character is replaced by itself.
    void text(const std::u16string& piece) {
        if (inSource != 1 || job.namedEntities == 0) {
            appendUtf8(out, piece);
            return;
        }
        std::u16string escaped;
        for (char16_t c : piece) {
            if (c == u'>' && (job.namedEntities & EntityGt)) escaped += u"&gt;";
            else if (c == u'<' && (job.namedEntities & EntityLt)) escaped += u"&lt;";
            else if (c == u'"' && (job.namedEntities & EntityQuot)) escaped += u"&quot;";
            else escaped += c;
        }
        appendUtf8(out, escaped);
    }
    void markup(const std::u16string& piece) { appendUtf8(out, piece); }
    void nest(int level) {
        const bool separator = depth != 0 && job.pageSeparator != 0;
        while (level < depth) {
            markup(u"</li></ul>");
            --depth;
        }
        if (level <= 0) return;
        if (separator) markup(u"<hr><br>");
        if (level == depth) {
            markup(u"</li><li>");
            return;
        }
        while (depth < level) {
            markup(u"<ul><li>");
            ++depth;
        }
    }
    int tag(const std::u16string& tagText) {
        heading = 0;
        if (lowerCase(leftPart(tagText, 5)) == u"date=") {
            std::u16string picture = midPart(tagText, 6, textLength(tagText));
            for (char16_t& c : picture) c = c == u'Y' ? u'y' : c == u'D' ? u'd' : c == u'm' ? u'M' : c;
            std::u16string date;
            const int result = formatDate(picture, textLength(picture) + 20, nullptr, date);
            if (result) markup(date);
            return result;
        }
        if (leftPart(tagText, 1) == job.levelSymbol) {
            const int symbol = firstCharCode(job.levelSymbol);
            int level = 0;
            while (level < textLength(tagText) && tagText[static_cast<std::size_t>(level)] == symbol) ++level;
            nest(level);
            const std::u16string title = rightPart(tagText, textLength(tagText) - level);
            const int range = job.titleRange < 0 ? 0 : job.titleRange;
            if (level > range) level = range;
            if (level != 0) {
                markup(u"<h" + numberToText(level) + u">" + title + u"</h" + numberToText(level) + u">");
                heading = 1;
            } else {
                markup(u"<b>" + title + u"</b><br>");
            }
            return 1;
        }
        if (lowerCase(leftPart(tagText, 5)) == u"http:" || lowerCase(leftPart(tagText, 6)) == u"https:") {
            markup(u"<a href=\"" + tagText + u"\"target=\"_blank\">" + tagText + u"</a>");
            return 1;
        }
        return 0;
    }
    void line(const std::u16string& line) {
        int position = 1;
        for (;;) {
            int plain = 0;
            int step = 0;
            const int start = findText(line, job.tagStartSymbol, position);
            if (start == 0) {
                plain = textLength(line) - position + 1;
            } else {
                if (start > position) text(midPart(line, position, start - position));
                position = start;
                if (midPart(line, position + 1, 1) == u"[") {
                    position += 1;
                    plain = 1;
                } else {
                    const int end = findText(line, job.tagEndSymbol, position + 1);
                    if (end == 0) {
                        plain = 1;
                    } else {
                        step = end - position + 1;
                        const std::u16string tagText = midPart(line, position + 1, end - position - 1);
                        if (tag(tagText) == 0) {
                            if (inSource == 1) markup(u"<" + tagText + u">");
                            else plain = step;
                        }
                    }
                }
            }
            if (plain > 0) {
                text(midPart(line, position, plain));
                step = plain;
            }
            position += step;
            if (start == 0) return;
        }
    }
};

const char16_t* const startSymbols[] = {u"[", u"{", u"<<", u"", u"[["};
const char16_t* const endSymbols[] = {u"]", u"}", u">>", u""};
const char16_t* const levelSymbols[] = {u".", u"#", u"..", u""};

// Bytes become units with a few awkward ones among them: the three escaped
// characters are plain ASCII already; high bytes give Latin letters, lone
// surrogates and a character beyond ASCII that folds case.
char16_t unitOf(std::uint8_t byte) {
    switch (byte) {
    case 0xF0: return 0xD83D;
    case 0xF1: return 0xDE00;
    case 0xF2: return 0x212A;
    case 0xF3: return 0x0130;
    default: return byte;
    }
}

const std::u16string productPath = u"product.htm";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    platform_file::useBackend(memory_files::backend());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    clearJobSettings();
    job.namedEntities = data[0] & 7;
    inSource = (data[0] >> 3) & 1;
    const bool ordinaryLines = inSource == 1 && ((data[0] >> 5) & 1) != 0;
    job.pageSeparator = (data[0] >> 4) & 1;
    job.titleRange = static_cast<std::int8_t>(data[1]) % 8;
    job.tagStartSymbol = startSymbols[data[2] % 5];
    job.tagEndSymbol = endSymbols[data[3] % 4];
    job.levelSymbol = levelSymbols[data[4] % 4];
    listDepth = 0;
    headingWritten = 0;

    if (text_file::create(productPath, ProductFile) == FileId::none) std::abort();
    Reference reference;
    std::u16string line;
    for (std::size_t i = 5; i <= size; ++i) {
        if (i == size || data[i] == '\n') {
            currentLine = line;
            if (ordinaryLines && !line.empty()) {
                // A source line with its line break, against the rule: the
                // break tag appended, the line converted, CR LF.
                convertLineAndBreak();
                reference.line(line + job.tagStartSymbol + u"br" + job.tagEndSymbol);
                reference.out += "\r\n";
            } else {
                convertLine();
                reference.line(line);
            }
            if (headingWritten != reference.heading || listDepth != reference.depth) std::abort();
            line.clear();
        } else {
            line += unitOf(data[i]);
        }
    }
    nestLevel(0);
    reference.nest(0);
    text_file::close(ProductFile);
    if (listDepth != 0) std::abort();

    std::string_view written;
    if (!memory_files::get(productPath, written) || written != reference.out) std::abort();
    return 0;
}
