#include "converter/escaping.h"

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
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
    const bool gt = (flags & EntityGt) != 0;
    const bool lt = (flags & EntityLt) != 0;
    const bool quot = (flags & EntityQuot) != 0;
    const char16_t* const begin = text.data();
    const char16_t* const end = begin + text.size();
    const char16_t* run = begin;
    for (const char16_t* p = begin; p != end; ++p) {
        const char16_t c = *p;
        if (c > u'>') continue;
        std::u16string_view entity;
        if (c == u'>' && gt) entity = u"&gt;";
        else if (c == u'<' && lt) entity = u"&lt;";
        else if (c == u'"' && quot) entity = u"&quot;";
        else continue;
        if (p != run) writeString(ProductFile, std::u16string_view(run, static_cast<std::size_t>(p - run)));
        writeString(ProductFile, entity);
        run = p + 1;
    }
    if (run != end) writeString(ProductFile, std::u16string_view(run, static_cast<std::size_t>(end - run)));
}
