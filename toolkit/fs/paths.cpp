#include "toolkit/fs/paths.h"

#include "toolkit/text_file/text_file_platform.h"

namespace {

bool isSlash(char16_t c) { return c == u'\\' || c == u'/'; }

}  // namespace

std::u16string directoryPart(std::u16string_view path) {
    if (!path.empty() && path.front() == u'"') path.remove_prefix(1);
    size_t end = 0;
    for (size_t i = 0; i < path.size() && path[i] != u'|'; ++i) {
        if (isSlash(path[i])) end = i + 1;
    }
    return std::u16string(path.substr(0, end));
}

std::u16string extensionPart(std::u16string_view path) {
    for (size_t i = path.size(); i-- > 0;) {
        char16_t c = path[i];
        if (c == u' ' || isSlash(c)) return std::u16string();
        if (c != u'.') continue;
        // A name that begins with "." (".profile") has no extension.
        if (i == 0 || isSlash(path[i - 1])) return std::u16string();
        std::u16string_view extension = path.substr(i + 1);
        size_t quote = extension.find(u'"');
        return std::u16string(extension.substr(0, quote));
    }
    return std::u16string();
}

bool isValidFileName(std::u16string_view name) {
    if (name.empty()) return false;
    for (char16_t c : name) {
        if (c < 32) return false;
        switch (c) {
        case u'"': case u'*': case u'/': case u':': case u'<':
        case u'>': case u'?': case u'\\': case u'|':
            return false;
        default:
            break;
        }
    }
    return true;
}

// Only the blank separates; a double quote switches blanks into the
// parameter until the next one, wherever in the parameter it stands, and
// every quote is dropped from the result.
std::u16string commandLineParameter(std::u16string_view commandLine, int index) {
    size_t i = 0;
    for (int current = 0;; ++current) {
        while (i < commandLine.size() && commandLine[i] == u' ') ++i;
        if (i >= commandLine.size() || index < 0) return std::u16string();
        std::u16string parameter;
        bool quoted = false;
        for (; i < commandLine.size(); ++i) {
            char16_t c = commandLine[i];
            if (c == u'"') {
                quoted = !quoted;
            } else if (c == u' ' && !quoted) {
                break;
            } else if (current == index) {
                parameter += c;
            }
        }
        if (current == index) return parameter;
    }
}

// The system's answer, whichever backend the text files use: the text files
// answer it too, so it lives with their system backend.
bool pathExists(const std::u16string& path) { return platform_file::systemPathExists(path); }
