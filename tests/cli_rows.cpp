#include "tests/cli_rows.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mount.h>
#endif

#include "tests/child_process.h"
#include "toolkit/fs/paths.h"
#include "toolkit/process/system_error.h"
#include "toolkit/text/native_names.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file.h"

namespace cli_rows {

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr char16_t programName[] = u"pagesmith-cli.exe";
constexpr int closedReason = 6;  // ERROR_INVALID_HANDLE
constexpr int deniedReason = 5;  // ERROR_ACCESS_DENIED
constexpr int busyReason = ERROR_SHARING_VIOLATION;
#else
constexpr char16_t programName[] = u"pagesmith-cli";
constexpr int closedReason = EBADF;
constexpr int deniedReason = EACCES;
constexpr int busyReason = EWOULDBLOCK;
#endif

// The system's words for a missing file, as this platform gives them.
std::string missingFileReason() {
    ScratchDir dir;
    EXPECT_EQ(text_file::openRead(dir.path(u"absent")), FileId::none);
    return utf8FromText(text_file::lastFailureReason());
}

}  // namespace

std::string expand(std::string text) {
    const std::pair<std::string, std::string> names[] = {
        {"{missing}", missingFileReason()},
        {"{/}", onWindows ? "\\" : "/"},
        {"{usage}", usage},
        {"{settings}", utf8FromText(program().settings)},
        {"{closed}", utf8FromText(systemErrorText(closedReason))},
        {"{denied}", utf8FromText(systemErrorText(deniedReason))},
        {"{busy}", utf8FromText(systemErrorText(busyReason))},
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

Program::Program() : path(dir.path(programName)), settings(dir.path(u"Pagesmith.ini")) {
    fs::copy_file(fs::path(directoryPart(programFileName()) + programName), fs::path(path));
}

Program& program() {
    static Program copy;
    return copy;
}

Work::Work() {
    for (const char* folder : {"out", "t", "list", "site"}) fs::create_directory(fs::path(dir.nativePath(folder)));
    const std::pair<const char*, std::string> files[] = {
        {"Standard.tpl.txt", "<title>T</title>\r\n<body>[...]</body>"},
        {"Other.tpl.txt", "<p>[...]</p>"},
        {"t/nomark.tpl.txt", "<p>none</p>"},
        {"t/open.tpl.txt", "[...]\r\n[.Left open]"},
        {"t/curly.tpl.txt", "<p>{...}</p>\r\n<i>[...]</i>"},
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
        {"img.png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x06\0\0\0\x1f\xf3\xff", 32)},
        {"old.htm", "old page"},
        {"y", "[.Y]"},
        {"y.htm", "keep"},
        {"ro.htm", "old page"},
        {"site/.pagesmith-site", "made"},
        {"site/index.htm", "old"},
        {"site/stale.htm", "stale"},
        {"site/in.txt", "[.In]"},
    };
    for (const auto& file : files) writeBytes(path(file.first), file.second);
    // A Latin-1 name beside the name a decoder that drops bytes makes of it.
    if (!onWindows) {
        writeBytes(path("x\xE9.txt"), "[.Latin]");
        writeBytes(path("x\xEF\xBF\xBD.txt"), "[.Replaced]");
    }
    if (onWindows) fs::permissions(fs::path(path("ro.htm")), fs::perms::owner_write, fs::perm_options::remove);
}

Work::~Work() {
#ifndef _WIN32
    umount2(dir.nativePath("disk").c_str(), MNT_DETACH);  // fullDisk's
#endif
    std::error_code ignored;
    if (onWindows) fs::permissions(fs::path(path("ro.htm")), fs::perms::owner_write, fs::perm_options::add, ignored);
}

std::u16string Work::path(const std::string& name) const {
    std::u16string wideName = onWindows ? u16(name) : textFromNativeName(name);
    for (char16_t& c : wideName) {
        if (c == u'/') c = pathSeparator;
    }
    return dir.path(wideName);
}

void runRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        if ((row.platforms == PosixOnly && onWindows) || (row.platforms == WindowsOnly && !onWindows)) continue;
        SCOPED_TRACE(row.behaviour);
        Work work;
        if (row.prepare && !row.prepare(work)) continue;
        if (row.settings) writeBytes(program().settings, row.settings);
        else fs::remove(fs::path(program().settings));
        setEnvironmentVariable("SOURCE_DATE_EPOCH", row.environment ? row.environment : "");
        ProductLock held;
        if (row.held) {
            ASSERT_TRUE(lockProduct(work.path(row.held), row.heldAs, held) && held.handle != -1);
        }
        // "|sh" LINE: the shell runs LINE, with the program as $0.
        const bool throughShell = !row.arguments.empty() && row.arguments[0] == "|sh";
        ChildHandle child =
            throughShell ? startChild(u"/bin/sh", {"-c", row.arguments[1], utf8FromText(program().path)},
                                      work.dir.directory())
                         : startChild(program().path, row.arguments, work.dir.directory(), false, row.closedStream);
        ASSERT_TRUE(child);
        const ChildResult result = finishChild(*child, row.input);
        unlockProduct(held);
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
        EXPECT_FALSE(hiddenFilesLeft(work.dir.directory())) << "left behind";
        // The settings file is only ever read.
        if (row.settings) EXPECT_EQ(readBytes(program().settings), row.settings);
        else EXPECT_FALSE(fileExists(program().settings));
    }
}

bool waitForBytes(const std::u16string& path, const std::string& bytes) {
    for (int i = 0; i < 500; ++i) {
        if (readBytes(path) == bytes) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

bool hiddenFilesLeft(const std::u16string& folder) {
    for (const auto& entry : fs::directory_iterator(fs::path(folder))) {
        if (entry.path().filename().u8string().find(".pagesmith-") != std::string::npos) return true;
    }
    return false;
}

}  // namespace cli_rows
