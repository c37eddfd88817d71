// The site against the single page: the notes of all files in reading order
// are the single page's body, between the single page's own template head
// (index.htm's) and tail (the last file's), byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/site_names.h"
#include "converter/site_writer.h"
#include "tests/test_support.h"
#include "toolkit/dates/date_format.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file_platform.h"
#include "toolkit/zip/deflate_stream.h"
#include "toolkit/zip/zip_writer.h"

namespace {

namespace fs = std::filesystem;

const std::string samples = PAGESMITH_SOURCE_DIR "/samples/";

struct SiteRow {
    const char* behaviour;
    std::string source;        // a file under the source folder, or the notes themselves
    std::string templateText;  // a template file under samples/templates, or its text
    int splitLevel;
    int pageSeparator;
    const char* names;  // the page files in reading order; nullptr: not checked
};

void resetConverter() {
    clearJobSettings();
    applyDefaultSettings(job);
    currentLine.clear();
    inSource = headingWritten = listDepth = 0;
}

std::string fileOrText(const std::string& text) {
    if (text.find(".txt") == text.size() - 4 && text.find('\n') == std::string::npos)
        return readBytes(u16(PAGESMITH_SOURCE_DIR "/" + text));
    return text;
}

std::string between(const std::string& bytes, const std::string& open, const std::string& close) {
    std::string inside;
    for (std::size_t at = 0; (at = bytes.find(open, at)) != std::string::npos;) {
        const std::size_t end = bytes.find(close, at + open.size());
        inside += bytes.substr(at + open.size(), end - at - open.size());
        at = end;
    }
    return inside;
}

// Counts the opens of one file while it is installed.
struct CountedOpens {
    static inline std::u16string path;
    static inline int opens = 0;
    static bool open(const std::u16string& name, platform_file::OpenMode mode, platform_file::Handle& handle) {
        if (name == path) ++opens;
        return platform_file::systemFiles().open(name, mode, handle);
    }
    static platform_file::Backend counting() {
        platform_file::Backend b = platform_file::systemFiles();
        b.open = open;
        return b;
    }
    const platform_file::Backend backend = counting();
    const platform_file::Backend& previous;
    explicit CountedOpens(const std::u16string& counted) : previous(platform_file::useBackend(backend)) {
        path = counted;
        opens = 0;
    }
    ~CountedOpens() { platform_file::useBackend(previous); }
};

TEST(Site, NotesJoinedAreTheSinglePage) {
    const SiteRow rows[] = {
        {"the sample, one file per top-level page", "samples/notes.txt", "samples/templates/Standard.tpl.txt", 1, 1,
         "0001-welcome.htm 0002-garden.htm 0003-workshop.htm 0004-kitchen.htm 0005-reading.htm 0006-log.htm "
         "0007-about-this-export.htm"},
        {"the sample split at level 2, Navigator", "samples/notes.txt", "samples/templates/Navigator.tpl.txt", 2, 1, nullptr},
        {"the sample split at level 3, Print", "samples/notes.txt", "samples/templates/Print.tpl.txt", 3, 1, nullptr},
        {"a level deeper than any page, Plain", "samples/notes.txt", "samples/templates/Plain.tpl.txt", 9, 0, nullptr},
        {"the edge cases: text before the first page, odd titles, jumps down",
         "tests/templates/edge-notes.txt", "samples/templates/Standard.tpl.txt", 3, 1,
         "0001-alpha.htm 0002-beta-gamma.htm 0003-alpha.htm 0004-alpha.htm 0005-page.htm 0006-page.htm "
         "0007-unicode-strasse-2.htm 0008-alpha-2.htm 0009-a-styled-title.htm 0010-page.htm 0011-deep-jump.htm "
         "0012-2024-q1-q2.htm"},
        {"the edge cases at level 1 without separators", "tests/templates/edge-notes.txt",
         "samples/templates/Standard.tpl.txt", 1, 0, nullptr},
        {"a page title in the template opens lists before the notes", "[..A]\r\ntext\r\n[.B]\r\n[...C]\r\n",
         "[.T]<title>x</title>\r\n<p>[...]</p>\r\n[date=yyyy]", 2, 1, "0001-a.htm 0002-b.htm"},
        {"no page title at all: index.htm alone", "just text\r\n\r\n", "<title>x</title>\r\n[...]\r\n", 1, 1, ""},
        {"a later marker stays empty in a site, as the notes go once", "[.A]\r\n", "<b>[...]</b>\r\n<i>[...]</i>", 1, 1,
         "0001-a.htm"},
    };
    CalendarDate day{};
    ASSERT_TRUE(makeCalendarDate(2026, 1, 2, day));
    setFixedToday(&day);
    for (const SiteRow& row : rows) {
        SCOPED_TRACE(row.behaviour);
        ScratchDir dir;
        CapturedErrors errors;
        resetConverter();
        job.pageSeparator = row.pageSeparator;
        job.browserTitle = u"Notes";
        job.templatePath = dir.path(u"t.tpl.txt");
        job.sourcePath = dir.path(u"notes.txt");
        job.productPath = dir.path(u"single.htm");
        writeBytes(job.templatePath, fileOrText(row.templateText));
        writeBytes(job.sourcePath, fileOrText(row.source));
        ASSERT_EQ(writeProduct(), 1);
        const std::string single = readBytes(job.productPath);
        const bool twoMarkers = row.templateText.find("<i>[...]") != std::string::npos;

        resetConverter();
        job.pageSeparator = row.pageSeparator;
        job.browserTitle = u"Notes";
        job.templatePath = dir.path(u"t.tpl.txt");
        job.sourcePath = dir.path(u"notes.txt");
        fs::create_directory(fs::path(dir.nativePath("site")));
        {
            // index.htm's head, the pages' template once, the last tail:
            // never a read per page.
            const CountedOpens templateOpens(job.templatePath);
            ASSERT_EQ(writeSite(dir.path(u"site") + u"/", row.splitLevel), 1);
            EXPECT_LE(CountedOpens::opens, 3);
        }
        EXPECT_TRUE(errors.messages.empty());

        std::vector<std::string> pages;
        for (const auto& entry : fs::directory_iterator(fs::path(dir.nativePath("site")))) {
            const std::string name = entry.path().filename().string();
            if (name != "index.htm") pages.push_back(name);
        }
        std::sort(pages.begin(), pages.end());
        std::string names;
        for (const std::string& name : pages) names += (names.empty() ? "" : " ") + name;
        if (row.names) {
            EXPECT_EQ(names, row.names);
        }

        const std::string index = readBytes(dir.path(u"site/index.htm"));
        std::string notes = between(index, "<!--notes-->", "<!--/notes-->");
        std::string last = index;
        for (const std::string& name : pages) {
            last = readBytes(dir.path(u"site/" + u16(name)));
            notes += between(last, "<!--notes-->", "<!--/notes-->");
        }
        const std::string head = index.substr(0, index.find("<!--notes-->"));
        const std::string tail = last.substr(last.rfind("</nav>\r\n") + 8);
        // With two markers the single page holds the notes twice; a site
        // holds them once, at the first.
        EXPECT_EQ(escapeBytes(head + notes + tail),
                  escapeBytes(twoMarkers ? "\xEF\xBB\xBF<b><ul><li><h1>A</h1>\r\n</li></ul></b><i></i>" : single));
    }
    setFixedToday(nullptr);
}

// The href of the first link of `rel` at or after `from`, or "".
std::string linkOf(const std::string& page, const std::string& rel, std::size_t from = 0) {
    const std::size_t at = page.find("\" rel=\"" + rel + "\"", from);
    if (at == std::string::npos) return "";
    const std::size_t href = page.rfind("<a href=\"", at);
    return page.substr(href + 9, at - href - 9);
}

TEST(Site, LinksResolveAndTheWaysThroughHold) {
    const struct {
        const char* templateName;
        int splitLevel;
        long long contentsLimit;
        const char* contentsFiles;  // index.htm's links to contents files: "(" a branch's, ">" a group's
    } rows[] = {
        {"Standard", 1, 2 << 20, ""},
        {"Navigator", 2, 2 << 20, ""},
        {"Print", 3, 2 << 20, ""},
        // Past the limit the first level stays in index.htm, each branch goes to a file.
        {"Plain", 1, 1500, "(index-0001-welcome.htm (index-0002-garden.htm (index-0003-workshop.htm (index-0004-kitchen.htm "
                           "(index-0005-reading.htm (index-0006-log.htm "},
        // The first level alone past it: index.htm lists groups of pages with their branches.
        {"Standard", 1, 400, ">index-0001-welcome.htm >index-0002-garden.htm >index-0003-workshop.htm >index-0004-kitchen.htm "
                             ">index-0005-reading.htm >index-0006-log.htm >index-0007-about-this-export.htm "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.contentsLimit);
        ScratchDir dir;
        resetConverter();
        job.templatePath = u16(samples + "templates/" + row.templateName + ".tpl.txt");
        job.sourcePath = u16(samples + "notes.txt");
        fs::create_directory(fs::path(dir.nativePath("site")));
        ASSERT_EQ(writeSite(dir.path(u"site") + u"/", row.splitLevel, row.contentsLimit), 1);
        std::vector<std::string> notes;  // in name order, which is reading order here
        std::string all;
        std::string contents;  // what the contents files list
        for (const auto& entry : fs::directory_iterator(fs::path(dir.nativePath("site")))) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("index", 0) != 0) notes.push_back(name);
            if (name.rfind("index-", 0) == 0) contents += readBytes(dir.path(u"site/" + u16(name)));
        }
        std::sort(notes.begin(), notes.end());
        const auto page = [&](const std::string& name) { return readBytes(dir.path(u"site/" + u16(name))); };
        std::string contentsFiles;
        const std::string index = page("index.htm");
        for (std::size_t at = 0; (at = index.find("<a href=\"index-", at)) != std::string::npos; ++at) {
            contentsFiles += index.substr(at - 1, 1) + index.substr(at + 9, index.find('"', at + 9) - at - 9) + " ";
        }
        EXPECT_EQ(contentsFiles, row.contentsFiles);
        // Each page is listed by the contents files.
        contents += index;
        for (const std::string& name : notes) EXPECT_NE(contents.find("<b><a href=\"" + name + "\">"), std::string::npos) << name;

