// The line converter, character escaping, page lists and date pictures: one
// call each into a real product file, and the exact bytes that come out.
#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "converter/conversion_run.h"
#include "converter/escaping.h"
#include "converter/job_settings.h"
#include "converter/line_converter.h"
#include "converter/page_lists.h"
#include "tests/test_support.h"
#include "toolkit/dates/date_format.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file.h"

namespace {

// A product file in a scratch folder, with the settings of a fresh
// installation and the converter state of program start.
struct Product {
    ScratchDir dir;
    std::u16string path = dir.path(u"out.htm");
    Product() {
        clearJobSettings();
        applyDefaultSettings(job);
        currentLine.clear();
        inSource = 1;
        headingWritten = 0;
        listDepth = 0;
        EXPECT_NE(text_file::create(path, ProductFile), FileId::none);
    }
    std::string finish() {
        text_file::close(ProductFile);
        return readBytes(path);
    }
};

std::string convert(Product& product, std::string_view line, int source) {
    inSource = source;
    currentLine = u16(line);
    convertLine();
    return product.finish();
}

CalendarDate localToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return CalendarDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday};
}

std::string currentYear() { return std::to_string(localToday().year); }

struct LineCase {
    const char* line;
    const char* expected;
};

TEST(LineConverter, SourceLinesWithDefaultSettings) {
    static const LineCase cases[] = {
        {"", ""},
        {"plain text", "plain text"},
        {"a > b & c", "a &gt; b & c"},
        {"a<b>\"c\" it's", "a&lt;b&gt;&quot;c&quot; it's"},
        {"[[x]", "[x]"},
        {"a [[ b", "a [ b"},
        {"ends with [", "ends with ["},
        {"x [b y", "x [b y"},
        {"a [b[br]", "a <b[br>"},
        {"[]", "<>"},
        {"[b]bold[/b]", "<b>bold</b>"},
        {"[a title=\"q\"]<", "<a title=\"q\">&lt;"},
        {"[br]", "<br>"},
        {"[HTTPS://Example.org/A?b=1]", "<a href=\"HTTPS://Example.org/A?b=1\"target=\"_blank\">HTTPS://Example.org/A?b=1</a>"},
        {"see [http://x.org] now", "see <a href=\"http://x.org\"target=\"_blank\">http://x.org</a> now"},
        {"[ftp://x.org]", "<ftp://x.org>"},
        {"[http]", "<http>"},
        {"[date='lit''q']", "lit'q"},
        {"[date=]", ""},
        {"]x[", "]x["},
        {"\xC3\xA9 < \xF0\x9F\x98\x80", "\xC3\xA9 &lt; \xF0\x9F\x98\x80"},
    };
    for (const LineCase& c : cases) {
        Product product;
        EXPECT_EQ(escapeBytes(convert(product, c.line, 1)), escapeBytes(c.expected)) << "line: " << c.line;
    }
}

TEST(LineConverter, TemplateLinesAreNotEscapedAndKeepUnknownTags) {
    const std::string year = currentYear();
    const LineCase cases[] = {
        {"<p class=\"x\">a[i] > b</p>", "<p class=\"x\">a[i] > b</p>"},
        {"[]", "[]"},
        {"[other] text", "[other] text"},
        {"[[x", "[x"},
        {"[ftp://x]", "[ftp://x]"},
        {"<footer>[date=yyyy]</footer>", nullptr},
        {"[http://a.b]", "<a href=\"http://a.b\"target=\"_blank\">http://a.b</a>"},
        {"<nav>[.Home] [b]</nav>", "<nav><ul><li><h1>Home</h1> [b]</nav>"},
        {"a [b", "a [b"},
    };
    for (const LineCase& c : cases) {
        Product product;
        const std::string expected = c.expected ? c.expected : "<footer>" + year + "</footer>";
        EXPECT_EQ(convert(product, c.line, 0), expected) << "line: " << c.line;
    }
}

TEST(LineConverter, DateTagUsesTodayAndAcceptsUpperCaseLetters) {
    const CalendarDate today = localToday();
    std::u16string expected;
    ASSERT_NE(formatDate(u"dd.MM.yyyy", 30, &today, expected), 0);

    Product product;
    EXPECT_EQ(convert(product, "[DATE=DD.mm.YYYY]", 1), utf8FromText(expected));
    EXPECT_EQ(headingWritten, 0);
}

TEST(LineConverter, DateThatDoesNotFitItsBufferIsARawTag) {
    // Every "dddd," gives a day name of six or more letters and a comma, so
    // the result outgrows the picture's length plus 20.
    std::string picture;
    for (int i = 0; i < 20; ++i) picture += "dddd,";
    {
        Product product;
        EXPECT_EQ(convert(product, "[Date=" + picture + "]", 1), "<Date=" + picture + ">");
    }
    {
        Product product;
        EXPECT_EQ(convert(product, "[Date=" + picture + "]", 0), "[Date=" + picture + "]");
    }
}

