// The line converter: a line split into plain text and tags in one scan,
// the tags interpreted (dates, page titles, links), the line-break tag decided
// during the same scan.
#include "converter/line_converter.h"

#include <algorithm>
#include <string>

#include "converter/conversion_run.h"
#include "converter/escaping.h"
#include "converter/job_settings.h"
#include "converter/page_lists.h"
#include "toolkit/dates/date_format.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/fast_paths.h"
#include "toolkit/text_file/text_file.h"

using namespace std::literals;  // u""sv: views of known length

namespace {

// Tag prefixes are compared without regard to case. ASCII folds inline; any
// other character goes through the platform's mapping.
bool startsWithFolded(std::u16string_view text, std::u16string_view lowerPrefix) {
    if (text.size() < lowerPrefix.size()) return false;
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
        char16_t c = text[i];
        if (c < 0x80) {
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + (u'a' - u'A'));
        } else {
            c = lowerCaseChar(c);
        }
        if (c != lowerPrefix[i]) return false;
    }
    return true;
}

int dateTag(std::u16string_view tagText) {
    static std::u16string picture;
    static std::u16string formatted;
    picture.assign(tagText.substr(5));
    // Upper-case year and day letters and a lower-case month letter are
    // accepted as the usual spellings of the same picture.
    for (char16_t& c : picture) {
        if (c == u'Y') c = u'y';
        else if (c == u'D') c = u'd';
        else if (c == u'm') c = u'M';
    }
    const int result = formatDate(picture, static_cast<int>(picture.size()) + 20, nullptr, formatted);
    if (result != 0) text_file::writeString(ProductFile, formatted);
    return result;
}

int titleTag(std::u16string_view tagText) {
    const char16_t symbol = job.levelSymbol.empty() ? u'\0' : job.levelSymbol.front();
    std::size_t symbols = 0;
    while (symbols < tagText.size() && tagText[symbols] == symbol) ++symbols;
    int level = static_cast<int>(std::min<std::size_t>(symbols, 0x7FFFFFFF));
    const std::u16string_view title = tagText.substr(symbols);
    nestLevel(level, title);

    // A negative range from the free text field counts as 0: bold titles
    // rather than a heading tag with a negative number.
    const int range = std::max(job.titleRange, 0);
    if (level > range) level = range;
    // Generated markup goes out in its pieces, with no string assembled:
    // the same bytes, as every piece boundary lies next to ASCII markup.
    if (level != 0) {
        // The usual levels have their tags ready.
        static const std::u16string_view opening[] = {u""sv, u"<h1>"sv, u"<h2>"sv, u"<h3>"sv, u"<h4>"sv, u"<h5>"sv, u"<h6>"sv};
        static const std::u16string_view closing[] = {u""sv, u"</h1>"sv, u"</h2>"sv, u"</h3>"sv, u"</h4>"sv, u"</h5>"sv, u"</h6>"sv};
        if (level <= 6 && pageSplit == nullptr) {
            text_file::writeStrings(ProductFile, {opening[level], title, closing[level]});
        } else if (level <= 6) {
            text_file::writeString(ProductFile, opening[level]);
            pageSplit->insideTitle();
            text_file::writeStrings(ProductFile, {title, closing[level]});
        } else {
            static std::u16string levelText;
            levelText.clear();
            appendNumberText(levelText, level);
            text_file::writeStrings(ProductFile, {u"<h"sv, levelText, u">"sv});
            if (pageSplit != nullptr) pageSplit->insideTitle();
            text_file::writeStrings(ProductFile, {title, u"</h"sv, levelText, u">"sv});
        }
        headingWritten = 1;
    } else {
        text_file::writeString(ProductFile, u"<b>"sv);
        if (pageSplit != nullptr) pageSplit->insideTitle();
        text_file::writeStrings(ProductFile, {title, u"</b><br>"sv});
    }
    return 1;
}

int linkTag(std::u16string_view tagText) {
    text_file::writeStrings(ProductFile, {u"<a href=\""sv, tagText, u"\"target=\"_blank\">"sv, tagText, u"</a>"sv});
    return 1;
}

// The usual one-character symbol takes the fast scan.
std::size_t findSymbol(std::u16string_view line, std::u16string_view symbol, std::size_t from) {
    if (symbol.size() != 1) return symbol.empty() ? std::u16string_view::npos : line.find(symbol, from);
    if (from >= line.size()) return std::u16string_view::npos;
    const char16_t* end = line.data() + line.size();
    const char16_t* hit = fast_paths::findUnit(line.data(), line.data() + from, end, symbol[0]);
    return hit == end ? std::u16string_view::npos : static_cast<std::size_t>(hit - line.data());
}

}  // namespace

int interpretTag(std::u16string_view tagText) {
    headingWritten = 0;
    // An ASCII first character other than the prefixes' own letters rules
    // them out at once; any other character is folded as the prefix test
    // folds it.
    const char16_t first = tagText.empty() ? u'\0' : tagText[0];
    const bool otherAscii = first < 0x80;
    if ((!otherAscii || (first | 0x20) == u'd') && startsWithFolded(tagText, u"date="sv)) return dateTag(tagText);
    // The first character against the whole symbol: a longer symbol never
    // matches, and an empty one matches only the empty tag.
    if (tagText.substr(0, 1) == std::u16string_view(job.levelSymbol)) return titleTag(tagText);
    if ((!otherAscii || (first | 0x20) == u'h') &&
        (startsWithFolded(tagText, u"http:"sv) || startsWithFolded(tagText, u"https:"sv))) {
        return linkTag(tagText);
    }
    return 0;
}

