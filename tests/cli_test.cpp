// The command-line front end: options over the stored settings, the product
// path it chooses, its exit statuses, and that it leaves the settings alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "converter/job_settings.h"
#include "tests/test_support.h"
#include "toolkit/paths.h"
#include "toolkit/strings.h"

namespace {

const std::string bom = "\xEF\xBB\xBF";

struct Cli {
    ScratchDir dir;
    CapturedErrors errors;
    std::u16string settings = dir.path(u"Pagesmith.ini");
    std::u16string templates = dir.directory();

    Cli() {
        writeBytes(dir.path(u"Standard.tpl.txt"), "<title>T</title>\r\n<body>[...]</body>");
        writeBytes(dir.path(u"Other.tpl.txt"), "<p>[...]</p>");
        writeBytes(dir.path(u"notes.txt"), "[.A]\r\ntext\r\n[..B]\r\n");
    }
    int run(std::vector<std::u16string> arguments) { return runCommandLine(arguments); }
    std::string product(const std::u16string& name) {
        std::string bytes = readBytes(dir.path(name));
        EXPECT_EQ(bytes.substr(0, 3), bom);
        return bytes.size() >= 3 ? bytes.substr(3) : bytes;
    }
};

TEST(CommandLine, UsageErrorsExitWithTwo) {
    static const std::vector<std::vector<std::u16string>> cases = {
        {},
        {u"--bogus", u"a.txt"},
        {u"--title-range", u"abc", u"a.txt"},
        {u"--title-range", u"99999999999", u"a.txt"},
        {u"a.txt", u"--title"},
        {u"a.txt", u"b.htm", u"c.htm"},
        {u""},
    };
    for (const auto& arguments : cases) {
        EXPECT_EQ(runCommandLine(arguments), 2) << arguments.size() << " arguments";
    }
}

TEST(CommandLine, UsageErrorsSayWhatWasWrong) {
    struct Case {
        std::vector<std::u16string> arguments;
        const char* firstLine;
    };
    static const Case cases[] = {
        {{}, "pagesmith-cli: no source file given"},
        {{u"--bogus", u"a.txt"}, "pagesmith-cli: unknown option --bogus"},
        {{u"--help=x"}, "pagesmith-cli: unknown option --help=x"},
        {{u"--title-range=1x", u"a.txt"}, "pagesmith-cli: not a whole number: 1x"},
        {{u"a.txt", u"--template"}, "pagesmith-cli: missing value for --template"},
        {{u"a", u"b", u"c"}, "pagesmith-cli: too many files: c"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(runCommandLine(c.arguments), 2) << c.firstLine;
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(out, "") << c.firstLine;
        EXPECT_EQ(err.substr(0, err.find('\n')), c.firstLine);
        EXPECT_NE(err.find("\nusage: pagesmith-cli [--settings FILE]"), std::string::npos) << c.firstLine;
    }
}

TEST(CommandLine, HelpAndVersionGoToStandardOutput) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(runCommandLine({u"--version"}), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "pagesmith-cli 0.73\n");

    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(runCommandLine({u"--help", u"ignored.txt"}), 0);
    const std::string help = testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(help.rfind("usage: pagesmith-cli [--settings FILE]", 0), 0u) << help;
    EXPECT_NE(help.find("  --no-separator      no separator lines\n"), std::string::npos) << help;
}

TEST(CommandLine, SettingsGiveTheDefaults) {
    Cli cli;
    writeBytes(cli.settings, "[Template]\r\nDirectory=" + utf8FromText(cli.templates) +
                                 "\r\nLast=Standard\r\n[Settings]\r\nTitleRange=2\r\nPageSeparator=0\r\n"
                                 "BrowserTitle=Stored\r\n");
    const std::string settingsBefore = readBytes(cli.settings);
    EXPECT_EQ(cli.run({u"--settings", cli.settings, cli.dir.path(u"notes.txt"), cli.dir.path(u"out")}), 0);
    EXPECT_EQ(escapeBytes(cli.product(u"out.htm")),
              escapeBytes("<title>Stored</title>\r\n<body><ul><li><h1>A</h1>\r\ntext<br>\r\n"
                          "<ul><li><h2>B</h2>\r\n</li></ul></li></ul></body>"));
    EXPECT_EQ(readBytes(cli.settings), settingsBefore);
    EXPECT_TRUE(cli.errors.messages.empty());
}

// The symbols and the named entities come from the settings file alone, as
// in the window program.
TEST(CommandLine, StoredSymbolsAndEntities) {
    Cli cli;
    writeBytes(cli.settings, "\xEF\xBB\xBF[Settings]\r\nTagStartSymbol={\r\nTagEndSymbol=}\r\nlevelSymbol=#\r\n"
                             "[Named]\r\ngt=0\r\nquot=0\r\n");
    writeBytes(cli.dir.path(u"curly.tpl.txt"), "<p>{...}</p>\r\n<i>[...]</i>");
    writeBytes(cli.dir.path(u"curly.txt"), "{#T}\r\n[b] {i}a<b>\"c\"{/i}\r\n{.x}\r\n");
    EXPECT_EQ(cli.run({u"--settings", cli.settings, u"--template-dir", cli.templates, u"--template", u"curly",
                       cli.dir.path(u"curly.txt")}),
              0);
    EXPECT_EQ(escapeBytes(cli.product(u"curly.htm")),
              escapeBytes("<p><ul><li><h1>T</h1>\r\n[b] <i>a&lt;b>\"c\"</i><br>\r\n<.x>\r\n</li></ul></p>"
                          "<i>[...]</i>\r\n"));
}

TEST(CommandLine, OptionsEndAtTheDoubleDash) {
    Cli cli;
    writeBytes(cli.dir.path(u"--odd.txt"), "odd");
    EXPECT_EQ(cli.run({u"--settings", cli.settings, u"--template-dir", cli.templates, u"--template", u"Other", u"--",
                       cli.dir.path(u"--odd.txt")}),
              0);
    EXPECT_EQ(cli.product(u"--odd.htm"), "<p>odd<br>\r\n</p>");
}

TEST(CommandLine, OptionsOverrideTheSettings) {
    Cli cli;
    writeBytes(cli.settings, "[Template]\r\nDirectory=/nowhere\r\nLast=Missing\r\n[Settings]\r\nTitleRange=2\r\n"
                             "PageSeparator=0\r\n");
    EXPECT_EQ(cli.run({u"--settings", cli.settings, u"--template-dir", cli.templates,
                       u"--template", u"Standard", u"--title=Given", u"--title-range", u"0", u"--separator",
                       cli.dir.path(u"notes.txt"), cli.dir.path(u"out.html")}),
              0);
    EXPECT_EQ(escapeBytes(cli.product(u"out.html")),
              escapeBytes("<title>Given</title>\r\n<body><ul><li><b>A</b><br>\r\ntext<br>\r\n"
                          "<hr><br><ul><li><b>B</b><br>\r\n</li></ul></li></ul></body>"));
}

TEST(CommandLine, TemplateDirectoryGetsItsSeparator) {
    Cli cli;
    std::u16string directory = cli.templates;
    directory.pop_back();
    EXPECT_EQ(cli.run({u"--settings", cli.settings, u"--template-dir", directory, u"--template", u"Other",
                       cli.dir.path(u"notes.txt"), cli.dir.path(u"o.htm")}),
              0);
    EXPECT_EQ(cli.product(u"o.htm"),
              "<p><ul><li><h1>A</h1>\r\ntext<br>\r\n<hr><br><ul><li><h1>B</h1>\r\n</li></ul></li></ul></p>");
}

TEST(CommandLine, ProductPathDefaults) {
    {
        // No product anywhere: beside the source, extension replaced.
        Cli cli;
        EXPECT_EQ(cli.run({u"--settings", cli.settings, u"--template-dir", cli.templates, u"--template", u"Other",
                           cli.dir.path(u"notes.txt")}),
                  0);
        EXPECT_TRUE(fileExists(cli.dir.path(u"notes.htm")));
        EXPECT_FALSE(fileExists(cli.settings));
    }
    {
        // The stored product, completed with ".htm".
        Cli cli;
        writeBytes(cli.settings, "[Files]\r\nProduct=" + utf8FromText(cli.dir.path(u"stored")) + "\r\n");
        EXPECT_EQ(cli.run({u"--settings", cli.settings, u"--template-dir", cli.templates, u"--template", u"Other",
                           cli.dir.path(u"notes.txt")}),
                  0);
        EXPECT_TRUE(fileExists(cli.dir.path(u"stored.htm")));
        EXPECT_FALSE(fileExists(cli.dir.path(u"notes.htm")));
    }
    {
        // A source without an extension gets ".htm" appended.
        Cli cli;
        writeBytes(cli.dir.path(u"plain"), "x");
        EXPECT_EQ(cli.run({u"--settings", cli.settings, u"--template-dir", cli.templates, u"--template", u"Other",
                           cli.dir.path(u"plain")}),
                  0);
        EXPECT_EQ(cli.product(u"plain.htm"), "<p>x<br>\r\n</p>");
    }
}

TEST(CommandLine, RelativePathsStartAtTheCurrentFolder) {
    Cli cli;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::path(cli.dir.directory()));
    const int status = cli.run({u"--settings", u"Pagesmith.ini", u"--template-dir", u".", u"--template", u"Other",
                                u"notes.txt", u"sub.old"});
    std::filesystem::current_path(before);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(cli.product(u"sub.old"), "<p><ul><li><h1>A</h1>\r\ntext<br>\r\n<hr><br><ul><li><h1>B</h1>\r\n</li></ul></li></ul></p>");
    EXPECT_TRUE(cli.errors.messages.empty());
}