struct TitleCase {
    int titleRange;
    const char* line;
    const char* expected;
    int headingWritten;
};

TEST(LineConverter, TitleTagsOpenListsAndWriteHeadings) {
    static const TitleCase cases[] = {
        {1, "[.Intro]", "<ul><li><h1>Intro</h1>", 1},
        {1, "[. Intro]", "<ul><li><h1> Intro</h1>", 1},
        {1, "[.]", "<ul><li><h1></h1>", 1},
        {1, "[..Sub]", "<ul><li><ul><li><h1>Sub</h1>", 1},
        {3, "[..Sub]", "<ul><li><ul><li><h2>Sub</h2>", 1},
        {9, "[........Eight]", "<ul><li><ul><li><ul><li><ul><li><ul><li><ul><li><ul><li><ul><li><h8>Eight</h8>", 1},
        {0, "[...Deep]", "<ul><li><ul><li><ul><li><b>Deep</b><br>", 0},
        {-2, "[.Neg]", "<ul><li><b>Neg</b><br>", 0},
        {1, "[.a <b> \"c\"]", "<ul><li><h1>a <b> \"c\"</h1>", 1},
        {1, "x[.T]y", "x<ul><li><h1>T</h1>y", 1},
        {2, "[..a.b..]", "<ul><li><ul><li><h2>a.b..</h2>", 1},
        {1, "[.A][..B]", "<ul><li><h1>A</h1><hr><br><ul><li><h1>B</h1>", 1},
    };
    for (const TitleCase& c : cases) {
        Product product;
        job.titleRange = c.titleRange;
        EXPECT_EQ(convert(product, c.line, 1), c.expected) << "range " << c.titleRange << ", line " << c.line;
        EXPECT_EQ(headingWritten, c.headingWritten) << c.line;
    }
}

TEST(LineConverter, AnyLaterTagClearsTheHeadingFlag) {
    Product product;
    EXPECT_EQ(convert(product, "[.T][br]", 1), "<ul><li><h1>T</h1><br>");
    EXPECT_EQ(headingWritten, 0);
}

struct SymbolCase {
    const char* start;
    const char* end;
    const char* level;
    const char* line;
    const char* expected;
};

TEST(LineConverter, OtherTagSymbols) {
    static const SymbolCase cases[] = {
        {"{", "}", ".", "{b}x{/b} [y]", "<b>x</b> [y]"},
        {"{", "}", ".", "{[x}", "[x}"},
        {"{", "}", ".", "{{x}", "<{x>"},
        {"{", "}", "#", "{#T}{.U}", "<ul><li><h1>T</h1><.U>"},
        {"<<", ">>", ".", "a<<b>>c", "a<<b>&gt;c"},
        {"", "]", ".", "[b] <", "[b] &lt;"},
        {"[", "", ".", "[b] <", "[b] &lt;"},
        {"[", "]", "..", "[..T]", "<..T>"},
        {"[", "]", "", "[]x[.]", "<b></b><br>x<.>"},
    };
    for (const SymbolCase& c : cases) {
        Product product;
        job.tagStartSymbol = u16(c.start);
        job.tagEndSymbol = u16(c.end);
        job.levelSymbol = u16(c.level);
        if (job.levelSymbol.empty()) job.titleRange = 1;
        EXPECT_EQ(convert(product, c.line, 1), c.expected) << c.start << " " << c.end << " " << c.line;
    }
}

struct EscapeCase {
    int flags;
    int source;
    const char* text;
    const char* expected;
};

TEST(LineConverter, UnclosedStartSymbolsStayLinear) {
    // 400 000 start symbols in a template line: without an end symbol each is
    // written as text; with one at the very end the whole line is one
    // unknown tag, kept as written. Searching the rest of the line again for
    // every start symbol would take minutes; a bound of seconds catches that.
    std::string line;
    for (int i = 0; i < 400000; ++i) line += "[a";
    const std::clock_t began = std::clock();
    {
        Product product;
        EXPECT_TRUE(convert(product, line, 0) == line) << "unclosed start symbols";
    }
    {
        Product product;
        EXPECT_TRUE(convert(product, line + "]", 0) == line + "]") << "one long unknown tag";
    }
    EXPECT_LT(static_cast<double>(std::clock() - began) / CLOCKS_PER_SEC, 5.0);
}

TEST(Escaping, NamedEntitiesByFlag) {
    static const EscapeCase cases[] = {
        {7, 1, "a<b>\"c\"", "a&lt;b&gt;&quot;c&quot;"},
        {2, 1, "a<b>\"c\"", "a&lt;b>\"c\""},
        {1, 1, "a<b>\"c\"", "a<b&gt;\"c\""},
        {4, 1, "\"\"", "&quot;&quot;"},
        {0, 1, "a<b>\"c\"", "a<b>\"c\""},
        {7, 0, "a<b>\"c\"", "a<b>\"c\""},
        {7, 1, "", ""},
        {7, 1, "&gt; it's 'x' &", "&gt; it's 'x' &"},
        {7, 1, "<<<", "&lt;&lt;&lt;"},
    };
    for (const EscapeCase& c : cases) {
        Product product;
        job.namedEntities = c.flags;
        inSource = c.source;
        writeText(u16(c.text));
        EXPECT_EQ(product.finish(), c.expected) << "flags " << c.flags << ", text " << c.text;
    }
}