namespace {

// Whether the line-break tag gives "<br>" when converted apart from the line
// it ends, provided the line's scan never looks past the line's own end:
// one-character symbols, neither of them "b" or "r" (which would cut the tag
// apart), and a level symbol other than "b" (which would make it a title).
bool breakCanStandApart(std::u16string_view startSymbol, std::u16string_view endSymbol) {
    if (startSymbol.size() != 1 || endSymbol.size() != 1 || (job.levelSymbol.size() == 1 && job.levelSymbol[0] == u'b')) return false;
    const char16_t start = startSymbol[0];
    const char16_t end = endSymbol[0];
    return start != u'b' && start != u'r' && end != u'b' && end != u'r';
}

// The tag joins the line in `currentLine`; a line viewed elsewhere is
// copied there first.
void appendBreakTag(std::u16string_view line, std::u16string_view startSymbol, std::u16string_view endSymbol) {
    if (line.data() != currentLine.data()) currentLine.assign(line);
    currentLine += startSymbol;
    currentLine += u"br";
    currentLine += endSymbol;
}

// The scan of convertLine. With `lineBreak`, the line-break tag belongs at
// the end of the line. It joins the line only when the scan would look past
// the line's end, that is when a start symbol finds no end symbol in the
// line: up to that point the scan of the line with and without the tag is
// the same, and from there on it goes on over the line with the tag. A scan
// that never looks past the end leaves the tag to stand apart, as "<br>".
bool convertScan(std::u16string_view line, bool lineBreak) {
    const std::u16string_view startSymbol = job.tagStartSymbol;
    const std::u16string_view endSymbol = job.tagEndSymbol;
    constexpr std::size_t none = std::u16string_view::npos;
    bool breakApart = false;
    bool inShared = line.data() == currentLine.data();
    if (lineBreak) {
        breakApart = breakCanStandApart(startSymbol, endSymbol);
        if (!breakApart) {
            appendBreakTag(line, startSymbol, endSymbol);
            line = currentLine;
            inShared = true;
        }
    }

    // Both symbols count as one character wide when the scan moves on, so a
    // longer symbol's other characters belong to the tag text or are scanned
    // again as text.
    std::size_t position = 0;
    // Once a search for the end symbol has failed, every later one from
    // further on would fail too; remembering that keeps a line full of
    // unclosed start symbols linear instead of quadratic.
    std::size_t noEndFrom = none;
    // Whether the line end went out with the line's last text.
    bool endingWritten = false;
    for (;;) {
        std::size_t start;
        if (startSymbol.size() == 1) {
            // The text before the tag is written while the tag is looked for:
            // one pass over the plain text instead of two. Text that runs to
            // the line's end takes the line end along: the rest of the scan
            // cannot change it, as nothing is left to scan.
            if (position == line.size()) break;
            if (line[position] == startSymbol[0]) {
                start = position;
            } else {
                const std::u16string_view ending = breakApart ? u"<br>\r\n"sv : lineBreak ? u"\r\n"sv : u""sv;
                start = position + writeTextUntil(line.substr(position), startSymbol[0], ending);
                if (start == line.size()) {
                    endingWritten = true;
                    break;
                }
            }
        } else {
            start = findSymbol(line, startSymbol, position);
            if (start == none) {
                if (position < line.size()) writeText(line.substr(position));
                break;
            }
            if (start > position) writeText(line.substr(position, start - position));
        }
        position = start;

        // A "[" behind the start symbol's first character stands for itself,
        // whatever the start symbol is.
        if (position + 1 < line.size() && line[position + 1] == u'[') {
            writeText(line.substr(position + 1, 1));
            position += 2;
            continue;
        }
        const std::size_t end =
            position + 1 >= noEndFrom ? none : findSymbol(line, endSymbol, position + 1);
        if (end == none) {
            if (breakApart) {
                // The scan looks past the line's end: the tag joins the line
                // and this start symbol is looked at again.
                breakApart = false;
                appendBreakTag(line, startSymbol, endSymbol);
                line = currentLine;
                inShared = true;
                continue;
            }
            noEndFrom = position + 1;
            writeText(line.substr(position, 1));
            position += 1;
            continue;
        }
        const std::size_t step = end - position + 1;
        const std::u16string_view tagText = line.substr(position + 1, end - position - 1);
        if (interpretTag(tagText) == 0) {
            if (inSource == 1) {
                if (tagText.size() <= 14) {
                    // A short tag, as most raw tags are, goes out in one piece.
                    char16_t rawTag[16];
                    rawTag[0] = u'<';
                    for (std::size_t i = 0; i < tagText.size(); ++i) rawTag[i + 1] = tagText[i];
                    rawTag[tagText.size() + 1] = u'>';
                    text_file::writeString(ProductFile, std::u16string_view(rawTag, tagText.size() + 2));
                } else {
                    text_file::writeStrings(ProductFile, {u"<"sv, tagText, u">"sv});
                }
            } else {
                writeText(line.substr(position, step));
            }
        }
        position += step;
    }
    if (breakApart) {
        // What the tag would write, with the line end; the tag clears the
        // heading flag as every tag does.
        headingWritten = 0;
        if (!endingWritten) text_file::writeString(ProductFile, u"<br>\r\n"sv);
    } else if (lineBreak && !endingWritten) {
        text_file::writeString(ProductFile, u"\r\n"sv);
    }
    return inShared;
}

}  // namespace

void convertLine() { convertScan(currentLine, false); }

void convertLineAndBreak() { convertScan(currentLine, true); }

bool convertLine(std::u16string_view line) { return convertScan(line, false); }

bool convertLineAndBreak(std::u16string_view line) { return convertScan(line, true); }
