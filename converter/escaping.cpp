#include "converter/escaping.h"

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/text_scan.h"
#include "toolkit/text_file.h"

void writeText(std::u16string_view text) {
    if (text.empty()) return;
    const std::int32_t flags = job.namedEntities;
    if (inSource != 1 || (flags & (EntityGt | EntityLt | EntityQuot)) == 0) {
        writeString(ProductFile, text);
        return;
    }
    // Clean runs go to the file as they stand and each escaped character as its
    // entity literal: no copy of the text, one pass instead of three. The three
    // entities hold none of the escaped characters, so one pass gives what the
    // three successive replacements would.
    // A character whose flag is off stands in for one whose flag is on, so
    // the scan looks for the same set.
    const char16_t gt = (flags & EntityGt) ? u'>' : (flags & EntityLt) ? u'<' : u'"';
    const char16_t lt = (flags & EntityLt) ? u'<' : gt;
    const char16_t quot = (flags & EntityQuot) ? u'"' : gt;
    const char16_t* const end = text.data() + text.size();
    const char16_t* run = text.data();
    for (;;) {
        const char16_t* hit = findFirstOf(run, end, gt, lt, quot);
        if (hit != run) writeString(ProductFile, std::u16string_view(run, static_cast<std::size_t>(hit - run)));
        if (hit == end) return;
        writeString(ProductFile, *hit == u'>' ? u"&gt;" : *hit == u'<' ? u"&lt;" : u"&quot;");
        run = hit + 1;
    }
}
