#include "shell/job_settings_io.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_support.h"
#include "toolkit/fs/paths.h"
#include "toolkit/text/strings.h"

namespace {

const std::u16string sep(1, pathSeparator);

struct ReadCase {
    const char* name;
    const char* file;  // nullptr: no settings file
    const char* sourceFromCommandLine;
    // Expected; a templateDirectory of nullptr means the program directory.
    const char* templateDirectory;
    const char* templateName;
    const char* sourcePath;
    const char* productPath;
    const char* tagStart;
    const char* tagEnd;
    const char* level;
    std::int32_t titleRange;
    std::int32_t pageSeparator;
    const char* browserTitle;
    std::int32_t namedEntities;
};

TEST(JobSettingsIo, ReadsEveryFieldWithItsDefault) {
    const ReadCase cases[] = {
        {"no file: every default", nullptr, "", nullptr, "", "", "", "[", "]", ".", 1, 1, "", 7},
        {"every key set", "[Template]\r\nDirectory=T\r\nLast=basic\r\n[Files]\r\nSource=s.txt\r\n"
         "Product=p.htm\r\n[Settings]\r\nTagStartSymbol={\r\nTagEndSymbol=}\r\nlevelSymbol=*\r\n"
         "TitleRange=4\r\nPageSeparator=0\r\nBrowserTitle=My notes\r\n[Named]\r\ngt=0\r\nlt=0\r\n"
         "quot=0\r\n",
         "", "T", "basic", "s.txt", "p.htm", "{", "}", "*", 4, 0, "My notes", 0},
        {"the command line's source wins over the stored one", "[Files]\r\nSource=s.txt\r\n",
         "cmd.txt", nullptr, "", "cmd.txt", "", "[", "]", ".", 1, 1, "", 7},
        {"an empty directory becomes the separator alone", "[Template]\r\nDirectory=\r\n", "", "",
         "", "", "", "[", "]", ".", 1, 1, "", 7},
        {"lt=0 alone leaves gt and quot", "[Named]\r\nlt=0\r\n", "", nullptr, "", "", "", "[", "]",
         ".", 1, 1, "", 5},
        {"numbers are used as read: gt=2 sets the lt bit", "[Named]\r\ngt=2\r\nlt=0\r\n", "",
         nullptr, "", "", "", "[", "]", ".", 1, 1, "", 6},
        {"an empty TitleRange reads as 0", "[Settings]\r\nTitleRange=\r\n", "", nullptr, "", "", "",
         "[", "]", ".", 0, 1, "", 7},
        {"the key levelSymbol matches in any case", "[settings]\r\nLEVELSYMBOL=+\r\n", "", nullptr,
         "", "", "", "[", "]", "+", 1, 1, "", 7},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        SettingsStore store;
        store.settingsPath = dir.path(u"Pagesmith.ini");
        if (c.file) writeBytes(store.settingsPath, c.file);
        load(store);

        JobSettings settings;
        settings.programDirectory = dir.directory();
        settings.sourcePath = u16(c.sourceFromCommandLine);
        readJobSettings(store, settings);

        std::u16string directory =
            c.templateDirectory ? u16(c.templateDirectory) + sep : dir.directory();
        EXPECT_EQ(settings.templateDirectory, directory);
        EXPECT_EQ(settings.templateName, u16(c.templateName));
        EXPECT_EQ(settings.sourcePath, u16(c.sourcePath));
        EXPECT_EQ(settings.productPath, u16(c.productPath));
        EXPECT_EQ(settings.tagStartSymbol, u16(c.tagStart));
        EXPECT_EQ(settings.tagEndSymbol, u16(c.tagEnd));
        EXPECT_EQ(settings.levelSymbol, u16(c.level));
        EXPECT_EQ(settings.titleRange, c.titleRange);
        EXPECT_EQ(settings.pageSeparator, c.pageSeparator);
        EXPECT_EQ(settings.browserTitle, u16(c.browserTitle));
        EXPECT_EQ(settings.namedEntities, c.namedEntities);
    }
}

TEST(JobSettingsIo, DirectoryEndingInTheSeparatorIsKept) {
    ScratchDir dir;
    SettingsStore store;
    store.settingsPath = dir.path(u"Pagesmith.ini");
    writeBytes(store.settingsPath, "[Template]\r\nDirectory=" + utf8FromText(u"T" + sep) + "\r\n");
    ASSERT_EQ(load(store), 1);
    JobSettings settings;
    readJobSettings(store, settings);
    EXPECT_EQ(settings.templateDirectory, u"T" + sep);
}

JobSettings savedSettings() {
    JobSettings settings;
    settings.templateName = u"basic";
    settings.sourcePath = u"C:\\notes\\export.txt";
    settings.productPath = u"C:\\web\\notes.htm";
    settings.titleRange = 3;
    settings.pageSeparator = 0;
    settings.browserTitle = u"My notes";
    return settings;
}

TEST(JobSettingsIo, FirstSaveOfANewFile) {
    ScratchDir dir;
    SettingsStore store;
    store.settingsPath = dir.path(u"Pagesmith.ini");
    EXPECT_EQ(load(store), 0);
    JobSettings settings;
    settings.programDirectory = dir.directory();
    readJobSettings(store, settings);
    writeJobSettings(store, savedSettings());
    ASSERT_EQ(save(store), 1);
    EXPECT_EQ(escapeBytes(readBytes(store.settingsPath)),
              escapeBytes("\xEF\xBB\xBF"
                          "\r\n[Template]\r\nLast=basic\r\n"
                          "\r\n[Files]\r\nSource=C:\\notes\\export.txt\r\nProduct=C:\\web\\notes.htm\r\n"
                          "\r\n[Settings]\r\nTitleRange=3\r\nPageSeparator=0\r\nBrowserTitle=My notes\r\n"));
}

TEST(JobSettingsIo, SaveKeepsTheKeysItNeverWrites) {
    ScratchDir dir;
    SettingsStore store;
    store.settingsPath = dir.path(u"Pagesmith.ini");
    writeBytes(store.settingsPath,
               "; settings\r\n[template]\r\ndirectory=D:\\tpl\r\nlast=old\r\n"
               "[Settings]\r\nlevelSymbol=*\r\nBrowserTitle=old\r\n[Named]\r\nquot=0\r\n");
    ASSERT_EQ(load(store), 1);
    JobSettings settings;
    readJobSettings(store, settings);
    writeJobSettings(store, savedSettings());
    ASSERT_EQ(save(store), 1);
    EXPECT_EQ(escapeBytes(readBytes(store.settingsPath)),
              escapeBytes("; settings\r\n\r\n[template]\r\ndirectory=D:\\tpl\r\nlast=basic\r\n"
                          "\r\n[Settings]\r\nlevelSymbol=*\r\nBrowserTitle=My notes\r\n"
                          "TitleRange=3\r\nPageSeparator=0\r\n"
                          "\r\n[Named]\r\nquot=0\r\n"
                          "\r\n[Files]\r\nSource=C:\\notes\\export.txt\r\nProduct=C:\\web\\notes.htm\r\n"));
}

}  // namespace
