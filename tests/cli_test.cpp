// The command line as scripts use it: the real program run with arguments,
// standard input and the settings file beside it; its exit status, standard
// output, standard error and the files it leaves, exactly. The same rows run
// natively and under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "cli/cli_options.h"
#include "tests/child_process.h"
#include "tests/test_support.h"
#include "toolkit/fs/paths.h"
#include "toolkit/process/system_error.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file.h"

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr bool onWindows = true;
constexpr char16_t programName[] = u"pagesmith-cli.exe";
const std::string nullDevice = "NUL";
constexpr int closedReason = 6;  // ERROR_INVALID_HANDLE
constexpr int deniedReason = 5;                    // ERROR_ACCESS_DENIED
const std::string unwritableProduct = "ro.htm";  // read-only in each row's folder
#else
constexpr bool onWindows = false;
constexpr char16_t programName[] = u"pagesmith-cli";
const std::string nullDevice = "/dev/null";
constexpr int closedReason = EBADF;
constexpr int deniedReason = EACCES;
const std::string unwritableProduct = "/sys/x.htm";  // refused to root too
#endif

const std::string bom = "\xEF\xBB\xBF";
const std::string usage = "usage: pagesmith-cli [OPTIONS] [SOURCE...]  (--help lists the options)\n";
// Templates from the current folder; no last template, so the first one
// (Other) is taken.
const char* const here = "[Template]\r\nDirectory=.\r\n";

const std::string otherNotes =
    "<p><ul><li><h1>A</h1>\r\ntext<br>\r\n<hr><br><ul><li><h1>B</h1>\r\n</li></ul></li></ul></p>";
const std::string standardNotes = "<title>T</title>\r\n<body><ul><li><h1>A</h1>\r\ntext<br>\r\n<hr><br>"
                                  "<ul><li><h1>B</h1>\r\n</li></ul></li></ul></body>";

// A copy of the program in a folder of its own, so that each row decides
// the settings file beside it.
struct Program {
    ScratchDir dir;
    std::u16string path = dir.path(programName);
    std::u16string settings = dir.path(u"Pagesmith.ini");
    Program() {
        fs::copy_file(fs::path(directoryPart(programFileName()) + programName), fs::path(path));
    }
};

Program& program() {
    static Program copy;
    return copy;
}

