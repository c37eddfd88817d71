#include "toolkit/fs/directory_scan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "tests/test_support.h"
#include "toolkit/text/strings.h"

namespace {

using Listing = std::map<std::string, int>;  // name -> entry type

// Entries come in the platform's order; the tests compare them as a set.
Listing list(int number) {
    Listing entries;
    while (nextEntry(number)) {
        EXPECT_TRUE(entries.emplace(utf8FromText(entryName(number)), entryType(number)).second)
            << "listed twice: " << utf8FromText(entryName(number));
    }
    EXPECT_EQ(entryName(number), u"");
    EXPECT_EQ(entryType(number), NoEntry);
    EXPECT_EQ(nextEntry(number), 0);
    return entries;
}

struct Folder {
    ScratchDir dir;
    Folder() {
        for (const char* name : {"A.TPL.TXT", "b.tpl.txt", "c.txt", "d.tpl.txt.bak", "README"})
            writeBytes(dir.path(u16(name)), "x");
        std::filesystem::create_directory(dir.nativePath("Sub.Tpl.Txt"));
        std::filesystem::create_directory(dir.nativePath("other"));
    }
    std::u16string withoutSeparator() const {
        std::u16string path = dir.directory();
        path.pop_back();
        return path;
    }
};

TEST(DirectoryScan, PatternsMatchWithoutRegardToCase) {
    Folder folder;
    struct Case {
        const char* pattern;
        Listing expected;
    } cases[] = {
        {"*.tpl.txt", {{"A.TPL.TXT", FileEntry}, {"b.tpl.txt", FileEntry}, {"Sub.Tpl.Txt", DirectoryEntry}}},
        {"*.TPL.TXT", {{"A.TPL.TXT", FileEntry}, {"b.tpl.txt", FileEntry}, {"Sub.Tpl.Txt", DirectoryEntry}}},
        {"?.txt", {{"c.txt", FileEntry}}},
        {"readme", {{"README", FileEntry}}},
        {"*.none", {}},
        {"", {{".", DirectoryEntry}, {"..", DirectoryEntry}, {"A.TPL.TXT", FileEntry},
              {"b.tpl.txt", FileEntry}, {"c.txt", FileEntry}, {"d.tpl.txt.bak", FileEntry},
              {"README", FileEntry}, {"Sub.Tpl.Txt", DirectoryEntry}, {"other", DirectoryEntry}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        ASSERT_EQ(examineDirectory(0, folder.dir.directory(), u16(c.pattern)), 1);
        EXPECT_EQ(list(0), c.expected);
        finishDirectory(0);
    }
}

TEST(DirectoryScan, DirectoryWithAndWithoutFinalSeparatorSearchesTheSame) {
    Folder folder;
    ASSERT_EQ(examineDirectory(0, folder.dir.directory(), u"*.tpl.txt"), 1);
    ASSERT_EQ(examineDirectory(1, folder.withoutSeparator(), u"*.tpl.txt"), 1);
    Listing withSeparator = list(0);
    EXPECT_EQ(withSeparator.size(), 3u);
    EXPECT_EQ(list(1), withSeparator);
    finishAllDirectories();
}

TEST(DirectoryScan, EmptyAndMissingDirectories) {
    ScratchDir dir;
    ASSERT_EQ(examineDirectory(0, dir.directory(), u"*.tpl.txt"), 1);
    EXPECT_EQ(nextEntry(0), 0);
    EXPECT_EQ(entryName(0), u"");
    EXPECT_EQ(entryType(0), NoEntry);
    finishDirectory(0);

    // "." and ".." come when the pattern takes them.
    ASSERT_EQ(examineDirectory(0, dir.directory(), u"*"), 1);
    EXPECT_EQ(list(0), (Listing{{".", DirectoryEntry}, {"..", DirectoryEntry}}));
    finishDirectory(0);

    // A file is no directory to list.
    writeBytes(dir.path(u"plain.txt"), "x");
    EXPECT_EQ(examineDirectory(1, dir.path(u"plain.txt"), u""), 0);
    EXPECT_EQ(nextEntry(1), 0);

    EXPECT_EQ(examineDirectory(2, dir.path(u"missing"), u"*.tpl.txt"), 0);
    EXPECT_EQ(nextEntry(2), 0);
    EXPECT_EQ(entryName(2), u"");
    EXPECT_EQ(entryType(2), NoEntry);
}

TEST(DirectoryScan, NumbersAreIndependentAndFreedByFinish) {
    Folder folder;
    ASSERT_EQ(examineDirectory(3, folder.dir.directory(), u"c.txt"), 1);
    ASSERT_EQ(examineDirectory(4, folder.dir.directory(), u"readme"), 1);
    // Found, but not current before the first nextEntry.
    EXPECT_EQ(entryName(3), u"");
    EXPECT_EQ(entryType(3), NoEntry);
    ASSERT_EQ(nextEntry(3), 1);
    ASSERT_EQ(nextEntry(4), 1);
    EXPECT_EQ(entryName(3), u"c.txt");
    EXPECT_EQ(entryName(4), u"README");
    EXPECT_EQ(entryType(3), FileEntry);

    // A new scan under a used number replaces the old one.
    ASSERT_EQ(examineDirectory(3, folder.dir.directory(), u"other"), 1);
    EXPECT_EQ(entryType(3), NoEntry);
    ASSERT_EQ(nextEntry(3), 1);
    EXPECT_EQ(entryName(3), u"other");
    EXPECT_EQ(entryType(3), DirectoryEntry);

    finishDirectory(3);
    EXPECT_EQ(nextEntry(3), 0);
    EXPECT_EQ(entryName(3), u"");
    EXPECT_EQ(entryName(4), u"README");
    finishAllDirectories();
    EXPECT_EQ(entryName(4), u"");
    EXPECT_EQ(nextEntry(4), 0);
}

TEST(DirectoryScan, WildcardMatch) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    } cases[] = {
        {"*.tpl.txt", "A.TPL.TXT", true},    {"*.tpl.txt", "a.tpl.txt.bak", false},
        {"*.tpl.txt", ".tpl.txt", true},     {"?.txt", "c.txt", true},
        {"?.txt", "cc.txt", false},          {"?.txt", ".txt", false},
        {"*", "", true},                     {"", "", true},
        {"", "a", false},                    {"a*b*c", "aXbYc", true},
        {"a*b*c", "aXbY", false},            {"*x", "xyx", true},
        {"**a", "ba", true},                 {"*.*", "README", true},
        {"*.*", ".", true},                  {"a.*", "a", true},
        {"a.*", "ab", false},                {"*.tpl.txt", "..", false},
        {"\xC3\x84*", "\xC3\xA4pfel", true}, {"abc", "ab", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wildcardMatch(u16(c.pattern), u16(c.name)), c.matches)
            << c.pattern << " / " << c.name;
    }
    // Many stars against a long near-miss must not take exponential time.
    std::u16string pattern = u"*a*a*a*a*a*a*a*a*a*a*b";
    EXPECT_FALSE(wildcardMatch(pattern, std::u16string(5000, u'a')));
}

}  // namespace
