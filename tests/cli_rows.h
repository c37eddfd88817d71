// The command line's table of rows, shared by its suites (cli_test.cpp,
// cli_site_test.cpp): the real program run with arguments, standard input
// and the settings file beside it; its exit status, standard output,
// standard error and the files it leaves, exactly. The same rows run
// natively and under Wine.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tests/test_support.h"
#include "toolkit/fs/product_lock.h"

namespace cli_rows {

#ifdef _WIN32
constexpr bool onWindows = true;
#else
constexpr bool onWindows = false;
#endif

const std::string bom = "\xEF\xBB\xBF";
const std::string usage = "usage: pagesmith-cli [OPTIONS] [SOURCE...]  (--help lists the options)\n";
// Templates from the current folder; no last template, so the first one
// (Other) is taken.
const char* const here = "[Template]\r\nDirectory=.\r\n";

inline std::string page(const std::string& body) { return bom + body; }

// A copy of the program in a folder of its own, so that each row decides
// the settings file beside it.
struct Program {
    ScratchDir dir;
    std::u16string path;
    std::u16string settings;
    Program();
};

Program& program();

// The folder a row runs in, with the files the rows name.
struct Work {
    ScratchDir dir;
    Work();
    ~Work();
    std::u16string path(const std::string& name) const;
};

// {missing}: the reason for a missing file; {/}: the path separator;
// {usage}: the usage line; {settings}: the settings file beside the program;
// {closed}: the reason a closed stream gives; {denied}: the reason for a file
// the user may not write; {busy}: a lock another process holds.
std::string expand(std::string text);

// Whether `actual` is `expected` with a time in seconds at each "{s}".
bool matchesWithSeconds(const std::string& expected, const std::string& actual);

enum Platforms { Both, PosixOnly, WindowsOnly };

struct Row {
    const char* behaviour;
    std::vector<std::string> arguments;
    const char* settings;  // Pagesmith.ini beside the program; nullptr: none
    std::string input;
    int status;
    std::string output;
    std::string error;
    // Files afterwards, relative to the row's folder; nullptr: absent.
    std::vector<std::pair<std::string, const char*>> files = {};
    const char* environment = nullptr;  // SOURCE_DATE_EPOCH for the row
    Platforms platforms = Both;
    int closedStream = -1;  // the child starts without this stream
    const char* held = nullptr;  // a product whose lock the test holds meanwhile, as another process
    ProductLockKind heldAs = ProductLockKind::Writing;
    bool (*prepare)(const Work&) = nullptr;  // false: the row cannot run here, and says why
};

// Runs each row for this platform in a fresh Work and checks what it gives.
void runRows(const std::vector<Row>& rows);

// Waits up to ten seconds for `path` to hold `bytes`.
bool waitForBytes(const std::u16string& path, const std::string& bytes);

// Whether a name of the product's hidden files (".NAME.pagesmith-...") is
// left in `folder`.
bool hiddenFilesLeft(const std::u16string& folder);

}  // namespace cli_rows
