// The site writer's parts, shared by its files: the template around each
// page, the navigation, the contents.
#pragma once

#include <string>
#include <string_view>

#include "converter/site_names.h"
#include "toolkit/text_file/text_file.h"

// The pages' template is read under file 3 beside the source (file 1) and
// the page (file 2), once per site as a rule; the contents wait in a file
// of their own.
constexpr FileId SiteTemplateFile{3};
constexpr FileId ContentsFile{4};
constexpr FileId BranchFile{5};

// The contents in waiting, inside the site's folder until the end.
constexpr std::u16string_view contentsWaitingName = u".contents.tmp";

// Writes the template's lines before its first marker into the page file,
// with "TITLE – TITLE FOR BROWSER" as the browser title (no title: the
// single page's, for index.htm), and the
// text before the marker. With `keepState` the converter's program-wide
// state is as before, so that a page's template leaves no trace on the
// notes; such pages' template is then read once and kept (up to a bound)
// until forgetTemplateLines. Returns false when the template has no marker
// or cannot be read (not reported).
bool writeTemplateHead(const std::u16string* title, bool keepState);

// The template from its first marker on: the text after the marker, then
// the lines below (later markers left empty).
void writeTemplateTail(const std::u16string* title, bool keepState);

// Forgets the pages' template read for the site before, so that the next
// site reads it anew (the template may have changed in between), and frees
// its room.
void forgetTemplateLines();

// One entry of the contents: a page title, its level and where it is.
struct ContentsEntry {
    int level = 0;
    std::u16string href;   // "0003-beta.htm" or "0003-beta.htm#p7"
    std::u16string title;  // as written in the page
};

// About what an entry costs in a contents file.
inline long long contentsEntryBytes(std::u16string_view href, std::u16string_view title) {
    return static_cast<long long>(utf8Size(href) + utf8Size(title)) + 40;
}

struct ContentsSize {
    long long all = 0;       // every entry
    long long top = 0;       // the first level's, and those before it
    long long limit = 0;     // what a contents file should stay under
};

// The contents tree from the waiting file: into the open page file when it
// all fits the limit; else, when its first level fits, that level there
// and each branch in "index-" + its page's name beside it; else the tree in
// groups of first-level pages with their branches, each group in "index-" +
// its first page's name, and index.htm a list of the groups. False on a
// failed write.
bool writeContents(const std::u16string& folder, const ContentsSize& size);
