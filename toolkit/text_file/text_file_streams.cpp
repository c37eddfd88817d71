// Standard streams under file numbers, the encoding of unmarked files, and
// the reason of the last failure: what a command line needs of the text
// files beyond named files on disk.
#include "toolkit/text_file/text_file_streams.h"

#include <map>

#include "toolkit/process/system_error.h"

namespace text_file {

namespace {

std::map<int, StandardStream> bindings;
std::map<int, TextEncoding> unmarkedEncodings;
int lastFailure = 0;

}  // namespace

void bindStandardStream(FileId id, StandardStream stream) { bindings[static_cast<int>(id)] = stream; }

void unbindStandardStreams() { bindings.clear(); }

void setEncodingWithoutMark(FileId id, TextEncoding encoding) {
    unmarkedEncodings[static_cast<int>(id)] = encoding;
}

const NamedEncoding namedEncodings[4] = {{"ansi", TextEncoding::Ansi},
                                         {"utf-8", TextEncoding::Utf8},
                                         {"utf-16le", TextEncoding::Utf16LE},
                                         {"utf-16be", TextEncoding::Utf16BE}};

bool encodingNamed(std::string_view name, TextEncoding& encoding) {
    for (const NamedEncoding& named : namedEncodings) {
        if (name.size() != named.name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i) {
            const char c = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] + 32) : name[i];
            same = c == named.name[i];
        }
        if (same) {
            encoding = named.encoding;
            return true;
        }
    }
    return false;
}

std::u16string lastFailureReason() { return systemErrorText(lastFailure); }

bool boundHandle(int number, platform_file::Handle& handle) {
    const auto it = bindings.find(number);
    return it != bindings.end() && platform_file::standardHandle(it->second, handle);
}

TextEncoding encodingWithoutMark(int number) {
    const auto it = unmarkedEncodings.find(number);
    return it == unmarkedEncodings.end() ? TextEncoding::Ansi : it->second;
}

void noteFailure() { lastFailure = lastSystemError(); }

}  // namespace text_file