struct NestCase {
    int pageSeparator;
    std::vector<int> levels;
    const char* expected;
};

TEST(PageLists, LevelSequences) {
    static const NestCase cases[] = {
        {1, {1, 2, 2, 1, 0}, "<ul><li><hr><br><ul><li><hr><br></li><li></li></ul><hr><br></li><li></li></ul>"},
        {0, {1, 2, 2, 1, 0}, "<ul><li><ul><li></li><li></li></ul></li><li></li></ul>"},
        {1, {0}, ""},
        {1, {1}, "<ul><li>"},
        {1, {1, 1}, "<ul><li><hr><br></li><li>"},
        {1, {1, 3, 0}, "<ul><li><hr><br><ul><li><ul><li></li></ul></li></ul></li></ul>"},
        {1, {3, 1, 0}, "<ul><li><ul><li><ul><li></li></ul></li></ul><hr><br></li><li></li></ul>"},
    };
    for (const NestCase& c : cases) {
        Product product;
        job.pageSeparator = c.pageSeparator;
        for (int level : c.levels) nestLevel(level);
        EXPECT_EQ(product.finish(), c.expected) << "separator " << c.pageSeparator;
        if (c.levels.back() == 0) {
            EXPECT_EQ(listDepth, 0);
        }
    }
}

TEST(PageLists, AVeryDeepTitleIsBalanced) {
    Product product;
    job.pageSeparator = 1;
    nestLevel(1);
    nestLevel(10001);
    nestLevel(0);
    std::string expected = "<ul><li><hr><br>";
    for (int i = 0; i < 10000; ++i) expected += "<ul><li>";
    for (int i = 0; i < 10001; ++i) expected += "</li></ul>";
    EXPECT_EQ(product.finish(), expected);
    EXPECT_EQ(listDepth, 0);
}

// Fixed English names, so the picture syntax is checked apart from the locale.
DateNames englishNames() {
    DateNames names;
    const char* shortDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const char* days[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    const char* shortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const char* months[] = {"January", "February", "March",     "April",   "May",      "June",
                            "July",    "August",   "September", "October", "November", "December"};
    for (int i = 0; i < 7; ++i) {
        names.shortDays[i] = u16(shortDays[i]);
        names.days[i] = u16(days[i]);
    }
    for (int i = 0; i < 12; ++i) {
        names.shortMonths[i] = u16(shortMonths[i]);
        names.months[i] = u16(months[i]);
    }
    names.era = u"A.D.";
    return names;
}

TEST(DatePicture, Elements) {
    static const LineCase cases[] = {
        {"d.M.y", "4.3.6"},
        {"dd.MM.yy", "04.03.06"},
        {"ddd MMM yyyy", "Sat Mar 2006"},
        {"dddd, MMMM d, yyyy", "Saturday, March 4, 2006"},
        {"ddddd MMMMM", "Saturday March"},
        {"yyy|yyyyy", "2006|2006"},
        {"g gg", "A.D. A.D."},
        {"'d M y' d", "d M y 4"},
        {"'it''s' ''", "it's '"},
        {"'open d", "open d"},
        {"D-m-Y h:s", "D-m-Y h:s"},
        {"", ""},
    };
    const CalendarDate date{2006, 3, 4, 6};
    const DateNames names = englishNames();
    for (const LineCase& c : cases) {
        EXPECT_EQ(utf8FromText(formatDatePicture(u16(c.line), date, names)), c.expected) << "picture " << c.line;
    }
    // One digit, two digits, all digits.
    const CalendarDate later{2031, 12, 31, 3};
    EXPECT_EQ(formatDatePicture(u"y|yy|yyyy|dd.MM", later, names), u"1|31|2031|31.12");
}

TEST(DateFormat, FixedDateAndBufferRule) {
    const CalendarDate date{2026, 11, 25, 3};
    std::u16string out;
    EXPECT_EQ(formatDate(u"dd.MM.yyyy", 11, &date, out), 11);
    EXPECT_EQ(out, u"25.11.2026");
    EXPECT_EQ(formatDate(u"dd.MM.yyyy", 10, &date, out), 0);
    EXPECT_EQ(out, u"");
    // English names in the "C" locale natively and in Wine's default locale.
    EXPECT_NE(formatDate(u"dddd d MMMM yyyy", 40, &date, out), 0);
    EXPECT_EQ(out, u"Wednesday 25 November 2026");
    EXPECT_NE(formatDate(u"ddd MMM", 40, &date, out), 0);
    EXPECT_EQ(out, u"Wed Nov");
}

}  // namespace