// The folder a row runs in.
struct Work {
    ScratchDir dir;
    Work() {
        for (const char* folder : {"out", "t", "list"}) fs::create_directory(fs::path(dir.nativePath(folder)));
        const std::pair<const char*, std::string> files[] = {
            {"Standard.tpl.txt", "<title>T</title>\r\n<body>[...]</body>"},
            {"Other.tpl.txt", "<p>[...]</p>"},
            {"t/nomark.tpl.txt", "<p>none</p>"},
            {"t/open.tpl.txt", "[...]\r\n[.Left open]"},
            {"t/curly.tpl.txt", "<p>{...}</p>\r\n<i>[...]</i>"},
            {"t/u16.tpl.txt", std::string("<\0i\0>\0[\0.\0.\0.\0]\0<\0/\0i\0>\0", 24)},
            {"list/b.tpl.txt", ""},
            {"list/A.tpl.txt", ""},
            {"list/c.tpl.txt", ""},
            {"list/_x.tpl.txt", ""},
            {"notes.txt", "[.A]\r\ntext\r\n[..B]\r\n"},
            {"again.txt", "[.A]\r\ntext\r\n[..B]\r\n"},
            {"notes.md", "md"},
            {"more.txt", "x"},
            {"u8.txt", "caf\xC3\xA9"},
            {"dated.txt", "[date=yyyy-MM-dd]"},
            {"curly.txt", "{#T}\r\n[b] {i}a<b>\"c\"{/i}\r\n{.x}\r\n"},
            {"-odd.txt", "odd"},
            {"caf\xC3\xA9.txt", "x\xE9"},
            {"old.htm", "old page"},
            {"y", "[.Y]"},
            {"y.htm", "keep"},
            {"ro.htm", "old page"},
        };
        for (const auto& file : files) writeBytes(path(file.first), file.second);
        if (onWindows) fs::permissions(fs::path(path("ro.htm")), fs::perms::owner_write, fs::perm_options::remove);
    }
    ~Work() {
        std::error_code ignored;
        if (onWindows) fs::permissions(fs::path(path("ro.htm")), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    std::u16string path(const std::string& name) const {
        std::u16string wideName = u16(name);
        for (char16_t& c : wideName) {
            if (c == u'/') c = pathSeparator;
        }
        return dir.path(wideName);
    }
};

// The system's words for a missing file, as this platform gives them.
std::string missingFileReason() {
    ScratchDir dir;
    EXPECT_EQ(text_file::openRead(dir.path(u"absent")), FileId::none);
    return utf8FromText(text_file::lastFailureReason());
}

// {missing}: that reason; {/}: the path separator; {usage}: the usage line;
// {settings}: the settings file beside the program; {closed}: the reason a
// closed stream gives; {denied}: the reason for a file the user may not
// write; {s}: a time in seconds.
std::string expand(std::string text) {
    const std::pair<std::string, std::string> names[] = {
        {"{missing}", missingFileReason()},
        {"{/}", onWindows ? "\\" : "/"},
        {"{usage}", usage},
        {"{settings}", utf8FromText(program().settings)},
        {"{closed}", utf8FromText(systemErrorText(closedReason))},
        {"{denied}", utf8FromText(systemErrorText(deniedReason))},
    };
    for (const auto& name : names) {
        for (std::size_t at; (at = text.find(name.first)) != std::string::npos;)
            text.replace(at, name.first.size(), name.second);
    }
    return text;
}

bool matchesWithSeconds(const std::string& expected, const std::string& actual) {
    const std::size_t hole = expected.find("{s}");
    if (hole == std::string::npos) return expected == actual;
    if (actual.compare(0, hole, expected, 0, hole) != 0) return false;
    std::size_t at = hole;
    while (at < actual.size() && ((actual[at] >= '0' && actual[at] <= '9') || actual[at] == '.')) ++at;
    return at > hole && matchesWithSeconds(expected.substr(hole + 3), actual.substr(at));
}

enum Platforms { Both, PosixOnly, WindowsOnly };

struct Row {
    const char* behaviour;
    std::vector<std::string> arguments;
    const char* settings;  // Pagesmith.ini beside the program; nullptr: none
    std::string input;
    int status;
    std::string output;
    std::string error;
    // Files afterwards, relative to the row's folder; nullptr: absent.
    std::vector<std::pair<std::string, const char*>> files = {};
    const char* environment = nullptr;  // SOURCE_DATE_EPOCH for the row
    Platforms platforms = Both;
    int closedStream = -1;  // the child starts without this stream
};

std::string page(const std::string& body) { return bom + body; }

const std::string otherPage = page(otherNotes);
const std::string standardPage = page(standardNotes);
const std::string openPage = page("<ul><li><h1>A</h1>\r\ntext<br>\r\n<hr><br><ul><li><h1>B</h1>\r\n</li></ul></li></ul>"
                                  "<ul><li><h1>Left open</h1>\r\n");

TEST(CommandLine, Invocations) {
    const std::string dated = "[Template]\r\nDirectory=.\r\n[Settings]\r\nTitleRange=2\r\nPageSeparator=0\r\n"
                              "BrowserTitle=Stored\r\n";
    const Row rows[] = {
        {"-h is help, not a source", {"-h"}, here, "", 0, cliHelpText, "", {{"-h.htm", nullptr}}},
        {"-V is the version", {"-V"}, here, "", 0, "pagesmith-cli " PAGESMITH_PROJECT_VERSION "\n", ""},
        {"an unknown option is a usage error", {"-x", "notes.txt"}, here, "", 2, "",
         "pagesmith-cli: The following argument was not expected: -x\n{usage}", {{"notes.htm", nullptr}}},
        {"- reads standard input and writes standard output", {"-"}, here, "[.A]\r\n", 0,
         page("<p><ul><li><h1>A</h1>\r\n</li></ul></p>"), ""},
        {"standard input keeps the byte-order-mark rules", {"-"}, here, std::string("\xFF\xFE\xE9\0", 4), 0,
         page("<p>\xC3\xA9<br>\r\n</p>"), ""},
        {"-o - writes a file's page to standard output", {"notes.txt", "-o", "-"}, here, "", 0, otherPage, "",
         {{"notes.htm", nullptr}}},
        {"-o /dev/stdout is written as it is named", {"notes.txt", "-o", "/dev/stdout"}, here, "", 0, otherPage, "",
         {{"notes.htm", nullptr}}, nullptr, PosixOnly},
        {"-o PATH is the product as named", {"notes.txt", "-o", "page"}, here, "", 0, "", "",
         {{"page", otherPage.c_str()}, {"page.htm", nullptr}}},
        {"the product lies beside its source, not at the stored product", {"notes.txt"},
         "[Template]\r\nDirectory=.\r\n[Files]\r\nProduct=stored.htm\r\n", "", 0, "", "",
         {{"notes.htm", otherPage.c_str()}, {"stored.htm", nullptr}}},
        {"no SOURCE repeats the window program's last conversion", {},
         "[Template]\r\nDirectory=.\r\n[Files]\r\nSource=notes.txt\r\nProduct=last\r\n", "", 0, "", "",
         {{"last.htm", otherPage.c_str()}, {"notes.htm", nullptr}}},
        {"no SOURCE and none stored is a usage error", {}, here, "", 2, "",
         "pagesmith-cli: no SOURCE given, and the settings file {settings} holds no last source\n{usage}"},
        {"a failed source does not stop the others, and leaves no page", {"absent.txt", "notes.txt"}, here, "", 1, "",
         "pagesmith: Source not found: absent.txt ({missing})\n",
         {{"notes.htm", otherPage.c_str()}, {"absent.htm", nullptr}}},
        {"a failed run leaves the old product as it was", {"-t", "Absent", "notes.txt", "-o", "old.htm"}, here, "", 1,
         "", "pagesmith: Cannot read template file: .{/}Absent.tpl.txt ({missing})\n", {{"old.htm", "old page"}}},
        {"a batch writes nothing over one of its sources", {"y", "more.txt", "y.htm"}, here, "", 1, "",
         "pagesmith: Product file must differ from source and template: y.htm\n"
         "pagesmith: Product file must differ from source and template: y.htm\n",
         {{"y.htm", "keep"}, {"more.htm", "\xEF\xBB\xBF<p>x<br>\r\n</p>"}}},
        {"-o DIR puts each page into the folder", {"notes.txt", "more.txt", "-o", "out"}, here, "", 0, "", "",
         {{"out/notes.htm", otherPage.c_str()}, {"out/more.htm", "\xEF\xBB\xBF<p>x<br>\r\n</p>"}}},
        {"-o names an existing folder for one source too", {"notes.txt", "-o", "out"}, here, "", 0, "", "",
         {{"out/notes.htm", otherPage.c_str()}}},
        {"several sources need a folder", {"notes.txt", "more.txt", "-o", "page.htm"}, here, "", 2, "",
         "pagesmith-cli: with several sources, -o names a folder, and there is none: page.htm\n{usage}"},
        {"several sources and -o naming a file", {"notes.txt", "more.txt", "-o", "notes.md"}, here, "", 2, "",
         "pagesmith-cli: with several sources, -o names a folder, and notes.md is a file\n{usage}"},
        {"a pattern that matches nothing says so", {"zz*.txt", "notes.txt"}, here, "", 1, "",
         "pagesmith: Source not found: zz*.txt (no file matches the pattern)\n", {{"notes.htm", otherPage.c_str()}},
         nullptr, WindowsOnly},
        {"wildcards are expanded on Windows", {"n*.t?t", "-o", "out"}, here, "", 0, "", "",
         {{"out/notes.htm", otherPage.c_str()}, {"out/more.htm", nullptr}}, nullptr, WindowsOnly},
        {"wildcards are the shell's on POSIX", {"n*.t?t"}, here, "", 1, "",
         "pagesmith: Source not found: n*.t?t ({missing})\n", {}, nullptr, PosixOnly},
        {"a missing --settings file is a usage error", {"--settings", "none.ini", "notes.txt"}, here, "", 2, "",
         "pagesmith-cli: cannot read the settings file none.ini ({missing})\n{usage}", {{"notes.htm", nullptr}}},
        {"control characters in names are shown escaped", {"--settings", "a\x1b[2Jb.ini", "notes.txt"}, here, "", 2, "",
         "pagesmith-cli: cannot read the settings file a\\x1b[2Jb.ini ({missing})\n{usage}", {}, nullptr, PosixOnly},
        {"a settings file must be a regular file", {"--settings", nullDevice, "notes.txt"}, here, "", 2, "",
         "pagesmith-cli: cannot read the settings file " + nullDevice + " (not a regular file)\n{usage}",
         {{"notes.htm", nullptr}}},
        {"a template that is a pipe is refused before anything is made",
         {"--template-dir", "\\\\.\\pipe", "-t", "x", "notes.txt"}, here, "", 1, "",
         "pagesmith: Cannot read template file: \\\\.\\pipe\\x.tpl.txt (not a regular file)\n", {{"notes.htm", nullptr}},
         nullptr, WindowsOnly},
        {"a closed standard input is no source", {"-"}, here, "", 1, "",
         "pagesmith: Source not found: standard input ({closed})\n", {}, nullptr, Both, 0},
        {"a closed standard error never lands in the product",
         {"--template-dir", "t", "-t", "nomark", "notes.txt", "-o", "nm.htm"}, here, "", 1, "", "",
         {{"nm.htm", nullptr}}, nullptr, PosixOnly, 2},
        {"the system's reason for a folder that refuses a new file", {"notes.txt", "-o", "/sys/x.htm"}, here, "", 1, "",
         "pagesmith: Cannot make product file: /sys/x.htm (Permission denied)\n", {}, nullptr, PosixOnly},
        {"the default settings file may be missing", {"--template-dir", ".", "notes.txt"}, nullptr, "", 0, "", "",
         {{"notes.htm", otherPage.c_str()}}},
        {"the last template, in the list's spelling", {"notes.txt"}, "[Template]\r\nDirectory=.\r\nLast=standard\r\n",
         "", 0, "", "", {{"notes.htm", standardPage.c_str()}}},
        {"a last template no longer listed gives the first", {"notes.txt"},
         "[Template]\r\nDirectory=.\r\nLast=Gone\r\n", "", 0, "", "", {{"notes.htm", otherPage.c_str()}}},
        {"--template matches regardless of case", {"-t", "STANDARD", "notes.txt"}, here, "", 0, "", "",
         {{"notes.htm", standardPage.c_str()}}},
        {"a named template that is not listed fails the run", {"-t", "Absent", "notes.txt"}, here, "", 1, "",
         "pagesmith: Cannot read template file: .{/}Absent.tpl.txt ({missing})\n", {{"notes.htm", nullptr}}},
        {"a template without the marker", {"--template-dir", "t", "-t", "nomark", "notes.txt"}, here, "", 1, "",
         "pagesmith: '[...]' not found in template: t{/}nomark.tpl.txt\n", {{"notes.htm", nullptr}}},
        {"--list-templates in the window's order", {"--list-templates", "--template-dir", "list"}, here, "", 0,
         "_x\nA\nb\nc\n", ""},
        {"--list-templates of a missing folder fails with the reason",
         {"--list-templates", "--template-dir", "absent"}, here, "", 1, "",
         "pagesmith: Cannot list the templates: absent{/} ({missing})\n"},
        {"a source without a mark reads as ANSI by default", {"u8.txt"}, here, "", 0, "", "",
         {{"u8.htm", "\xEF\xBB\xBF<p>caf\xC3\x83\xC2\xA9<br>\r\n</p>"}}},
        {"--encoding utf-8 reads it as UTF-8", {"--encoding", "utf-8", "u8.txt"}, here, "", 0, "", "",
         {{"u8.htm", "\xEF\xBB\xBF<p>caf\xC3\xA9<br>\r\n</p>"}}},
        {"--encoding UTF-16LE reads source and template without a mark",
         {"--encoding", "UTF-16LE", "--template-dir", "t", "-t", "u16", "-"}, here, std::string("x\0\r\0\n\0", 6), 0,
         page("<i>x<br>\r\n</i>"), ""},
        {"an unknown encoding is a usage error", {"--encoding", "latin1", "notes.txt"}, here, "", 2, "",
         "pagesmith-cli: --encoding: latin1 not in {ansi,utf-8,utf-16le,utf-16be}\n{usage}"},
        {"--date is the day of the date tags", {"--date", "2024-02-29", "dated.txt"}, here, "", 0, "", "",
         {{"dated.htm", "\xEF\xBB\xBF<p>2024-02-29\r\n</p>"}}, "86400"},
        {"SOURCE_DATE_EPOCH is the day without --date", {"dated.txt"}, here, "", 0, "", "",
         {{"dated.htm", "\xEF\xBB\xBF<p>1970-01-02\r\n</p>"}}, "86400"},
        {"--date must name a real day", {"--date", "2023-02-29", "dated.txt"}, here, "", 2, "",
         "pagesmith-cli: --date 2023-02-29 is not a day\n{usage}", {{"dated.htm", nullptr}}},
        {"--date before the first day", {"--date", "1600-12-31", "dated.txt"}, here, "", 2, "",
         "pagesmith-cli: --date 1600-12-31 is before 1601-01-01, the first day the date tags can print\n{usage}"},
        {"numbers are decimal only", {"--title-range", "0x3", "notes.txt"}, here, "", 2, "",
         "pagesmith-cli: --title-range wants a decimal number: 0x3\n{usage}", {{"notes.htm", nullptr}}},
        {"an empty --template-dir is a usage error", {"--template-dir", "", "notes.txt"}, here, "", 2, "",
         "pagesmith-cli: the template folder name is empty\n{usage}"},
        {"an empty --settings is a usage error", {"--settings", "", "notes.txt"}, here, "", 2, "",
         "pagesmith-cli: the settings file name is empty\n{usage}"},
        {"a template is named, not pathed", {"-t", "../outside/Evil", "notes.txt"}, here, "", 2, "",
         "pagesmith-cli: a template is named, not pathed; use --template-dir: ../outside/Evil\n{usage}",
         {{"notes.htm", nullptr}}},
        {"-v says what was written", {"-v", "notes.txt"}, here, "", 0, "",
         "pagesmith: wrote notes.htm: 2 pages, 88 bytes, {s} s\n"},
        {"-q and -v exclude each other", {"-q", "-v", "notes.txt"}, here, "", 2, "",
         "pagesmith-cli: --quiet excludes --verbose\n{usage}"},
        {"two sources that make one product are warned of", {"notes.txt", "notes.md"}, here, "", 0, "",
         "pagesmith: warning: notes.txt and notes.md both make notes.htm; the later one stays\n",
         {{"notes.htm", "\xEF\xBB\xBF<p>md<br>\r\n</p>"}}},
        {"-q keeps warnings back", {"-q", "notes.txt", "notes.md"}, here, "", 0, "", ""},
        {"the product must differ from the source", {"notes.txt", "-o", "notes.txt"}, here, "", 1, "",
         "pagesmith: Product file must differ from source and template: notes.txt\n"},
        {"the product must differ from the settings file", {"--settings", "more.txt", "notes.txt", "-o", "more.txt"},
         here, "", 1, "", "pagesmith: Product file must differ from the settings file: more.txt\n",
         {{"more.txt", "x"}}},
        {"the settings give the defaults", {"-t", "Standard", "notes.txt"}, dated.c_str(), "", 0, "", "",
         {{"notes.htm", "\xEF\xBB\xBF<title>Stored</title>\r\n<body><ul><li><h1>A</h1>\r\ntext<br>\r\n"
                        "<ul><li><h2>B</h2>\r\n</li></ul></li></ul></body>"}}},
        {"options override the settings",
         {"--title=Given", "--title-range", "0", "--separator", "-t", "Standard", "notes.txt"}, dated.c_str(), "", 0,
         "", "",
         {{"notes.htm", "\xEF\xBB\xBF<title>Given</title>\r\n<body><ul><li><b>A</b><br>\r\ntext<br>\r\n"
                        "<hr><br><ul><li><b>B</b><br>\r\n</li></ul></li></ul></body>"}}},
        {"symbols and named entities come from the settings",
         {"--template-dir", "t", "-t", "curly", "curly.txt"},
         "\xEF\xBB\xBF[Settings]\r\nTagStartSymbol={\r\nTagEndSymbol=}\r\nlevelSymbol=#\r\n[Named]\r\ngt=0\r\nquot=0\r\n",
         "", 0, "", "",
         {{"curly.htm", "\xEF\xBB\xBF<p><ul><li><h1>T</h1>\r\n[b] <i>a&lt;b>\"c\"</i><br>\r\n<.x>\r\n</li></ul></p>"
                        "<i>[...]</i>\r\n"}}},
        {"-- ends the options", {"--", "-odd.txt"}, here, "", 0, "", "", {{"-odd.htm", "\xEF\xBB\xBF<p>odd<br>\r\n</p>"}}},
        {"each source converts as a fresh program would",
         {"--template-dir", "t", "-t", "open", "notes.txt", "again.txt", "-o", "out"}, here, "", 0, "", "",
         {{"out/notes.htm", openPage.c_str()}, {"out/again.htm", openPage.c_str()}}},
        {"names beyond ASCII pass the program's edge whole", {"-v", "caf\xC3\xA9.txt"}, here, "", 0, "",
         "pagesmith: wrote caf\xC3\xA9.htm: 0 pages, 19 bytes, {s} s\n",
         {{"caf\xC3\xA9.htm", "\xEF\xBB\xBF<p>x\xC3\xA9<br>\r\n</p>"}}},
        {"--watch with a refused product ends at once", {"-w", "notes.txt", "-o", "notes.txt"}, here, "", 1, "",
         "pagesmith: Product file must differ from source and template: notes.txt\n"},
        {"--watch with a product it may not write ends at once", {"-w", "notes.txt", "-o", unwritableProduct}, here, "",
         1, "", "pagesmith: Cannot make product file: " + unwritableProduct + " ({denied})\n"},
        {"--watch needs files", {"-w", "-"}, here, "", 2, "",
         "pagesmith-cli: --watch needs files: standard input and output cannot be watched\n{usage}"},
    };
    for (const Row& row : rows) {
        if ((row.platforms == PosixOnly && onWindows) || (row.platforms == WindowsOnly && !onWindows)) continue;
        SCOPED_TRACE(row.behaviour);
        Work work;
        if (row.settings) writeBytes(program().settings, row.settings);
        else fs::remove(fs::path(program().settings));
        setEnvironmentVariable("SOURCE_DATE_EPOCH", row.environment ? row.environment : "");
        ChildHandle child = startChild(program().path, row.arguments, work.dir.directory(), false, row.closedStream);
        ASSERT_TRUE(child);
        const ChildResult result = finishChild(*child, row.input);
        setEnvironmentVariable("SOURCE_DATE_EPOCH", "");

        EXPECT_EQ(result.status, row.status);
        EXPECT_EQ(escapeBytes(result.standardOutput), escapeBytes(row.output));
        const std::string error = expand(row.error);
        EXPECT_TRUE(matchesWithSeconds(error, result.standardError))
            << "expected: " << escapeBytes(error) << "\n     got: " << escapeBytes(result.standardError);
        for (const auto& file : row.files) {
            const std::u16string path = work.path(file.first);
            if (!file.second) {
                EXPECT_FALSE(fileExists(path)) << file.first;
            } else {
                EXPECT_EQ(escapeBytes(readBytes(path)), escapeBytes(file.second)) << file.first;
            }
        }
        for (const auto& entry : fs::directory_iterator(fs::path(work.dir.directory())))
            EXPECT_EQ(entry.path().filename().u8string().find(".pagesmith-"), std::string::npos) << "left behind";
        // The settings file is only ever read.
        if (row.settings) EXPECT_EQ(readBytes(program().settings), row.settings);
        else EXPECT_FALSE(fileExists(program().settings));
    }
}

// Waits up to ten seconds for `path` to hold `bytes`.
bool waitForBytes(const std::u16string& path, const std::string& bytes) {
    for (int i = 0; i < 500; ++i) {
        if (readBytes(path) == bytes) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TEST(CommandLine, WatchRebuildsOnChangeAndEndsOnInterrupt) {
    Work work;
    fs::remove(fs::path(program().settings));
    ChildHandle child = startChild(program().path, {"-w", "-v", "--template-dir", ".", "notes.txt"},
                                   work.dir.directory(), true);
    ASSERT_TRUE(child);
    const std::u16string product = work.path("notes.htm");
    ASSERT_TRUE(waitForBytes(product, otherPage)) << "first build, waited 10 s: " << escapeBytes(readBytes(product));
    writeBytes(work.path("notes.txt"), "[.Changed]\r\n");
    const std::string changed = page("<p><ul><li><h1>Changed</h1>\r\n</li></ul></p>");
    EXPECT_TRUE(waitForBytes(product, changed)) << "rebuild, waited 10 s: " << escapeBytes(readBytes(product));
    writeBytes(work.path("Other.tpl.txt"), "<div>[...]</div>");
    EXPECT_TRUE(waitForBytes(product, page("<div><ul><li><h1>Changed</h1>\r\n</li></ul></div>")))
        << "rebuild after the template changed, waited 10 s: " << escapeBytes(readBytes(product));

    ASSERT_TRUE(interruptChild(*child));
    const ChildResult result = finishChild(*child);
    EXPECT_EQ(result.status, 0);
    EXPECT_TRUE(matchesWithSeconds("pagesmith: watching; Ctrl+C ends\n"
                                   "pagesmith: wrote notes.htm: 2 pages, 88 bytes, {s} s\n"
                                   "pagesmith: wrote notes.htm: 1 page, 46 bytes, {s} s\n"
                                   "pagesmith: wrote notes.htm: 1 page, 50 bytes, {s} s\n",
                                   result.standardError))
        << escapeBytes(result.standardError);
    for (const auto& entry : fs::directory_iterator(fs::path(work.dir.directory())))
        EXPECT_EQ(entry.path().filename().u8string().find(".pagesmith-"), std::string::npos) << "left behind";
}

#ifndef _WIN32
// A FIFO put in a watched source's place is skipped and its page kept: the
// other source is still rebuilt after it, and SIGTERM still ends the watch.
TEST(CommandLine, WatchSkipsASourceThatBecomesAFifo) {
    Work work;
    fs::remove(fs::path(program().settings));
    ChildHandle child = startChild(program().path, {"-w", "--template-dir", ".", "notes.txt", "more.txt"},
                                   work.dir.directory(), true);
    ASSERT_TRUE(child && waitForBytes(work.path("more.htm"), page("<p>x<br>\r\n</p>")));
    fs::remove(fs::path(work.path("notes.txt")));
    ASSERT_EQ(mkfifo(work.dir.nativePath("notes.txt").c_str(), 0600), 0);
    writeBytes(work.path("more.txt"), "y");
    ASSERT_TRUE(waitForBytes(work.path("more.htm"), page("<p>y<br>\r\n</p>"))) << "blocked on the FIFO";
    ASSERT_TRUE(interruptChild(*child));
    const ChildResult result = finishChild(*child);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.standardError, "pagesmith: Cannot read source file: notes.txt (not a regular file)\n");
    EXPECT_EQ(readBytes(work.path("notes.htm")), otherPage);
}
#endif

#ifdef _WIN32
// A named pipe that a run reads from: its writer connects once the run has
// opened it, for at most ten seconds, and then goes. The page goes to
// standard output, as a pipe has no folder.
struct TestPipe {
    std::string name = "\\\\.\\pipe\\pagesmith-test-" + std::to_string(GetCurrentProcessId());
    HANDLE pipe = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 4096,
                                   4096, 0, nullptr);
    explicit TestPipe(const Work&) {}
    bool write(const std::string& bytes) {
        for (int i = 0; i < 500 && !ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        DWORD put = 0;
        const bool written = WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
        CloseHandle(pipe);
        return written && put == bytes.size();
    }
};
#else
// A FIFO in the row's folder; its writer connects once a run waits on it, for
// at most ten seconds, and then goes.
struct TestPipe {
    std::string name = "pipe.txt";
    std::string path;
    explicit TestPipe(const Work& work) : path(work.dir.nativePath("pipe.txt")) { mkfifo(path.c_str(), 0600); }
    bool write(const std::string& bytes) {
        int fd = -1;
        for (int i = 0; i < 500 && (fd = open(path.c_str(), O_WRONLY | O_NONBLOCK)) < 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const bool put = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        if (fd >= 0) close(fd);
        return put;
    }
};
#endif

// A pipe named as a source is read as standard input is; a FIFO template is
// refused; a run waiting for a FIFO's writer ends on SIGTERM with nothing made.
TEST(CommandLine, PipesAndFifos) {
    Work work;
    fs::remove(fs::path(program().settings));
    TestPipe pipe(work);
    ChildHandle child = startChild(program().path, {"--template-dir", ".", pipe.name}, work.dir.directory());
    ASSERT_TRUE(child);
    EXPECT_TRUE(pipe.write("[.A]\r\n"));
    ChildResult result = finishChild(*child);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(escapeBytes(onWindows ? result.standardOutput : readBytes(work.path("pipe.htm"))),
              escapeBytes(page("<p><ul><li><h1>A</h1>\r\n</li></ul></p>")));
#ifndef _WIN32
    mkfifo(work.dir.nativePath("fifo.tpl.txt").c_str(), 0600);
    child = startChild(program().path, {"--template-dir", ".", "-t", "fifo", "notes.txt"}, work.dir.directory());
    result = finishChild(*child);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.standardError, "pagesmith: Cannot read template file: ./fifo.tpl.txt (not a regular file)\n");
    EXPECT_FALSE(fileExists(work.path("notes.htm")));

    fs::remove(fs::path(work.path("fifo.tpl.txt")));
    fs::remove(fs::path(work.path("pipe.htm")));
    const auto entries = [&] { return std::distance(fs::directory_iterator(work.dir.root), {}); };
    const auto before = entries();
    child = startChild(program().path, {"--template-dir", ".", pipe.name}, work.dir.directory());
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // Should the signal not end the wait, a writer ends it after ten seconds.
    std::atomic<bool> ended{false};
    std::thread rescue([&] {
        for (int i = 0; i < 500 && !ended; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!ended) pipe.write("");
    });
    EXPECT_TRUE(interruptChild(*child));
    result = finishChild(*child);
    ended = true;
    rescue.join();
    EXPECT_EQ(result.status, -1) << "ended by the signal";
    EXPECT_EQ(entries(), before) << "a file was left";
#endif
}

// The manual page and --help name the same options.
TEST(CommandLine, ManualPageAgreesWithHelp) {
    auto optionNames = [](std::string text) {
        // The manual writes a hyphen as "\-".
        for (std::size_t at; (at = text.find("\\-")) != std::string::npos;) text.erase(at, 1);
        std::vector<std::string> names;
        for (std::size_t at = 0; (at = text.find("--", at)) != std::string::npos;) {
            std::size_t end = at + 2;
            while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-'))
                ++end;
            const std::string name = text.substr(at, end - at);
            if (name.size() > 2 && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
            at = end;
        }
        std::sort(names.begin(), names.end());
        return names;
    };
    const std::string manual = readBytes(u16(PAGESMITH_SOURCE_DIR "/docs/pagesmith-cli.1.in"));
    ASSERT_FALSE(manual.empty());
    EXPECT_EQ(optionNames(manual), optionNames(cliHelpText));
}

}  // namespace
