#include "converter/page_lists.h"

#include <string>

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "toolkit/text_file.h"

long long pageTitlesWritten = 0;

void nestLevel(int level) {
    // Decided from the depth on entry: the first page of a body never gets one.
    const bool separator = listDepth != 0 && job.pageSeparator != 0;
    while (level < listDepth) {
        text_file::writeString(ProductFile, u"</li></ul>");
        --listDepth;
    }
    if (level <= 0) return;
    ++pageTitlesWritten;

    static std::u16string markup;
    markup.clear();
    if (separator) markup += u"<hr><br>";
    if (level == listDepth) {
        markup += u"</li><li>";
    } else {
        // A title several levels below the open lists opens one list per level
        // passed over, so the closing tags written later balance them. A very
        // deep one goes out in parts rather than as one string in memory.
        for (; listDepth < level; ++listDepth) {
            markup += u"<ul><li>";
            if (markup.size() >= static_cast<std::size_t>(fileBufferSize)) {
                text_file::writeString(ProductFile, markup);
                markup.clear();
            }
        }
    }
    text_file::writeString(ProductFile, markup);
}
