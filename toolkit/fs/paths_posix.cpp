#include "toolkit/fs/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "toolkit/text/native_names.h"
#include "toolkit/text/strings.h"

extern const char16_t pathSeparator = u'/';

bool expandEnvironment(std::u16string_view path, std::u16string& expanded) {
    // The Windows rules: %NAME% of a set variable becomes its value; an unset
    // name is copied with both percent signs and the scan goes on behind them;
    // a percent sign without a partner is copied as it stands.
    std::u16string result;
    size_t i = 0;
    while (i < path.size()) {
        size_t open = path.find(u'%', i);
        if (open == std::u16string_view::npos) {
            result.append(path.substr(i));
            break;
        }
        result.append(path.substr(i, open - i));
        size_t close = path.find(u'%', open + 1);
        if (close == std::u16string_view::npos) {
            result.append(path.substr(open));
            break;
        }
        std::u16string_view name = path.substr(open + 1, close - open - 1);
        const char* value = name.empty() ? nullptr : std::getenv(nativeNameFromText(name).c_str());
        if (value) result += textFromNativeName(value);
        else result.append(path.substr(open, close - open + 1));
        i = close + 1;
    }
    expanded = std::move(result);
    return true;
}

namespace {

// Folds "." and ".." steps into one string: a ".." takes back the last step
// written, so no list of steps is kept. A relative path keeps the ".." steps
// that lead out of the folder it starts from.
std::u16string foldSteps(std::u16string_view path) {
    const bool absolute = path.front() == u'/';
    std::u16string result;
    result.reserve(path.size() + 1);
    std::size_t kept = 0;  // a relative path's leading ".." steps, never taken back
    std::u16string_view rest = path;
    while (!rest.empty()) {
        size_t slash = rest.find(u'/');
        std::u16string_view step = rest.substr(0, slash);
        rest = slash == std::u16string_view::npos ? std::u16string_view() : rest.substr(slash + 1);
        if (step.empty() || step == u".") continue;
        if (step == u".." && (result.size() > kept || absolute)) {
            size_t last = result.rfind(u'/');
            result.resize(last == std::u16string::npos || last < kept ? kept : last);
            continue;
        }
        if (absolute || !result.empty()) result += u'/';
        result.append(step);
        if (step == u"..") kept = result.size();
    }
    // Like the Windows call: a trailing separator stays, the root is "/".
    if (result.empty()) result = absolute ? u"/" : u".";
    if (path.back() == u'/' && result.back() != u'/') result += u'/';
    return result;
}

}  // namespace

bool fullPath(std::u16string_view path, std::u16string& full) {
    if (path.empty()) return false;
    if (path.front() == u'/') {
        full = foldSteps(path);
        return true;
    }
    std::vector<char> buffer(256);
    while (!getcwd(buffer.data(), buffer.size())) {
        if (errno != ERANGE) return false;
        buffer.resize(buffer.size() * 2);
    }
    std::u16string joined = textFromNativeName(buffer.data());
    joined += u'/';
    joined.append(path);
    full = foldSteps(joined);
    // In a working folder deeper than the system opens by its full name, a
    // relative name is the one that opens: it stays relative, folded.
    if (nativeNameFromText(full).size() >= PATH_MAX) full = foldSteps(path);
    return true;
}

bool samePath(std::u16string_view a, std::u16string_view b) { return a == b; }

std::u16string programFileName() {
    std::vector<char> buffer(256);
    for (;;) {
        ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return std::u16string();
        if (static_cast<size_t>(length) < buffer.size())
            return textFromNativeName(std::string_view(buffer.data(), static_cast<size_t>(length)));
        buffer.resize(buffer.size() * 2);
    }
}

namespace {

// The process's own arguments, program included, as the kernel keeps them.
std::vector<std::u16string> processArguments() {
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::u16string> arguments;
    size_t start = 0;
    while (start < raw.size()) {
        size_t end = raw.find('\0', start);
        if (end == std::string::npos) end = raw.size();
        arguments.push_back(textFromNativeName(std::string_view(raw).substr(start, end - start)));
        start = end + 1;
    }
    return arguments;
}

}  // namespace

// The shell has split the arguments already, so they are taken as they are;
// joining them into one line to split again would cut an argument that holds
// both a blank and a double quote. Quotes are dropped as on Windows.
std::u16string nextProgramParameter() {
    static size_t handedOut = 0;
    static const std::vector<std::u16string> arguments = processArguments();
    if (++handedOut >= arguments.size()) {
        handedOut = arguments.size();
        return std::u16string();
    }
    std::u16string parameter = arguments[handedOut];
    parameter.erase(std::remove(parameter.begin(), parameter.end(), u'"'), parameter.end());
    return parameter;
}
