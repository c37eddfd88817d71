#include "converter/page_lists.h"

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "toolkit/text_file/text_file.h"

using namespace std::literals;  // u""sv: views of known length

long long pageTitlesWritten = 0;
PageSplit* pageSplit = nullptr;

namespace {

// The single page's markup before the title, cut where one file ends and
// the next begins: the separator and the item's end stay with the page
// before, the new item's start goes to the new file, so that the files'
// notes joined give the very same bytes.
void splitBefore(int level, std::u16string_view title, bool separator) {
    if (separator) text_file::writeString(ProductFile, u"<hr><br>"sv);
    const bool sameLevel = level == listDepth;
    if (sameLevel) text_file::writeString(ProductFile, u"</li>"sv);
    pageSplit->split(level, title, listDepth, sameLevel);
    if (sameLevel) {
        text_file::writeString(ProductFile, u"<li>"sv);
        return;
    }
    for (; listDepth < level; ++listDepth) text_file::writeString(ProductFile, u"<ul><li>"sv);
}

}  // namespace

void nestLevel(int level) { nestLevel(level, {}); }

void nestLevel(int level, std::u16string_view title) {
    // Decided from the depth on entry: the first page of a body never gets one.
    const bool separator = listDepth != 0 && job.pageSeparator != 0;
    while (level < listDepth) {
        text_file::writeString(ProductFile, u"</li></ul>"sv);
        --listDepth;
    }
    if (level <= 0) return;
    ++pageTitlesWritten;
    if (pageSplit != nullptr && pageSplit->splitsAt(level)) {
        splitBefore(level, title, separator);
        return;
    }

    if (level == listDepth) {
        text_file::writeString(ProductFile, separator ? u"<hr><br></li><li>"sv : u"</li><li>"sv);
        if (pageSplit != nullptr) pageSplit->deeperTitle(level, title);
        return;
    }
    // A title several levels below the open lists opens one list per level
    // passed over, so the closing tags written later balance them.
    text_file::writeString(ProductFile, separator ? u"<hr><br><ul><li>"sv : u"<ul><li>"sv);
    for (++listDepth; listDepth < level; ++listDepth) text_file::writeString(ProductFile, u"<ul><li>"sv);
    if (pageSplit != nullptr) pageSplit->deeperTitle(level, title);
}