        // Every link of the site leads to a file, and an anchor to its id.
        for (const std::string& name : notes) all += page(name);
        all += contents;
        for (std::size_t at = 0; (at = all.find("href=\"", at)) != std::string::npos; at += 6) {
            const std::string href = all.substr(at + 6, all.find('"', at + 6) - at - 6);
            if (href.rfind("http", 0) == 0 || href.rfind("#", 0) == 0) continue;  // the web's, the template's
            const std::size_t hash = href.find('#');
            const std::string target = page(href.substr(0, hash));
            EXPECT_FALSE(target.empty()) << href;
            if (hash != std::string::npos) {
                EXPECT_NE(target.find("id=\"" + href.substr(hash + 1) + "\""), std::string::npos) << href;
            }
        }
        // "next" from index.htm visits every note once, in reading order, and
        // "prev" leads back; "up" climbs to index.htm.
        std::string before = "index.htm";
        for (const std::string& name : notes) {
            EXPECT_EQ(linkOf(page(before), "next"), name);
            EXPECT_EQ(linkOf(page(name), "prev"), before);
            before = name;
            std::string up = name;
            for (int step = 0; step < row.splitLevel && up != "index.htm"; ++step) up = linkOf(page(up), "up");
            EXPECT_EQ(up, "index.htm") << name;
        }
        EXPECT_EQ(linkOf(page(before), "next"), "");
        // Every title once, as many as the single page has.
        std::string notesText = between(page("index.htm"), "<!--notes-->", "<!--/notes-->");
        for (const std::string& name : notes) notesText += between(page(name), "<!--notes-->", "<!--/notes-->");
        std::size_t headings = 0;
        for (std::size_t at = 0; (at = notesText.find("</h1>", at)) != std::string::npos; ++at) ++headings;
        EXPECT_EQ(headings, 41u);
    }
}

