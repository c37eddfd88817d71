// Whole conversion runs: settings, source and template bytes in, the exact
// product bytes and the reported messages out.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#endif

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/text_check.h"
#include "tests/test_support.h"
#include "toolkit/fs/paths.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file.h"

using namespace std::string_view_literals;

namespace {

const std::string bom = "\xEF\xBB\xBF";

struct ProductRun {
    ScratchDir dir;
    CapturedErrors errors;
    int result = -1;

    ProductRun() {
        clearJobSettings();
        applyDefaultSettings(job);
        currentLine.clear();
        inSource = 0;
        headingWritten = 0;
        listDepth = 0;
        job.templateDirectory = dir.directory();
        job.templateName = u"Plain";
        job.templatePath = templatePathOf(job);
        job.sourcePath = dir.path(u"notes.txt");
        job.productPath = dir.path(u"notes.htm");
    }
    void templateBytes(std::string_view bytes) { writeBytes(job.templatePath, bytes); }
    void sourceBytes(std::string_view bytes) { writeBytes(job.sourcePath, bytes); }
    // The product after the run, without its byte-order mark (checked here).
    std::string product() {
        result = writeProduct();
        std::string bytes = readBytes(job.productPath);
        EXPECT_EQ(bytes.substr(0, 3), bom);
        return bytes.size() >= 3 ? bytes.substr(3) : bytes;
    }
    std::string messages() const {
        std::string all;
        for (const std::u16string& m : errors.messages) all += (all.empty() ? "" : "|") + utf8FromText(m);
        return all;
    }
};

TEST(SourceReader, WorkedExample) {
    ProductRun run;
    run.templateBytes("[...]");
    run.sourceBytes("[.Alpha]\r\nfirst line\r\na <b> c\r\n\r\n[..Beta]\r\n\r\n[.Gamma]\r\n");
    EXPECT_EQ(escapeBytes(run.product()),
              escapeBytes("<ul><li><h1>Alpha</h1>\r\n"
                          "first line<br>\r\n"
                          "a &lt;b&gt; c<br>\r\n"
                          "<br>\r\n"
                          "<hr><br><ul><li><h1>Beta</h1>\r\n"
                          "\r\n"
                          "</li></ul><hr><br></li><li><h1>Gamma</h1>\r\n"
                          "</li></ul>"));
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(run.messages(), "");
    EXPECT_EQ(listDepth, 0);
}

struct SourceCase {
    const char* name;
    int titleRange;
    std::string_view source;
    const char* body;
};

TEST(SourceReader, Lines) {
    static const SourceCase cases[] = {
        {"only a title", 1, "[.Alpha]", "<ul><li><h1>Alpha</h1>\r\n</li></ul>"},
        {"blank after heading", 1, "[.A]\n\nx", "<ul><li><h1>A</h1>\r\n\r\nx<br>\r\n</li></ul>"},
        {"blank after bold title", 0, "[.A]\n\n", "<ul><li><b>A</b><br>\r\n<br>\r\n</li></ul>"},
        {"tag lines", 1, "[b]bold[/b]\n[b]bold[/b] text\n", "<b>bold</b>\r\n<b>bold</b> text<br>\r\n"},
        {"blanks only", 1, "  ", "  <br>\r\n"},
        {"unclosed tag", 1, "a [b", "a <b[br>\r\n"},
        {"empty source", 1, "", ""},
        {"mark only", 1, "\xEF\xBB\xBF", ""},
        {"final line end", 1, "a\r\n", "a<br>\r\n"},
        {"final empty line", 1, "a\r\n\r\n", "a<br>\r\n<br>\r\n"},
        {"lone CR and LF CR", 1, "a\rb\n\rc", "a<br>\r\nb<br>\r\n<br>\r\nc<br>\r\n"},
        {"ANSI bytes", 1, "\xC3\xA9 \x80", "\xC3\x83\xC2\xA9 \xE2\x82\xAC<br>\r\n"},
        {"UTF-8 with mark", 1, "\xEF\xBB\xBF\xC3\xA9", "\xC3\xA9<br>\r\n"},
        {"UTF-16LE with mark", 1, "\xFF\xFE\xE9\x00<\x00\r\x00\n\x00[\x00.\x00T\x00]\x00"sv,
         "\xC3\xA9&lt;<br>\r\n<ul><li><h1>T</h1>\r\n</li></ul>"},
        {"title then blank then text", 1, "[.A]\n\n[..B]\ntext\n\n[.C]",
         "<ul><li><h1>A</h1>\r\n\r\n<hr><br><ul><li><h1>B</h1>\r\ntext<br>\r\n<br>\r\n"
         "</li></ul><hr><br></li><li><h1>C</h1>\r\n</li></ul>"},
    };
    for (const SourceCase& c : cases) {
        ProductRun run;
        job.titleRange = c.titleRange;
        run.templateBytes("[...]");
        run.sourceBytes(c.source);
        EXPECT_EQ(escapeBytes(run.product()), escapeBytes(c.body)) << c.name;
        EXPECT_EQ(run.result, 1) << c.name;
    }
}

TEST(SourceReader, NulInTheMiddleStartsTheNextLine) {
    ProductRun run;
    run.templateBytes("[...]");
    run.sourceBytes(std::string_view("a\0b", 3));
    EXPECT_EQ(escapeBytes(run.product()), escapeBytes("a<br>\r\nb<br>\r\n"));
}

TEST(SourceReader, LongerSymbolsAlwaysAppendTheLineBreak) {
    ProductRun run;
    job.tagStartSymbol = u"<<";
    job.tagEndSymbol = u">>";
    run.templateBytes("<<...>>");
    run.sourceBytes("<<b>>x<<b>>\n");
    // "<<br>>" is appended; the scan takes "<b" and "<br" as tag texts and
    // scans each second ">" again as text.
    EXPECT_EQ(escapeBytes(run.product()), escapeBytes("<<b>&gt;x<<b>&gt;<<br>&gt;\r\n"));
}

TEST(SourceReader, BlankFirstLineSeesTheTemplatesHeading) {
    ProductRun run;
    run.templateBytes("[.T]\r\n[...]");
    run.sourceBytes("\r\nx");
    EXPECT_EQ(escapeBytes(run.product()), escapeBytes("<ul><li><h1>T</h1>\r\n\r\nx<br>\r\n</li></ul>"));
}

TEST(SourceReader, LongLinesAreConvertedWhole) {
    ProductRun run;
    run.templateBytes("[...]");
    std::string line;
    for (int i = 0; i < 3000; ++i) line += "ab<\"";
    run.sourceBytes(line + "\r\n");
    std::string expected;
    for (int i = 0; i < 3000; ++i) expected += "ab&lt;&quot;";
    EXPECT_EQ(run.product(), expected + "<br>\r\n");
}

struct TemplateCase {
    const char* name;
    const char* browserTitle;
    const char* templateText;
    const char* product;
    const char* messages;
};

TEST(TemplateAssembly, Frames) {
    static const TemplateCase cases[] = {
        {"marker inside div", "", "<div>[...]</div>\r\n<p>", "<div>x<br>\r\n</div><p>\r\n", ""},
        {"marker at start", "", "[...]tail\n", "x<br>\r\ntail", ""},
        {"marker at end", "", "head[...]", "headx<br>\r\n", ""},
        {"two markers on a line", "", "[...]-[...]", "x<br>\r\n-[...]", ""},
        {"markers on two lines", "", "[...]\n[...]\n", "x<br>\r\nx<br>\r\n", ""},
        {"tags beside the marker stay", "", "[b][...][i]", "[b]x<br>\r\n[i]", ""},
        {"title replaced", "My Notes", "<TITLE>Untitled</TITLE>\n[...]", "<TITLE>My Notes</TITLE>\r\nx<br>\r\n", ""},
        {"title kept", "", "<TITLE>Untitled</TITLE>\n[...]", "<TITLE>Untitled</TITLE>\r\nx<br>\r\n", ""},
        {"only the first title", "T", "<title>a</title><title>b</title>\n[...]",
         "<title>T</title><title>b</title>\r\nx<br>\r\n", ""},
        {"title over two lines", "T", "<title>a\n</title>[...]", "<title>a\r\n</title>x<br>\r\n", ""},
        {"marker in title, title set", "T", "<title>[...]</title>", "<title>T</title>\r\n",
         "'[...]' not found in template"},
        {"marker in title, no title", "", "<title>[...]</title>", "<title>x<br>\r\n</title>", ""},
        {"title with tags", "[http://a] & <b>", "<title>-</title>\n[...]",
         "<title><a href=\"http://a\"target=\"_blank\">http://a</a> & <b></title>\r\nx<br>\r\n", ""},
        {"unknown tags and [[", "", "<script>a[i] = \"[[\";</script>\n[...]",
         "<script>a[i] = \"[\";</script>\r\nx<br>\r\n", ""},
        {"ANSI template", "", "<p>\xE9</p>\r\n[...]", "<p>\xC3\xA9</p>\r\nx<br>\r\n", ""},
        {"UTF-8 without mark", "", "\xC3\xA9[...]", "\xC3\x83\xC2\xA9x<br>\r\n", ""},
        {"empty template", "", "", "", "'[...]' not found in template"},
        {"no marker", "", "<p>\r\n(...)<", "<p>\r\n(...)<\r\n", "'[...]' not found in template"},
        {"line ends", "", "a\rb\r\n[...]\nc\n", "a\r\nb\r\nx<br>\r\nc\r\n", ""},
        {"closing tag first", "T", "</title>a<title>\n[...]", "</title>a<title>\r\nx<br>\r\n", ""},
        {"empty title element", "T", "<Title></TITLE>\n[...]", "<Title>T</TITLE>\r\nx<br>\r\n", ""},
        {"title holds the marker", "[...]", "<title>a</title>", "<title>x<br>\r\n</title>", ""},
        {"title not escaped", "a \"<q>\"", "<title></title>\n[...]",
         "<title>a \"<q>\"</title>\r\nx<br>\r\n", ""},
    };
    for (const TemplateCase& c : cases) {
        ProductRun run;
        job.browserTitle = u16(c.browserTitle);
        run.templateBytes(c.templateText);
        run.sourceBytes("x");
        EXPECT_EQ(escapeBytes(run.product()), escapeBytes(c.product)) << c.name;
        EXPECT_EQ(run.messages(), c.messages) << c.name;
        EXPECT_EQ(run.result, *c.messages ? 0 : 1) << c.name;
    }
}

TEST(TemplateAssembly, MarkerFollowsTheTagSymbols) {
    {
        ProductRun run;
        job.tagStartSymbol = u"{";
        job.tagEndSymbol = u"}";
        run.templateBytes("<p>[...]</p>");
        run.sourceBytes("x");
        EXPECT_EQ(run.product(), "<p>[...]</p>\r\n");
        EXPECT_EQ(run.messages(), "'[...]' not found in template");
    }
    {
        ProductRun run;
        job.tagStartSymbol = u"{";
        job.tagEndSymbol = u"}";
        run.templateBytes("<p>{...}</p>");
        run.sourceBytes("x [b]");
        EXPECT_EQ(run.product(), "<p>x [b]<br>\r\n</p>");
        EXPECT_EQ(run.result, 1);
    }
}

TEST(ConversionRun, MissingFiles) {
    {
        ProductRun run;
        run.sourceBytes("x");
        EXPECT_EQ(run.product(), "");
        EXPECT_EQ(run.messages(), "Cannot read template file");
        EXPECT_EQ(run.result, 0);
    }
    {
        ProductRun run;
        run.templateBytes("<html>\r\n<body>[...]</body>\r\n</html>");
        EXPECT_EQ(run.product(), "<html>\r\n<body>");
        EXPECT_EQ(run.messages(), "Source not found");
        EXPECT_EQ(run.result, 0);
    }
    {
        ProductRun run;
        run.templateBytes("[...]");
        run.sourceBytes("x");
        job.productPath = run.dir.path(u"missing") + pathSeparator + u"out.htm";
        EXPECT_EQ(writeProduct(), 0);
        EXPECT_EQ(run.messages(), "Cannot make product file");
        EXPECT_FALSE(fileExists(job.productPath));
    }
}

TEST(ConversionRun, NoTemplateChosen) {
    ProductRun run;
    run.templateBytes("[...]");
    run.sourceBytes("x");
    job.templateName = u"";
    job.templatePath = templatePathOf(job);
    EXPECT_EQ(job.templatePath, run.dir.directory() + u".tpl.txt");
    EXPECT_EQ(run.product(), "");
    EXPECT_EQ(run.messages(), "Cannot read template file");
    EXPECT_EQ(run.result, 0);
}

// The converter's state outlives a run, as in the window program, where a
// failed run is followed by another press of "Ok".
TEST(ConversionRun, StateCarriesOverToTheNextRun) {
    ProductRun run;
    run.templateBytes("[x]\r\n[...]\r\n[.Left open]");
    EXPECT_EQ(writeProduct(), 0);
    EXPECT_EQ(run.messages(), "Source not found");
    EXPECT_EQ(inSource, 1);

    // Template lines are template lines again, whatever the failed run left.
    run.sourceBytes("[.A]\r\n");
    EXPECT_EQ(escapeBytes(run.product()),
              escapeBytes("[x]\r\n<ul><li><h1>A</h1>\r\n</li></ul><ul><li><h1>Left open</h1>\r\n"));
    EXPECT_EQ(run.result, 1);
    EXPECT_EQ(listDepth, 1);
    EXPECT_EQ(headingWritten, 1);

    // The list that the template left open is continued. The heading flag was
    // cleared by the template's "[x]", so a blank first line gets its break.
    run.sourceBytes("\r\n[.B]\r\n");
    EXPECT_EQ(escapeBytes(run.product()),
              escapeBytes("[x]\r\n<br>\r\n<hr><br></li><li><h1>B</h1>\r\n</li></ul><ul><li><h1>Left open</h1>\r\n"));
    EXPECT_EQ(run.result, 1);
}

TEST(ConversionRun, RefusesAProductThatNamesAnInput) {
    const std::string templateText = "<p>[...]</p>";
    const std::string sourceText = "[.A]\r\ntext\r\n";
    struct Case {
        const char* name;
        int which;  // 0 the source, 1 the template
    };
    static const Case cases[] = {{"source", 0}, {"template", 1}};
    for (const Case& c : cases) {
        ProductRun run;
        run.templateBytes(templateText);
        run.sourceBytes(sourceText);
        const std::u16string target = c.which == 0 ? job.sourcePath : job.templatePath;
        // Spelt differently from the input, as a user might type it.
        job.productPath = run.dir.directory() + u"." + pathSeparator + u"sub" + pathSeparator + u".." +
                          pathSeparator + target.substr(run.dir.directory().size());
        std::filesystem::create_directory(std::filesystem::path(run.dir.path(u"sub")));
        EXPECT_EQ(writeProduct(), 0) << c.name;
        EXPECT_EQ(run.messages(), "Product file must differ from source and template") << c.name;
        EXPECT_EQ(readBytes(job.templatePath), templateText) << c.name;
        EXPECT_EQ(readBytes(job.sourcePath), sourceText) << c.name;
    }
#ifdef _WIN32
    // File names on Windows match regardless of case.
    ProductRun run;
    run.templateBytes(templateText);
    run.sourceBytes(sourceText);
    job.productPath = run.dir.directory() + u"NOTES.TXT";
    EXPECT_EQ(writeProduct(), 0);
    EXPECT_EQ(run.messages(), "Product file must differ from source and template");
    EXPECT_EQ(readBytes(job.sourcePath), sourceText);
#endif
}

// The inputs are opened as their paths stand; only the product path has its
// environment references expanded, so a look-alike is not the same file.
TEST(ConversionRun, AnUnexpandedReferenceInTheSourceIsAnotherFile) {
    ProductRun run;
#ifdef _WIN32
    _putenv_s("PAGESMITH_GUARD_NAME", "copy");
#else
    setenv("PAGESMITH_GUARD_NAME", "copy", 1);
#endif
    run.templateBytes("[...]");
    job.sourcePath = run.dir.path(u"%PAGESMITH_GUARD_NAME%.txt");
    run.sourceBytes("x");
    job.productPath = completeProductPath(job.sourcePath);
    EXPECT_EQ(job.productPath, run.dir.path(u"copy.txt"));
    EXPECT_EQ(run.product(), "x<br>\r\n");
    EXPECT_EQ(run.messages(), "");
    EXPECT_EQ(readBytes(job.sourcePath), "x");
}

#ifndef _WIN32
TEST(ConversionRun, WriteErrorsFailTheRun) {
    ProductRun run;
    run.templateBytes("[...]");
    std::string source;
    for (int i = 0; i < 2000; ++i) source += "a line of text\r\n";
    run.sourceBytes(source);

    // A file-size limit makes the writes fail as a full disk would.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*savedHandler)(int) = signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 10000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = writeProduct();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, savedHandler);

    EXPECT_EQ(result, 0);
    EXPECT_EQ(run.messages(), "Cannot write product file");
}
#endif

TEST(ConversionRun, CompletesProductPaths) {
    ScratchDir dir;
    std::u16string here;
    ASSERT_TRUE(fullPath(u"notes", here));
    EXPECT_EQ(completeProductPath(u"notes"), here + u".htm");
    EXPECT_EQ(completeProductPath(dir.path(u"my notes.old copy")), dir.path(u"my notes.old copy.htm"));
    EXPECT_EQ(completeProductPath(dir.path(u"page.html")), dir.path(u"page.html"));
    EXPECT_EQ(completeProductPath(dir.path(u".profile")), dir.path(u".profile.htm"));
    EXPECT_EQ(normalizePath(u""), u"");

#ifdef _WIN32
    _putenv_s("PAGESMITH_TEST_DIR", utf8FromText(dir.directory()).c_str());
#else
    setenv("PAGESMITH_TEST_DIR", utf8FromText(dir.directory()).c_str(), 1);
#endif
    EXPECT_EQ(completeProductPath(u"%PAGESMITH_TEST_DIR%x"), dir.path(u"x.htm"));

    // Paths past the old 260-character limit are completed whole.
    std::u16string longName(300, u'n');
    EXPECT_EQ(completeProductPath(dir.path(longName)), dir.path(longName) + u".htm");
}

}  // namespace

