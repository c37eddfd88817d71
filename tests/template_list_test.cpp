#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shell/template_list.h"
#include "tests/test_support.h"

namespace {

using Names = std::vector<std::u16string>;

struct TemplateDirectory : ::testing::Test {
    ScratchDir dir;
    std::u16string templateDirectory = dir.directory();

    void addFile(const std::string& name, std::string_view bytes = "") {
        writeBytes(u16(dir.nativePath(name)), bytes);
    }
};

TEST(InsertTemplateName, OrdersByLowerCaseAndKeepsScanOrderForEqualKeys) {
    struct Case {
        Names delivered;
        Names expected;
    };
    const Case cases[] = {
        {{u"b", u"A", u"c"}, {u"A", u"b", u"c"}},
        // "_" (95) lies between "A" (65) and "a" (97): the lower-case forms decide.
        {{u"b", u"A", u"c", u"_x"}, {u"_x", u"A", u"b", u"c"}},
        // A prefix sorts first.
        {{u"Letters", u"letter"}, {u"letter", u"Letters"}},
        {{u"ABC", u"abc", u"Abc"}, {u"ABC", u"abc", u"Abc"}},
        {{u"Zeta", u"", u"alpha"}, {u"", u"alpha", u"Zeta"}},
        // Code units compare unsigned: U+00E9 lies above every ASCII letter.
        {{u"\u00e9t\u00e9", u"zoo"}, {u"zoo", u"\u00e9t\u00e9"}},
    };
    for (const Case& c : cases) {
        Names names;
        for (const std::u16string& name : c.delivered) insertTemplateName(names, name);
        EXPECT_EQ(names, c.expected);
    }
}

TEST(TemplateSelection, MatchesWithoutRegardToCaseAndExactly) {
    const Names names = {u"_x", u"Letter", u"Letters", u"report"};
    struct Case {
        std::u16string templateName;
        int expected;
    };
    const Case cases[] = {
        {u"REPORT", 3}, {u"letter", 1}, {u"Letters", 2}, {u"lett", 0},
        {u"missing", 0}, {u"", 0},     {u"_X", 0},       {u"report ", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(templateSelection(names, c.templateName), c.expected);
    }
    EXPECT_EQ(templateSelection(Names{u"", u"a"}, u""), 0);
    EXPECT_EQ(templateSelection(Names{u"a", u""}, u""), 1);
    EXPECT_EQ(templateSelection(Names{}, u"a"), 0);
}

TEST_F(TemplateDirectory, ScanListsTemplateFilesSorted) {
    addFile("b.tpl.txt");
    addFile("A.tpl.txt");
    addFile("c.tpl.txt");
    addFile("_x.tpl.txt");
    addFile("Report.TPL.TXT");
    addFile(".tpl.txt");
    addFile("notes.txt");
    addFile("tpl.txt");
    std::filesystem::create_directory(dir.nativePath("old.tpl.txt"));

    EXPECT_EQ(scanTemplates(templateDirectory), 6);
    EXPECT_EQ(templateNames, (Names{u"", u"_x", u"A", u"b", u"c", u"Report"}));
}

TEST_F(TemplateDirectory, ScanRebuildsTheListAndFailsOnAMissingDirectory) {
    templateNames = {u"left over"};
    EXPECT_EQ(scanTemplates(templateDirectory), 0);
    EXPECT_TRUE(templateNames.empty());

    addFile("one.tpl.txt");
    EXPECT_EQ(scanTemplates(templateDirectory), 1);
    EXPECT_EQ(scanTemplates(templateDirectory), 1);
    EXPECT_EQ(templateNames, Names{u"one"});

    templateDirectory = dir.directory() + u"missing" + dir.directory().back();
    EXPECT_EQ(scanTemplates(templateDirectory), 0);
    EXPECT_TRUE(templateNames.empty());
}

TEST_F(TemplateDirectory, EditingASelectedTemplateTouchesNothing) {
    EXPECT_EQ(prepareTemplateForEditing(templateDirectory, u"Letter"), dir.directory() + u"Letter.tpl.txt");
    EXPECT_FALSE(fileExists(dir.directory() + u"Letter.tpl.txt"));
    EXPECT_FALSE(fileExists(dir.directory() + u"Template.tpl.txt"));
}

TEST_F(TemplateDirectory, EditingWithoutSelectionCreatesTheFirstTemplateOnce) {
    const std::u16string first = dir.directory() + u"Template.tpl.txt";
    EXPECT_EQ(prepareTemplateForEditing(templateDirectory, u""), first);
    ASSERT_TRUE(fileExists(first));
    EXPECT_EQ(readBytes(first), "");

    writeBytes(first, "<p>[...]</p>");
    EXPECT_EQ(prepareTemplateForEditing(templateDirectory, u""), first);
    EXPECT_EQ(readBytes(first), "<p>[...]</p>");
}

TEST_F(TemplateDirectory, AFailedCreationIsIgnored) {
    templateDirectory = dir.directory() + u"missing" + dir.directory().back();
    EXPECT_EQ(prepareTemplateForEditing(templateDirectory, u""), templateDirectory + u"Template.tpl.txt");
    EXPECT_FALSE(fileExists(templateDirectory + u"Template.tpl.txt"));
}

}  // namespace