TEST(Site, PageFileNames) {
    const struct {
        long long number;
        std::u16string title;
        std::string name;
    } rows[] = {
        {7, u"Carrot fly log", "0007-carrot-fly-log.htm"},
        {12345, u"a <i>styled</i> title", "12345-a-styled-title.htm"},
        {1, u"  \u00DCn\u00EFcode Stra\u00DFe \u0141\u00F3d\u017A  ", "0001-unicode-strasse-lodz.htm"},
        {2, u"\u65E5\u672C\u8A9E!!", "0002-page.htm"},
        {3, u"", "0003-page.htm"},
        {4, std::u16string(100, u'x'), "0004-" + std::string(65, 'x') + ".htm"},
        {5, std::u16string(64, u'a') + u" bcd", "0005-" + std::string(64, 'a') + ".htm"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(utf8FromText(pageFileName(row.number, row.title)), row.name);
    }
}

}  // namespace

// The zip's end for a count of entries: each an empty file "a" (49 bytes
// with its header and descriptor, 47 in the central directory).
TEST(SiteZip, EndRecordsForTheEntryCount) {
    const struct {
        unsigned entries;
        const char* endHex;  // the zip's last bytes
    } rows[] = {
        {65535,
         "504b06062c000000000000002d002d000000000000000000ffff000000000000ffff000000000000d1ff2e0000000000cfff3000000000"
         "00504b060700000000a0ff5f000000000001000000504b050600000000ffffffffd1ff2e00cfff30000000"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.entries);
        // Once with the central directory in memory, once waiting outside it: the same bytes.
        std::string zip, spilledZip, spill;
        for (std::string* into : {&zip, &spilledZip}) {
            ZipWriter writer([into](const void* bytes, long count) {
                into->append(static_cast<const char*>(bytes), static_cast<std::size_t>(count));
                return true;
            }, ZipTime{});
            if (into == &spilledZip) {
                writer.spillCentral([&spill](const void* bytes, long count) {
                    spill.append(static_cast<const char*>(bytes), static_cast<std::size_t>(count));
                    return true;
                }, [&spill, at = std::size_t{0}](void* to, long count) mutable {
                    const std::size_t n = std::min(spill.size() - at, static_cast<std::size_t>(count));
                    std::copy_n(spill.data() + at, n, static_cast<char*>(to));
                    at += n;
                    return static_cast<long>(n);
                });
            }
            for (unsigned i = 0; i < row.entries; ++i) ASSERT_TRUE(writer.add("a", [](void*, long) { return 0L; }));
            ASSERT_TRUE(writer.finish());
        }
        EXPECT_GT(spill.size(), 0u);
        EXPECT_TRUE(spilledZip == zip);
        std::string tail;
        static const char digits[] = "0123456789abcdef";
        for (std::size_t i = zip.size() - std::string_view(row.endHex).size() / 2; i < zip.size(); ++i) {
            tail += digits[static_cast<unsigned char>(zip[i]) >> 4];
            tail += digits[static_cast<unsigned char>(zip[i]) & 15];
        }
        EXPECT_EQ(tail, row.endHex);
    }
}