namespace {

std::string utf16Bytes(std::u16string_view text, bool littleEndian) {
    std::string bytes;
    for (char16_t c : text) {
        const char low = static_cast<char>(c & 0xFF), high = static_cast<char>(c >> 8);
        bytes += littleEndian ? low : high;
        bytes += littleEndian ? high : low;
    }
    return bytes;
}

}  // namespace

TEST(TextCheck, RefusesOnlyWhatIsNoText) {
    const std::u16string czech = u"[.Příliš žluťoučký kůň]\r\núpěl ďábelské ódy\r\n";
    std::string compressed = "\x1F\x8B\x08";  // every byte value alike, as compressed data has them
    for (int i = 0; i < 4096; ++i) compressed += static_cast<char>(i * 7919 % 251);
    const struct {
        const char* behaviour;
        std::string head;
        TextEncoding unmarked;
        bool text;
    } rows[] = {
        {"an image", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10", 20), TextEncoding::Ansi, false},
        {"compressed data", compressed, TextEncoding::Ansi, false},
        {"control characters in a unit of UTF-16 chosen for it",
         std::string("\x01\0\x02\0\x03\0\x04\0a\0\x05\0", 12), TextEncoding::Utf16LE, false},
        {"a signature of letters alone begins a text", "ID3 tags, explained\r\n", TextEncoding::Ansi, true},
        {"a code-page export with accents, tabs and page breaks", "[.Caf\xE9]\r\n\tna\xEFve\x0C\r\n\xE0 la carte",
         TextEncoding::Ansi, true},
        {"UTF-16 LE without a mark, read as ANSI", utf16Bytes(czech, true), TextEncoding::Ansi, true},
        {"UTF-16 BE without a mark, read as ANSI", utf16Bytes(czech, false), TextEncoding::Ansi, true},
        {"UTF-16 LE with its mark", "\xFF\xFE" + utf16Bytes(czech, true), TextEncoding::Ansi, true},
        {"UTF-32 with its mark", std::string("\xFF\xFE\0\0\x01\0\0\0", 8), TextEncoding::Ansi, true},
        {"a few stray control characters", "[.A]\r\nte\x01xt\x02\x03\x04\r\n", TextEncoding::Ansi, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        EXPECT_EQ(looksLikeText(row.head, row.unmarked), row.text);
    }
}

// The command line and the page refuse such a source before anything is
// made; the window program still converts it.
TEST(TextCheck, TheRunRefusesBeforeTheProductIsMade) {
    const std::string image("\x89PNG\r\n\x1a\n\0\x10", 10);
    ProductRun refused;
    refused.templateBytes("<p>[...]</p>");
    refused.sourceBytes(image);
    EXPECT_EQ(writeProduct(true), 0);
    EXPECT_EQ(refused.messages(), "Source is not a text file");
    EXPECT_FALSE(fileExists(job.productPath));
    ProductRun window;
    window.templateBytes("<p>[...]</p>");
    window.sourceBytes(image);
    EXPECT_EQ(escapeBytes(window.product()), escapeBytes("<p>\xE2\x80\xB0PNG<br>\r\n\x1A<br>\r\n<br>\r\n\x10<br>\r\n</p>"));
}
