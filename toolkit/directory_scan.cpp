#include "toolkit/directory_scan.h"

#include "toolkit/strings.h"

namespace {

bool matchFrom(std::u16string_view pattern, std::u16string_view name) {
    // Greedy scan that returns to the last "*" on a mismatch: linear enough
    // for file names and free of the exponential recursion.
    size_t p = 0, n = 0;
    size_t starPattern = std::u16string_view::npos, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starPattern = p++;
            starName = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == u'?' || lowerCaseChar(pattern[p]) == lowerCaseChar(name[n]))) {
            ++p;
            ++n;
        } else if (starPattern != std::u16string_view::npos) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

}  // namespace

bool wildcardMatch(std::u16string_view pattern, std::u16string_view name) {
    if (matchFrom(pattern, name)) return true;
    size_t size = pattern.size();
    return size >= 2 && pattern[size - 2] == u'.' && pattern[size - 1] == u'*' &&
           matchFrom(pattern.substr(0, size - 2), name);
}
