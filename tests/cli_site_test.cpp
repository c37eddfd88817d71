// The command line's sites, as scripts use them: the rows of cli_rows.h for
// a site's folder and zip, and the runs that watch and wait for the lock or
// are interrupted.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/child_process.h"
#include "tests/cli_rows.h"
#include "tests/test_support.h"
#include "toolkit/fs/product_lock.h"
#include "toolkit/text/strings.h"

namespace {

namespace fs = std::filesystem;
using namespace cli_rows;

// The site of notes.txt through Other: index.htm, the top-level page, and
// the second-level page of --split-level 2.
const std::string siteIndex = page(
    "<p><!--notes--><!--/notes-->"
    "<h1>Contents</h1>\r\n<ul class=\"pagesmith-contents\"><li><b><a href=\"0001-a.htm\">A</a></b><br>\r\n"
    "<ul><li><b><a href=\"0001-a.htm#p2\">B</a></b><br></li></ul></li></ul>\r\n\r\n<nav class=\"pagesmith-site\" "
    "aria-label=\"Previous and next\"><a href=\"0001-a.htm\" rel=\"next\" accesskey=\"n\">Next: A</a></nav>\r\n</p>");
const std::string sitePageA = page(
    "<p>\r\n<nav class=\"pagesmith-site\" aria-label=\"Path\"><a href=\"index.htm\" accesskey=\"h\">Contents</a><br>"
    "<a href=\"index.htm\" rel=\"prev\" accesskey=\"p\">Previous: Contents</a> | <a href=\"index.htm\" rel=\"up\" "
    "accesskey=\"u\">Up: Contents</a></nav>\r\n<!--notes--><ul><li><h1>A</h1>\r\ntext<br>\r\n<hr><br><ul><li>"
    "<h1><!--/notes--><span id=\"p2\"></span><!--notes-->B</h1>\r\n</li></ul></li></ul><!--/notes-->\r\n"
    "<nav class=\"pagesmith-site\" aria-label=\"Previous and next\"><a href=\"index.htm\" rel=\"prev\">Previous: Contents</a> | "
    "<a href=\"index.htm\" rel=\"up\">Up: Contents</a></nav>\r\n</p>");
const std::string sitePageB = page(
    "<p>\r\n<nav class=\"pagesmith-site\" aria-label=\"Path\"><a href=\"index.htm\" accesskey=\"h\">Contents</a> "
    "&rsaquo; <a href=\"0001-a.htm\">A</a><br><a href=\"0001-a.htm\" rel=\"prev\" accesskey=\"p\">Previous: A</a> | "
    "<a href=\"0001-a.htm\" rel=\"up\" accesskey=\"u\">Up: A</a></nav>\r\n<ul><li><!--notes--><ul><li><h1>B</h1>\r\n"
    "</li></ul></li></ul><!--/notes-->\r\n<nav class=\"pagesmith-site\" aria-label=\"Previous and next\"><a href=\"0001-a.htm\" "
    "rel=\"prev\">Previous: A</a> | <a href=\"0001-a.htm\" rel=\"up\">Up: A</a></nav>\r\n</p>");

// The hidden folder of a build that was killed: no process has its number.
bool killedBuild(const Work& work) {
    fs::create_directory(fs::path(work.path(".site.pagesmith-new-2147483646")));
    writeBytes(work.path(".site.pagesmith-new-2147483646/index.htm"), "half");
    return true;
}

TEST(SiteCommandLine, Invocations) {
    runRows({
        {"--site writes index.htm and a file per top-level page beside the source", {"--site", "notes.txt"}, here, "",
         0, "", "",
         {{"notes/index.htm", siteIndex.c_str()}, {"notes/0001-a.htm", sitePageA.c_str()}, {"notes/.contents.tmp", nullptr}}},
        {"--split-level 2 gives second-level pages files of their own",
         {"--site", "notes.txt", "-o", "n2", "--split-level", "2"}, here, "", 0, "", "",
         {{"n2/0002-b.htm", sitePageB.c_str()}}},
        {"--site replaces a site Pagesmith made, whole", {"--site", "notes.txt", "-o", "site"}, here, "", 0, "", "",
         {{"site/index.htm", siteIndex.c_str()}, {"site/stale.htm", nullptr}}},
        {"a failed site run keeps the old site file for file",
         {"--template-dir", "t", "-t", "nomark", "--site", "notes.txt", "-o", "site"}, here, "", 1, "",
         "pagesmith: '[...]' not found in template: t{/}nomark.tpl.txt\n",
         {{"site/index.htm", "old"}, {"site/stale.htm", "stale"}, {"site/0001-a.htm", nullptr}}},
        {"-o keeps the bytes of a site's name that is not UTF-8", {"-v", "--site", "notes.txt", "-o", "s\xE9"}, here, "", 0,
         "", "pagesmith: wrote s\\xe9\n", {{"s\xE9/index.htm", siteIndex.c_str()}, {"s\xEF\xBF\xBD", nullptr}}, nullptr,
         PosixOnly},
        {"a folder Pagesmith did not make is refused", {"--site", "notes.txt", "-o", "out"}, here, "", 1, "",
         "pagesmith: out is not a site made by Pagesmith\n", {{"out/index.htm", nullptr}}},
        {"a site never replaces the folder holding its source", {"--site", "site/in.txt", "-o", "site"}, here, "", 1, "",
         "pagesmith: Product file must differ from source and template: site\n", {{"site/index.htm", "old"}}},
        {"--site makes one site from one source", {"--site", "notes.txt", "more.txt"}, here, "", 2, "",
         "pagesmith-cli: --site makes one site from one SOURCE file\n{usage}"},
        {"--split-level belongs to --site", {"--split-level", "2", "notes.txt"}, here, "", 2, "",
         "pagesmith-cli: --split-level belongs to --site\n{usage}", {{"notes.htm", nullptr}}},
        {"--split-level counts from 1", {"--site", "--split-level", "0", "notes.txt"}, here, "", 2, "",
         "pagesmith-cli: --split-level wants a level from 1 on: 0\n{usage}"},
        {"a site build that another holds off reads nothing and makes nothing", {"--site", "notes.txt", "-o", "site"},
         here, "", 1, "", "pagesmith: Cannot make product file: site ({busy})\n",
         {{"site/index.htm", "old"}, {"site/stale.htm", "stale"}}, nullptr, Both, -1, "site"},
        {"a site's zip that another holds off is not made", {"--site", "notes.txt", "-o", "n.zip"}, here, "", 1, "",
         "pagesmith: Cannot make product file: n.zip ({busy})\n", {{"n.zip", nullptr}}, nullptr, Both, -1, "n.zip"},
        {"a second watcher of a site refuses to start", {"-w", "--site", "notes.txt", "-o", "site"}, here, "", 1, "",
         "pagesmith: site: already watched by another process\n", {{"site/index.htm", "old"}}, nullptr, Both, -1,
         "site", ProductLockKind::Watching},
        {"the next build removes the hidden folder of a killed one", {"--site", "notes.txt", "-o", "site"}, here, "",
         0, "", "", {{"site/index.htm", siteIndex.c_str()}}, nullptr, Both, -1, nullptr, ProductLockKind::Writing,
         killedBuild},
        {"--watch of a folder Pagesmith did not make ends at once", {"-w", "--site", "notes.txt", "-o", "out"}, here,
         "", 1, "", "pagesmith: out is not a site made by Pagesmith\n", {{"out/index.htm", nullptr}}},
    });
}

// A watcher of a site that meets another writer's lock waits for it, then
// builds the source as it is then, as a page's watcher does.
TEST(SiteCommandLine, WatchWaitsForTheLockThenBuildsTheSourceAsItIsThen) {
    Work work;
    writeBytes(program().settings, here);
    writeBytes(work.path("notes.txt"), "[.Old]\r\n");
    ProductLock lock;
    ASSERT_TRUE(lockProduct(work.path("site"), ProductLockKind::Writing, lock) && lock.handle != -1);
    ChildHandle child =
        startChild(program().path, {"-w", "-v", "--site", "notes.txt", "-o", "site"}, work.dir.directory(), true);
    ASSERT_TRUE(child);
    std::string line;
    ASSERT_TRUE(readChildErrorLine(*child, line) && readChildErrorLine(*child, line));
    EXPECT_EQ(line, "pagesmith: waiting: site is in use by another process\n");
    writeBytes(work.path("notes.txt"), "[.A]\r\ntext\r\n[..B]\r\n");
    unlockProduct(lock);
    EXPECT_TRUE(waitForBytes(work.path("site/0001-a.htm"), sitePageA)) << "after the lock, waited 10 s";
    ASSERT_TRUE(readChildErrorLine(*child, line));
    EXPECT_EQ(line, "pagesmith: wrote site\n");
    ASSERT_TRUE(interruptChild(*child));
    EXPECT_EQ(finishChild(*child).status, 0);
    EXPECT_FALSE(hiddenFilesLeft(work.dir.directory()));
}

// An interrupt (SIGTERM; Ctrl+C on Windows) while the site is being built
// leaves the old site as it was and nothing hidden beside it.
TEST(SiteCommandLine, AnInterruptedBuildLeavesTheOldSiteAndNothingHidden) {
    Work work;
    writeBytes(program().settings, here);
    std::string notes;
    for (int i = 0; i < 50000; ++i) notes += "[.Page " + std::to_string(i) + "]\r\ntext\r\n";
    writeBytes(work.path("notes.txt"), notes);
    ChildHandle child = startChild(program().path, {"--site", "notes.txt", "-o", "site"}, work.dir.directory(), true);
    ASSERT_TRUE(child);
    // Once the hidden folder holds a file, the build is under way and guarded.
    bool building = false;
    for (int i = 0; i < 5000 && !building; ++i) {
        for (const auto& entry : fs::directory_iterator(fs::path(work.dir.directory()))) {
            if (entry.is_directory() && entry.path().filename().u8string().rfind(".site.pagesmith-new-", 0) == 0 &&
                !fs::is_empty(entry.path()))
                building = true;
        }
        if (!building) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(building) << "the build was not seen under way";
    ASSERT_TRUE(interruptChild(*child));
    const ChildResult result = finishChild(*child);
    EXPECT_EQ(result.status, onWindows ? static_cast<int>(0xC000013AU) : -1) << "ended by the interrupt";
    EXPECT_EQ(result.standardError, "");
    EXPECT_EQ(readBytes(work.path("site/index.htm")), "old");
    EXPECT_EQ(readBytes(work.path("site/stale.htm")), "stale");
    EXPECT_FALSE(hiddenFilesLeft(work.dir.directory()));
}

// The entries of a zip, inflated: name and bytes, in the zip's order.
std::vector<std::pair<std::string, std::string>> unzipped(const std::string& zip) {
    const auto number = [&](std::size_t at, int bytes) {
        unsigned long value = 0;
        for (int i = bytes; i-- > 0;) value = value << 8 | static_cast<unsigned char>(zip[at + static_cast<std::size_t>(i)]);
        return static_cast<std::size_t>(value);
    };
    std::vector<std::pair<std::string, std::string>> entries;
    if (zip.size() < 22) return entries;
    const std::size_t end = zip.size() - 22;
    std::size_t at = number(end + 16, 4);
    for (std::size_t n = number(end + 10, 2); n-- > 0;) {
        const std::string name = zip.substr(at + 46, number(at + 28, 2));
        const std::size_t local = number(at + 42, 4);
        const std::size_t data = local + 30 + number(local + 26, 2) + number(local + 28, 2);
        std::string bytes(number(at + 24, 4), '\0');
        z_stream stream{};
        inflateInit2(&stream, -15);
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zip.data() + data));
        stream.avail_in = static_cast<uInt>(number(at + 20, 4));
        stream.next_out = reinterpret_cast<Bytef*>(bytes.data());
        stream.avail_out = static_cast<uInt>(bytes.size());
        EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END) << name;
        inflateEnd(&stream);
        entries.emplace_back(name, bytes);
        at += 46 + name.size() + number(at + 30, 2) + number(at + 32, 2);
    }
    return entries;
}

