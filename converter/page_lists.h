#pragma once

#include <string_view>

// Writes the list markup that leads from the open page lists to a page title
// of `level` (1 = top level); level 0 closes every open list.
void nestLevel(int level);

// The same for the page title `title`: where a site is being written
// (converter/site_writer.h) a title of a split level starts a file of its
// own. Without a site it writes exactly what nestLevel(level) writes.
void nestLevel(int level, std::u16string_view title);

// The site writer's hook: asked at each page title whether the page gets a
// file of its own, and told to close the current file and open the next
// one. Null while a single page is written.
struct PageSplit {
    virtual bool splitsAt(int level) = 0;
    // The open lists of the current file are `openLists` deep; the closing
    // and reopening markup of the split is the hook's to write.
    virtual void split(int level, std::u16string_view title, int openLists, bool innermostClosed) = 0;
    // A title that stays in the current file, its list markup written.
    virtual void deeperTitle(int level, std::u16string_view title) = 0;
    // Inside that title's tag, before its text: where its anchor goes, so
    // that the list item still starts with the title.
    virtual void insideTitle() = 0;
};
extern PageSplit* pageSplit;

// Page titles written since the program started, for the command line's
// report; it never changes what is written.
extern long long pageTitlesWritten;
