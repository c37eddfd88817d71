// The command line as scripts use it, for pages: the rows of cli_rows.h,
// and the runs that watch, wait and take pipes. (A site's rows are in
// cli_site_test.cpp.)
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
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#endif

#include "cli/cli_options.h"
#include "tests/child_process.h"
#include "tests/cli_rows.h"
#include "tests/test_support.h"
#include "toolkit/fs/paths.h"
#include "toolkit/fs/product_lock.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file.h"

namespace {

namespace fs = std::filesystem;

using namespace cli_rows;

#ifdef _WIN32
const std::string nullDevice = "NUL";
const std::string unwritableProduct = "ro.htm";  // read-only in each row's folder
const std::string unwritableReason = "{denied}";
#else
const std::string nullDevice = "/dev/null";
const std::string unwritableProduct = "/sys/x.htm";  // refused to root too
const std::string unwritableReason = "{denied}: the folder cannot take a new file";
#endif

const std::string otherNotes =
    "<p><ul><li><h1>A</h1>\r\ntext<br>\r\n<hr><br><ul><li><h1>B</h1>\r\n</li></ul></li></ul></p>";
const std::string standardNotes = "<title>T</title>\r\n<body><ul><li><h1>A</h1>\r\ntext<br>\r\n<hr><br>"
                                  "<ul><li><h1>B</h1>\r\n</li></ul></li></ul></body>";

#ifndef _WIN32
// A 200 KB disk of the row's own at "disk", holding "p.htm" with a second
// link "q.htm", with room for the 61 KB page of "big.txt" once, not twice.
bool fullDisk(const Work& work) {
    fs::create_directory(fs::path(work.dir.nativePath("disk")));
    if (mount("tmpfs", work.dir.nativePath("disk").c_str(), "tmpfs", 0, "size=200k") != 0) {
        std::printf("skipped: a full disk needs a tmpfs, which cannot be mounted here (%s)\n", std::strerror(errno));
        return false;
    }
    writeBytes(work.path("disk/p.htm"), "old page");
    fs::create_hard_link(fs::path(work.dir.nativePath("disk/p.htm")), fs::path(work.dir.nativePath("disk/q.htm")));
    writeBytes(work.path("disk/fill"), std::string(100000, 'f'));
    writeBytes(work.path("big.txt"), "[.A]\r\n" + std::string(61000, 'x'));
    return true;
}
#endif

const std::string otherPage = page(otherNotes);
const std::string standardPage = page(standardNotes);
const std::string openPage = page("<ul><li><h1>A</h1>\r\ntext<br>\r\n<hr><br><ul><li><h1>B</h1>\r\n</li></ul></li></ul>"
                                  "<ul><li><h1>Left open</h1>\r\n");

// Pages written through a stream into a file, with what the shell wrote there.
const std::string framedPage = "header\n" + otherPage + "trailer\n";
const std::string appendedPage = "old" + otherPage;
TEST(CommandLine, Invocations) {
    const std::string longName = std::string(251, 'a') + ".htm";
    const std::string dated = "[Template]\r\nDirectory=.\r\n[Settings]\r\nTitleRange=2\r\nPageSeparator=0\r\n"
                              "BrowserTitle=Stored\r\n";
    const std::vector<Row> rows = {
        {"-h is help, not a source", {"-h"}, here, "", 0, cliHelpText, "", {{"-h.htm", nullptr}}},
        {"-V is the version", {"-V"}, here, "", 0, "pagesmith-cli " PAGESMITH_PROJECT_VERSION "\n", ""},
        {"an unknown option is a usage error", {"--bogus", "notes.txt"}, here, "", 2, "",
         "pagesmith-cli: Unknown option: --bogus (see --help)\n{usage}", {{"notes.htm", nullptr}}},
        {"an option given twice is a usage error", {"--date", "2024-01-01", "--date", "2024-01-02", "dated.txt"},
         here, "", 2, "", "pagesmith-cli: --date given twice\n{usage}", {{"dated.htm", nullptr}}},
        {"an empty template name is a usage error", {"-t", "", "notes.txt"}, here, "", 2, "",
         "pagesmith-cli: the template name is empty\n{usage}", {{"notes.htm", nullptr}}},
        {"an empty template folder says so", {"--template-dir", "out", "notes.txt"}, here, "", 1, "",
         "pagesmith: No template in out{/}\n", {{"notes.htm", nullptr}}},
        {"--list-templates of an empty folder says so", {"--list-templates", "--template-dir", "out"}, here, "", 1,
         "", "pagesmith: No template in out{/}\n"},
        {"a template folder that cannot be listed gives the system's reason",
         {"--template-dir", "notes.md", "notes.txt"}, here, "", 1, "",
         "pagesmith: Cannot list the templates: notes.md/ (Not a directory)\n", {{"notes.htm", nullptr}}, nullptr,
         PosixOnly},
        {"a binary source is no text, and nothing is written", {"img.png"}, here, "", 1, "",
         "pagesmith: Source is not a text file: img.png\n", {{"img.htm", nullptr}}},
        {"a binary source writes nothing to standard output", {"-"}, here,
         std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x06\0\0\0\x1f\xf3\xff", 32), 1, "",
         "pagesmith: Source is not a text file: standard input\n"},
        {"a name that is not UTF-8 is the file it names, and names its product", {"-v", "x\xE9.txt"}, here, "", 0, "",
         "pagesmith: wrote x\\xe9.htm: 1 page, 44 bytes, {s} s\n",
         {{"x\xE9.htm", "\xEF\xBB\xBF<p><ul><li><h1>Latin</h1>\r\n</li></ul></p>"}, {"x\xEF\xBF\xBD.htm", nullptr}},
         nullptr, PosixOnly},
        {"-o keeps the bytes of a name that is not UTF-8", {"x\xE9.txt", "-o", "out\xE9.htm"}, here, "", 0, "", "",
         {{"out\xE9.htm", "\xEF\xBB\xBF<p><ul><li><h1>Latin</h1>\r\n</li></ul></p>"}, {"out\xEF\xBF\xBD.htm", nullptr}},
         nullptr, PosixOnly},
        {"- reads standard input and writes standard output", {"-"}, here, "[.A]\r\n", 0,
         page("<p><ul><li><h1>A</h1>\r\n</li></ul></p>"), ""},
        {"standard input keeps the byte-order-mark rules", {"-"}, here, std::string("\xFF\xFE\xE9\0", 4), 0,
         page("<p>\xC3\xA9<br>\r\n</p>"), ""},
        {"-o - writes a file's page to standard output", {"notes.txt", "-o", "-"}, here, "", 0, otherPage, "",
         {{"notes.htm", nullptr}}},
        {"-o /dev/stdout is written as it is named", {"notes.txt", "-o", "/dev/stdout"}, here, "", 0, otherPage, "",
         {{"notes.htm", nullptr}}, nullptr, PosixOnly},
        {"a page through /dev/stdout lands between what the shell writes there",
         {"|sh", "{ echo header; \"$0\" notes.txt -o /dev/stdout; echo trailer; } >out.htm"}, here, "", 0, "", "",
         {{"out.htm", framedPage.c_str()}}, nullptr, PosixOnly},
        {"a link to /dev/stdout names the stream too",
         {"|sh", "ln -s /dev/stdout link.htm; { echo header; \"$0\" notes.txt -o link.htm; echo trailer; } >out.htm"},
         here, "", 0, "", "", {{"out.htm", framedPage.c_str()}}, nullptr, PosixOnly},
        {"/dev/stdout opened with >> is appended to",
         {"|sh", "printf old >out.htm; \"$0\" notes.txt -o /dev/stdout >>out.htm"}, here, "", 0, "", "",
         {{"out.htm", appendedPage.c_str()}}, nullptr, PosixOnly},
        {"-o /dev/fd/N writes through descriptor N, and -v counts what it wrote",
         {"|sh", "printf old >a.txt; \"$0\" -v notes.txt -o /dev/fd/7 7>>a.txt"}, here, "", 0, "",
         "pagesmith: wrote /dev/fd/7: 2 pages, 88 bytes, {s} s\n", {{"a.txt", appendedPage.c_str()}}, nullptr,
         PosixOnly},
        {"-v counts the bytes written to standard output", {"-v", "notes.txt", "-o", "-"}, here, "", 0, otherPage,
         "pagesmith: wrote standard output: 2 pages, 88 bytes, {s} s\n"},
        {"-o - writes nothing when the source is missing", {"nosuch.txt", "-o", "-"}, here, "", 1, "",
         "pagesmith: Source not found: nosuch.txt ({missing})\n"},
        {"-o - writes nothing when the template is missing", {"-t", "Absent", "notes.txt", "-o", "-"}, here, "", 1, "",
         "pagesmith: Cannot read template file: .{/}Absent.tpl.txt ({missing})\n"},
        {"-o - writes nothing when the template lacks the marker",
         {"--template-dir", "t", "-t", "nomark", "notes.txt", "-o", "-"}, here, "", 1, "",
         "pagesmith: '[...]' not found in template: t{/}nomark.tpl.txt\n"},
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
        {"the folder named as the cause when it refuses a new file", {"notes.txt", "-o", "/sys/x.htm"}, here, "", 1, "",
         "pagesmith: Cannot make product file: /sys/x.htm (Permission denied: the folder cannot take a new file)\n", {},
         nullptr, PosixOnly},
#ifndef _WIN32
        {"a hard-linked product on a full disk keeps its old page in every link", {"big.txt", "-o", "disk/p.htm"},
         here, "", 1, "", "pagesmith: Cannot make product file: disk/p.htm (No space left on device)\n",
         {{"disk/p.htm", "old page"}, {"disk/q.htm", "old page"}}, nullptr, PosixOnly, -1, nullptr,
         ProductLockKind::Writing, fullDisk},
#endif
        {"a product name as long as the folder takes", {"notes.txt", "-o", longName}, here, "", 0, "", "",
         {{longName, otherPage.c_str()}}},
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
        {"--encoding UTF-16LE reads the source only: a template without a mark is ANSI",
         {"--encoding", "UTF-16LE", "-"}, here, std::string("x\0\r\0\n\0", 6), 0, page("<p>x<br>\r\n</p>"), ""},
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
         1, "", "pagesmith: Cannot make product file: " + unwritableProduct + " (" + unwritableReason + ")\n"},
        {"--watch needs files", {"-w", "-"}, here, "", 2, "",
         "pagesmith-cli: --watch needs files: standard input and output cannot be watched\n{usage}"},
        {"a run that another holds off reads nothing and makes nothing", {"absent.txt", "-o", "new.htm"}, here, "",
         1, "", "pagesmith: Cannot make product file: new.htm ({busy})\n", {{"new.htm", nullptr}}, nullptr, Both, -1,
         "new.htm"},
        {"a second watcher of a product refuses to start", {"-w", "notes.txt"}, here, "", 1, "",
         "pagesmith: notes.htm: already watched by another process\n", {{"notes.htm", nullptr}}, nullptr, Both, -1,
         "notes.htm", ProductLockKind::Watching},
    };
    runRows(rows);
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

// A watcher that meets another writer's lock waits for it, then writes the
// source as it is then: the edit made while it waited is not lost.
TEST(CommandLine, WatchWaitsForTheLockThenWritesTheSourceAsItIsThen) {
    Work work;
    fs::remove(fs::path(program().settings));
    const std::u16string product = work.path("old.htm");
    ProductLock lock;
    ASSERT_TRUE(lockProduct(product, ProductLockKind::Writing, lock));
    const FileId writer = text_file::openReadWrite(product);
    ChildHandle child = startChild(program().path, {"-w", "-v", "--template-dir", ".", "notes.txt", "-o", "old.htm"},
                                   work.dir.directory(), true);
    ASSERT_TRUE(child);
    std::string line;
    ASSERT_TRUE(readChildErrorLine(*child, line) && readChildErrorLine(*child, line));
    EXPECT_EQ(line, "pagesmith: waiting: old.htm is in use by another process\n");
    writeBytes(work.path("notes.txt"), "[.Changed]\r\n");
    text_file::close(writer);
    unlockProduct(lock);
    const std::string changed = page("<p><ul><li><h1>Changed</h1>\r\n</li></ul></p>");
    EXPECT_TRUE(waitForBytes(product, changed)) << "after the lock, waited 10 s: " << escapeBytes(readBytes(product));
    ASSERT_TRUE(readChildErrorLine(*child, line));
    EXPECT_TRUE(matchesWithSeconds("pagesmith: wrote old.htm: 1 page, 46 bytes, {s} s\n", line)) << escapeBytes(line);
}

#ifndef _WIN32
// Relative names of the source, the template folder and the product work in
// a working folder deeper than PATH_MAX (which bash reaches step by step).
TEST(CommandLine, RelativeNamesInAWorkingFolderDeeperThanPathMax) {
    Work work;
    fs::remove(fs::path(program().settings));
    const std::string step(250, 'd');
    const std::string script = "top=$PWD; for i in $(seq 20); do mkdir " + step + " && cd " + step +
                               " || exit 9; done; printf '[.A]\\r\\n' >s.txt; printf '<p>[...]</p>' >Other.tpl.txt; "
                               "\"$0\" --template-dir . -t Other s.txt -o p; status=$?; cat p; cd \"$top\"; rm -rf " +
                               step + "; exit $status";
    ChildHandle child = startChild(u"/bin/bash", {"-c", script, utf8FromText(program().path)}, work.dir.directory());
    ASSERT_TRUE(child);
    const ChildResult result = finishChild(*child);
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(escapeBytes(result.standardOutput), escapeBytes(page("<p><ul><li><h1>A</h1>\r\n</li></ul></p>")));
}

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
#ifdef _WIN32
    // A pipe named as the product is written through, with one connection,
    // as standard output is; its reader stops after ten seconds.
    const std::string productPipe = pipe.name + "-product";
    HANDLE server = CreateNamedPipeA(productPipe.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_NOWAIT, 1,
                                     4096, 4096, 0, nullptr);
    child = startChild(program().path, {"--template-dir", ".", "notes.txt", "-o", productPipe}, work.dir.directory());
    std::string received;
    bool connected = false;
    for (int i = 0; i < 500; ++i) {
        char buffer[4096];
        DWORD got = 0;
        // A client that came and went already (ERROR_NO_DATA) left its bytes.
        connected = connected || ConnectNamedPipe(server, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED ||
                    GetLastError() == ERROR_NO_DATA;
        if (connected && ReadFile(server, buffer, sizeof buffer, &got, nullptr)) received.append(buffer, got);
        else if (connected && GetLastError() == ERROR_BROKEN_PIPE) break;
        else std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    CloseHandle(server);
    result = finishChild(*child);
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(escapeBytes(received), escapeBytes(otherPage));
#endif
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
