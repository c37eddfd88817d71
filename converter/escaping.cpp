#include "converter/escaping.h"

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/text_scan.h"
#include "toolkit/text_file.h"

namespace {

// Writes the text up to the first `stop` character (when `stopping`) and
// returns that character's index, or the length.
std::size_t writePlain(std::u16string_view text, char16_t stop, bool stopping) {
    const char16_t* const begin = text.data();
    const char16_t* const end = begin + text.size();
    const std::int32_t flags = job.namedEntities;
    if (inSource != 1 || (flags & (EntityGt | EntityLt | EntityQuot)) == 0) {
        const char16_t* hit = stopping ? findChar(begin, end, stop) : end;
        if (hit != begin) text_file::writeString(ProductFile, std::u16string_view(begin, static_cast<std::size_t>(hit - begin)));
        return static_cast<std::size_t>(hit - begin);
    }
    // Clean runs go to the file as they stand and each escaped character as its
    // entity literal: no copy of the text, one pass instead of three. The three
    // entities hold none of the escaped characters, so one pass gives what the
    // three successive replacements would. A character whose flag is off
    // stands in for one whose flag is on, so the scan looks for the same set.
    const char16_t gt = (flags & EntityGt) ? u'>' : (flags & EntityLt) ? u'<' : u'"';
    const char16_t lt = (flags & EntityLt) ? u'<' : gt;
    const char16_t quot = (flags & EntityQuot) ? u'"' : gt;
    const char16_t first = stopping ? stop : gt;
    const char16_t* run = begin;
    for (;;) {
        const char16_t* hit = findFirstOf(run, end, first, gt, lt, quot);
        if (hit != run) text_file::writeString(ProductFile, std::u16string_view(run, static_cast<std::size_t>(hit - run)));
        if (hit == end || (stopping && *hit == stop)) return static_cast<std::size_t>(hit - begin);
        text_file::writeString(ProductFile, *hit == u'>' ? u"&gt;" : *hit == u'<' ? u"&lt;" : u"&quot;");
        run = hit + 1;
    }
}

}  // namespace

void writeText(std::u16string_view text) { writePlain(text, u'\0', false); }

std::size_t writeTextUntil(std::u16string_view text, char16_t stop) { return writePlain(text, stop, true); }
