#include "toolkit/fs/paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "toolkit/text/strings.h"

namespace {

struct PartCase {
    const char* path;
    const char* expected;
};

TEST(Paths, DirectoryPart) {
    const PartCase cases[] = {
        {"C:\\Tools\\conv.exe", "C:\\Tools\\"},
        {"/usr/bin/conv", "/usr/bin/"},
        {"C:\\a/b\\c", "C:\\a/b\\"},
        {"conv.exe", ""},
        {"", ""},
        {"\"C:\\My Tools\\conv.exe\"", "C:\\My Tools\\"},
        {"\"conv.exe\"", ""},
        {"C:\\x\\y|C:\\z\\w", "C:\\x\\"},
        {"C:\\x\\", "C:\\x\\"},
        {"C:\\x\\|", "C:\\x\\"},
        {"|C:\\x\\", ""},
        {"\"|x\\", ""},
        {"a|b\\c", ""},
        {"\"\"C:\\x\\y", "\"C:\\x\\"},
        {"\"C:\\a b\\x.htm\" C:\\z\\w", "C:\\a b\\x.htm\" C:\\z\\"},
        {"\\", "\\"},
        {"\"", ""},
    };
    for (const PartCase& c : cases) {
        EXPECT_EQ(utf8FromText(directoryPart(u16(c.path))), c.expected) << c.path;
    }
}

TEST(Paths, ExtensionPart) {
    const PartCase cases[] = {
        {"a.htm", "htm"},
        {"report", ""},
        {"C:\\my.dir\\report", ""},
        {"C:\\x\\.profile", ""},
        {"/x/.profile", ""},
        {".profile", ""},
        {"notes.old final", ""},
        {"archive.tar.gz", "gz"},
        {"C:\\x\\a.HTML", "HTML"},
        {"\"C:\\x\\a.htm\"", "htm"},
        {"a.", ""},
        {"", ""},
        {"C:\\a b\\x.htm", "htm"},
        {"\"C:\\a b\\x.htm\" y", ""},
        {"x.h\"tm", "h"},
        {"x.htm\"", "htm"},
        {"a/.", ""},
        {"a..b", "b"},
        {"C:\\x.y\\z", ""},
        {"C:\\x.y/z", ""},
        {".", ""},
        {"a.b c", ""},
        {"a.b\tc", "b\tc"},
        {"a.|b", "|b"},
    };
    for (const PartCase& c : cases) {
        EXPECT_EQ(utf8FromText(extensionPart(u16(c.path))), c.expected) << c.path;
    }
}

TEST(Paths, IsValidFileName) {
    const char* const valid[] = {"notes.txt", "a b", ".profile", "x\x7F", "\xC3\xA4.txt", " "};
    for (const char* name : valid) EXPECT_TRUE(isValidFileName(u16(name))) << name;

    const char* const invalid[] = {"",     "*.*",  "a?",  "a\"b", "a/b", "a\\b", "C:",
                                   "a<b",  "a>b",  "a|b", "a\tb", "\x1F"};
    for (const char* name : invalid) EXPECT_FALSE(isValidFileName(u16(name))) << name;
    EXPECT_FALSE(isValidFileName(std::u16string(1, u'\0')));
}

struct SplitCase {
    const char* commandLine;
    std::vector<const char*> parameters;  // index 0 is the program
};

TEST(Paths, CommandLineParameter) {
    const SplitCase cases[] = {
        {"prog \"C:\\My Files\\a.txt\" second", {"prog", "C:\\My Files\\a.txt", "second"}},
        {"prog   a    b   ", {"prog", "a", "b"}},
        {"  prog a", {"prog", "a"}},
        {"prog a\tb c", {"prog", "a\tb", "c"}},
        {"prog a\"b c\"d e", {"prog", "ab cd", "e"}},
        {"prog \"a b\"c d", {"prog", "a bc", "d"}},
        {"prog \"open to the end", {"prog", "open to the end"}},
        {"\"C:\\Program Files\\p.exe\" x", {"C:\\Program Files\\p.exe", "x"}},
        {"prog \"\" x", {"prog", "", "x"}},
        {"", {}},
        {"   ", {}},
        {"prog\ta b", {"prog\ta", "b"}},
        {"\tprog a", {"\tprog", "a"}},
        {"prog\t", {"prog\t"}},
        {"prog a\"\"b", {"prog", "ab"}},
        {"prog \"a\"\"b c\"", {"prog", "ab c"}},
        {"prog a\"b c", {"prog", "ab c"}},
        {"prog \"\"\"a b\"", {"prog", "a b"}},
        {"prog x\"\"\"y z\" w", {"prog", "xy z", "w"}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.commandLine);
        std::u16string line = u16(c.commandLine);
        int index = 0;
        for (const char* expected : c.parameters) {
            EXPECT_EQ(utf8FromText(commandLineParameter(line, index)), expected) << index;
            ++index;
        }
        EXPECT_EQ(commandLineParameter(line, index), u"");
        EXPECT_EQ(commandLineParameter(line, index + 5), u"");
        EXPECT_EQ(commandLineParameter(line, -1), u"");
    }
}

TEST(Paths, NextProgramParameterWalksThisProcessesArguments) {
    std::vector<std::string> arguments = ::testing::internal::GetArgvs();
    for (size_t i = 1; i < arguments.size(); ++i) {
        std::string expected = arguments[i];
#ifdef _WIN32
        // The C runtime splits quotes by rules this program does not follow.
        if (expected.find('"') != std::string::npos) GTEST_SKIP() << "an argument with quotes";
#endif
        expected.erase(std::remove(expected.begin(), expected.end(), '"'), expected.end());
        EXPECT_EQ(utf8FromText(nextProgramParameter()), expected);
    }
    EXPECT_EQ(nextProgramParameter(), u"");
    EXPECT_EQ(nextProgramParameter(), u"");
}

#ifndef _WIN32
// Runs the test above in a child with arguments that hold blanks, quotes and
// tabs; the child checks each against what the shell handed it.
TEST(Paths, NextProgramParameterKeepsArgumentsWithBlanksAndQuotes) {
    std::string command = "'" + utf8FromText(programFileName()) +
                          "' --gtest_filter=Paths.NextProgramParameterWalksThisProcessesArguments"
                          " 'a\"b c' '' 'x y' '\"q\"' 'tab\there' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}
#endif

TEST(Paths, ProgramFileName) {
    std::u16string name = programFileName();
    EXPECT_TRUE(pathExists(name)) << utf8FromText(name);
    EXPECT_NE(findText(lowerCase(name), u"paths_test", 1), 0) << utf8FromText(name);
    EXPECT_NE(leftPart(name, 4), u"\\\\?\\");
    EXPECT_FALSE(directoryPart(name).empty());
    std::u16string full;
    ASSERT_TRUE(fullPath(name, full));
    EXPECT_TRUE(samePath(full, name));
}

TEST(Paths, ExpandEnvironment) {
    const char* pathValue = std::getenv("PATH");
    ASSERT_NE(pathValue, nullptr);
    std::u16string path = u16(pathValue);
    const std::u16string unknown = u"%PAGESMITH_SURELY_UNSET_7%";
    const std::u16string longPrefix(600, u'x');
    struct Case {
        std::u16string in, out;
    } cases[] = {
        {u"", u""},
        {u"plain\\text", u"plain\\text"},
        {u"%PATH%", path},
        {u"a%PATH%b%PATH%", u"a" + path + u"b" + path},
        {unknown + u"\\x", unknown + u"\\x"},
        {u"50% off", u"50% off"},
        {u"%%", u"%%"},
        {u"%PATH", u"%PATH"},
        {longPrefix + u"%PATH%", longPrefix + path},
    };
    for (const Case& c : cases) {
        std::u16string expanded = u"stale";
        EXPECT_TRUE(expandEnvironment(c.in, expanded)) << utf8FromText(c.in);
        EXPECT_EQ(expanded, c.out) << utf8FromText(c.in);
    }
}

TEST(Paths, FullPathFoldsStepsAndCompletesRelativePaths) {
    ScratchDir dir;
    const std::u16string base = dir.directory();  // absolute, ends in the separator
    const std::u16string s(1, pathSeparator);
    struct Case {
        std::u16string in, out;
    } cases[] = {
        {base + u"a" + s + u"." + s + u"b" + s + u".." + s + u"c", base + u"a" + s + u"c"},
        {base + u"a" + s + s + s + u"b", base + u"a" + s + u"b"},
        {base + u"a" + s, base + u"a" + s},
        {base + u"a" + s + u"..", leftPart(base, textLength(base) - 1)},
        {base, base},
    };
    for (const Case& c : cases) {
        std::u16string full;
        ASSERT_TRUE(fullPath(c.in, full)) << utf8FromText(c.in);
        EXPECT_EQ(full, c.out) << utf8FromText(c.in);
    }

    std::u16string cwd = std::filesystem::current_path().u16string();
    if (rightPart(cwd, 1) != s) cwd += s;
    std::u16string full;
    ASSERT_TRUE(fullPath(u"rel.txt", full));
    EXPECT_EQ(full, cwd + u"rel.txt");
    ASSERT_TRUE(fullPath(u"." + s + u"sub" + s + u".." + s + u"rel.txt", full));
    EXPECT_EQ(full, cwd + u"rel.txt");
    EXPECT_FALSE(fullPath(u"", full));
}

TEST(Paths, SamePathAndPathExists) {
    ScratchDir dir;
    std::u16string file = dir.path(u"Notes.txt");
    writeBytes(file, "x");
    EXPECT_TRUE(pathExists(file));
    EXPECT_TRUE(pathExists(dir.directory()));
    EXPECT_FALSE(pathExists(dir.path(u"missing.txt")));
    EXPECT_FALSE(pathExists(u""));

    EXPECT_TRUE(samePath(file, file));
    EXPECT_FALSE(samePath(file, dir.path(u"Notes.txt2")));
    EXPECT_FALSE(samePath(file, dir.path(u"Notez.txt")));
    // Only Windows compares file names without regard to case.
    EXPECT_EQ(samePath(file, lowerCase(file)), pathSeparator == u'\\');
}

}  // namespace
