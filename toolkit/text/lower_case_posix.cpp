// Lower-casing without a platform service: the simple Unicode mapping of the
// BMP from a generated table, which agrees with Windows for the scripts the
// program's texts use.
#include "toolkit/text/strings.h"

#include "toolkit/text/lower_case_table.inc"

char16_t lowerCaseChar(char16_t c) {
    return static_cast<char16_t>(c + lowerCaseDelta[lowerCasePage[c >> 8]][c & 0xFF]);
}

std::u16string lowerCase(std::u16string_view text) {
    std::u16string lowered(text);
    for (char16_t& c : lowered) c = lowerCaseChar(c);
    return lowered;
}