TEST(SiteCommandLine, ZipHoldsTheFolderFileForFile) {
    // The zip's checksum pins its bytes: the same on every system.
    const struct {
        const char* splitLevel;
        unsigned long zipChecksum;
    } rows[] = {{"1", 0x4a1fd9bUL}, {"2", 0xe874cee8UL}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.splitLevel);
        Work work;
        writeBytes(program().settings, here);
        setEnvironmentVariable("SOURCE_DATE_EPOCH", "86400");
        for (const char* output : {"n", "n.zip"}) {
            ChildHandle child = startChild(program().path, {"--site", "notes.txt", "-o", output, "--split-level", row.splitLevel},
                                           work.dir.directory(), false, -1);
            ASSERT_TRUE(child);
            EXPECT_EQ(finishChild(*child, "").status, 0);
        }
        setEnvironmentVariable("SOURCE_DATE_EPOCH", "");
        const std::string zip = readBytes(work.path("n.zip"));
        EXPECT_EQ(crc32(0, reinterpret_cast<const Bytef*>(zip.data()), static_cast<uInt>(zip.size())), row.zipChecksum);
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(fs::path(work.dir.nativePath("n")))) {
            const std::string name = entry.path().filename().string();
            if (name[0] != '.') names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        const auto entries = unzipped(zip);
        ASSERT_EQ(entries.size(), names.size());
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(entries[i].first, names[i]);
            EXPECT_EQ(entries[i].second, readBytes(work.path("n/" + names[i]))) << names[i];
        }
    }
}

}  // namespace