// An entry deflated elsewhere in one piece (as the web page's deflaters do)
// and given to addDeflated makes the bytes add() makes, which deflates it in
// 64 KB reads.
TEST(SiteZip, AnEntryDeflatedElsewhereIsTheSameBytes) {
    std::string large;
    for (int i = 0; large.size() < 200000; ++i) large += "<li>Page " + std::to_string(i * 7919 % 1000) + " &amp; more</li>\r\n";
    const std::string rows[] = {"", "<p>one line</p>\r\n", large};
    for (const std::string& file : rows) {
        SCOPED_TRACE(file.size());
        std::string added, given;
        const auto into = [](std::string& zip) {
            return [&zip](const void* bytes, long count) {
                zip.append(static_cast<const char*>(bytes), static_cast<std::size_t>(count));
                return true;
            };
        };
        const auto reader = [](const std::string& bytes) {
            return [&bytes, at = std::size_t{0}](void* to, long count) mutable {
                const std::size_t n = std::min(bytes.size() - at, static_cast<std::size_t>(count));
                std::copy_n(bytes.data() + at, n, static_cast<char*>(to));
                at += n;
                return static_cast<long>(n);
            };
        };
        ZipWriter byAdd(into(added), ZipTime{2026, 1, 2});
        ASSERT_TRUE(byAdd.add("a.htm", reader(file)));
        ASSERT_TRUE(byAdd.finish());

        DeflateStream deflater;
        std::string deflated;
        ASSERT_TRUE(deflater.deflate(reinterpret_cast<const unsigned char*>(file.data()), file.size(), true,
                                     [&deflated](const unsigned char* bytes, std::size_t count) {
                                         deflated.append(reinterpret_cast<const char*>(bytes), count);
                                         return true;
                                     }));
        ZipWriter byGiven(into(given), ZipTime{2026, 1, 2});
        ASSERT_TRUE(byGiven.addDeflated("a.htm", deflater.crc(), file.size(), reader(deflated)));
        ASSERT_TRUE(byGiven.finish());
        EXPECT_EQ(given, added);
    }
}
