// Files dropped on the main window: a real WM_DROPFILES, built here the way
// the file manager builds one (a DROPFILES block in movable global memory),
// posted to the window and pumped through the toolkit's queue.
#include "tests/win32/window_test_support.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

namespace {

// The paths one after another, each with its terminator, and one more at the
// end; in UTF-16, or in the ANSI code page when `wide` is false.
HDROP buildDrop(const std::vector<std::u16string>& paths, bool wide) {
    std::vector<char> names;
    for (const std::u16string& path : paths) {
        if (wide) {
            const char* bytes = reinterpret_cast<const char*>(path.c_str());
            names.insert(names.end(), bytes, bytes + (path.size() + 1) * sizeof(char16_t));
        } else {
            for (char16_t c : path) names.push_back(static_cast<char>(c));
            names.push_back('\0');
        }
    }
    names.resize(names.size() + (wide ? sizeof(char16_t) : 1), '\0');

    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + names.size());
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->pt = POINT{40, 130};
    header->fNC = FALSE;
    header->fWide = wide;
    std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), names.data(), names.size());
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

struct DropCase {
    const char* what;
    std::vector<std::u16string> paths;
    bool wide;
};

const DropCase dropCases[] = {
    {"one file", {u"C:\\Notes\\export.txt"}, true},
    {"the first of several", {u"C:\\Notes\\b.txt", u"C:\\Notes\\a.txt", u"D:\\c.txt"}, true},
    {"a template is a file like any other", {u"C:\\Templates\\Letter.tpl.txt"}, true},
    {"letters beyond ANSI", {u"C:\\Notizen\\\u00dcbersicht \u2713 \u65e5\u672c.txt"}, true},
    {"an ANSI drop", {u"C:\\Old notes\\export.txt"}, false},
};

TEST_F(MainWindowTest, DroppedFileBecomesTheSourceWithoutAnEvent) {
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_ACCEPTFILES)
        << "the window takes files from the file manager";
    for (const DropCase& drop : dropCases) {
        SCOPED_TRACE(drop.what);
        job.sourcePath = u"C:\\before.txt";
        setText(SourceField, u"typed, not chosen");
        pumpEvents();

        ASSERT_TRUE(PostMessageW(window, WM_DROPFILES,
                                 reinterpret_cast<WPARAM>(buildDrop(drop.paths, drop.wide)), 0));
        EXPECT_EQ(Events{}, pumpEvents()) << "a drop queues no event of its own";
        EXPECT_EQ(drop.paths.front(), textOf(handleOf(SourceField)));
        EXPECT_EQ(drop.paths.front(), job.sourcePath) << "as if chosen with \"..\"";
        EXPECT_EQ(0, SendMessageW(handleOf(TemplateList), CB_GETCOUNT, 0, 0))
            << "the template list is left alone";
    }
}

}  // namespace