TEST(CommandLine, FailedConversionsExitWithOne) {
    struct Case {
        const char* name;
        const char* templateName;
        const char16_t* source;
        const char16_t* product;
        const char* message;
    };
    static const Case cases[] = {
        {"missing source", "Other", u"absent.txt", u"o.htm", "Source not found"},
        {"missing template", "Absent", u"notes.txt", u"o.htm", "Cannot read template file"},
        {"product is the source", "Other", u"notes.txt", u"notes.txt",
         "Product file must differ from source and template"},
        {"product is the template", "Other", u"notes.txt", u"Other.tpl.txt",
         "Product file must differ from source and template"},
        {"default product is the source", "Other", u"notes.htm", nullptr,
         "Product file must differ from source and template"},
    };
    for (const Case& c : cases) {
        Cli cli;
        writeBytes(cli.dir.path(u"notes.htm"), "export");
        std::vector<std::u16string> arguments = {u"--settings", cli.settings,           u"--template-dir",
                                                 cli.templates, u"--template",          u16(c.templateName),
                                                 cli.dir.path(c.source)};
        if (c.product) arguments.push_back(cli.dir.path(c.product));
        EXPECT_EQ(cli.run(arguments), 1) << c.name;
        ASSERT_EQ(cli.errors.messages.size(), 1u) << c.name;
        EXPECT_EQ(utf8FromText(cli.errors.messages[0]), c.message) << c.name;
        EXPECT_EQ(readBytes(cli.dir.path(u"notes.txt")), "[.A]\r\ntext\r\n[..B]\r\n") << c.name;
        EXPECT_EQ(readBytes(cli.dir.path(u"notes.htm")), "export") << c.name;
        EXPECT_EQ(readBytes(cli.dir.path(u"Other.tpl.txt")), "<p>[...]</p>") << c.name;
    }
}

TEST(CommandLine, EachRunStartsFromProgramStart) {
    Cli cli;
    writeBytes(cli.dir.path(u"open.tpl.txt"), "[...]\r\n[.Left open]");
    const std::vector<std::u16string> arguments = {u"--settings", cli.settings,     u"--template-dir",
                                                   cli.templates, u"--template",     u"open",
                                                   cli.dir.path(u"notes.txt"), cli.dir.path(u"a.htm")};
    EXPECT_EQ(cli.run(arguments), 0);
    const std::string first = cli.product(u"a.htm");
    EXPECT_EQ(cli.run(arguments), 0);
    EXPECT_EQ(cli.product(u"a.htm"), first);
}

}  // namespace
