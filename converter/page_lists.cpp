#include "converter/page_lists.h"

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "toolkit/text_file/text_file.h"

using namespace std::literals;  // u""sv: views of known length

long long pageTitlesWritten = 0;

void nestLevel(int level) {
    // Decided from the depth on entry: the first page of a body never gets one.
    const bool separator = listDepth != 0 && job.pageSeparator != 0;
    while (level < listDepth) {
        text_file::writeString(ProductFile, u"</li></ul>"sv);
        --listDepth;
    }
    if (level <= 0) return;
    ++pageTitlesWritten;

    if (level == listDepth) {
        text_file::writeString(ProductFile, separator ? u"<hr><br></li><li>"sv : u"</li><li>"sv);
        return;
    }
    // A title several levels below the open lists opens one list per level
    // passed over, so the closing tags written later balance them.
    text_file::writeString(ProductFile, separator ? u"<hr><br><ul><li>"sv : u"<ul><li>"sv);
    for (++listDepth; listDepth < level; ++listDepth) text_file::writeString(ProductFile, u"<ul><li>"sv);
}
