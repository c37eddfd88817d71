#include <gtest/gtest.h>

#include <string>

#include "tests/test_support.h"
#include "toolkit/gui/requesters.h"

namespace {

TEST(RequesterFilterList, BarsBecomeTerminatorsAndTwoEndTheList) {
    struct Case {
        std::u16string patternText;
        std::u16string expected;
    };
    const Case cases[] = {
        // Blanks around "|" belong to the neighbours and stay.
        {u"HTML file | *.HTM;*.HTML", std::u16string(u"HTML file \0 *.HTM;*.HTML\0\0", 26)},
        {u"Textfile | *.*", std::u16string(u"Textfile \0 *.*\0\0", 16)},
        {u"A|*.a|B|*.b", std::u16string(u"A\0*.a\0B\0*.b\0\0", 13)},
        {u"", std::u16string(u"\0\0", 2)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(requesterFilterList(c.patternText), c.expected)
            << escapeBytes(std::string(c.patternText.begin(), c.patternText.end()));
    }
}

TEST(SplitDefaultFile, DirectoryAndNameAtTheLastBackslash) {
    struct Case {
        std::u16string defaultFile;
        std::u16string directory;
        std::u16string fileName;
    };
    const Case cases[] = {
        {u"C:\\Data\\notes.txt", u"C:\\Data", u"notes.txt"},
        {u"C:\\Data\\more\\", u"C:\\Data\\more", u""},
        // A wildcard name opens the directory with an empty name field.
        {u".\\*.*", u".", u""},
        {u"", u"", u""},
        {u"notes.txt", u"", u"notes.txt"},
        // A "\" only in first place is no directory; the name then holds a
        // separator and is dropped.
        {u"\\notes.txt", u"", u""},
        // The root of a drive keeps its backslash.
        {u"C:\\notes.txt", u"C:\\", u"notes.txt"},
        {u"C:\\Data\\a?.txt", u"C:\\Data", u""},
        {u"C:\\Data\\a:b", u"C:\\Data", u""},
        {u"D:\\my dir\\page one.htm", u"D:\\my dir", u"page one.htm"},
    };
    for (const Case& c : cases) {
        std::u16string directory = u"stale";
        std::u16string fileName = u"stale";
        splitDefaultFile(c.defaultFile, directory, fileName);
        EXPECT_EQ(directory, c.directory);
        EXPECT_EQ(fileName, c.fileName);
    }
}

TEST(SplitDefaultFile, LongNamesAreCutTo259) {
    std::u16string directory;
    std::u16string fileName;
    const std::u16string longName(300, u'n');
    splitDefaultFile(u"C:\\x\\" + longName, directory, fileName);
    EXPECT_EQ(directory, u"C:\\x");
    EXPECT_EQ(fileName, std::u16string(259, u'n'));

    splitDefaultFile(std::u16string(259, u'k'), directory, fileName);
    EXPECT_EQ(fileName, std::u16string(259, u'k'));
}

}  // namespace
