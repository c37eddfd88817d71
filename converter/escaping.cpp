#include "converter/escaping.h"

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "toolkit/text_file/text_file.h"

namespace {

// The entities of the characters whose flags are on, in source lines only.
// Clean runs go to the file as they stand and each escaped character as its
// entity, in one pass: the same bytes as the three successive replacements,
// since no entity holds an escaped character.
const text_file::Replacements& entities() {
    static text_file::Replacements table;
    static std::int32_t madeFor = -1;
    const std::int32_t flags = inSource == 1 ? job.namedEntities & (EntityGt | EntityLt | EntityQuot) : 0;
    if (flags != madeFor) {
        table = text_file::Replacements();
        if (flags & EntityGt) text_file::addReplacement(table, u'>', "&gt;");
        if (flags & EntityLt) text_file::addReplacement(table, u'<', "&lt;");
        if (flags & EntityQuot) text_file::addReplacement(table, u'"', "&quot;");
        madeFor = flags;
    }
    return table;
}

}  // namespace

void writeText(std::u16string_view text) { text_file::writeReplacing(ProductFile, text, entities()); }

std::size_t writeTextUntil(std::u16string_view text, char16_t stop, std::u16string_view ending) {
    return text_file::writeReplacingUntil(ProductFile, text, stop, entities(), ending);
}
