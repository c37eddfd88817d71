// Standard streams under file numbers, the encoding of unmarked files, and
// the reason of the last failure: what a command line needs of the text
// files beyond named files on disk.
#include "toolkit/text_file/text_file_streams.h"

#include <map>

#include "toolkit/process/system_error.h"

namespace text_file {

namespace {

struct Binding {
    bool standard = true;
    StandardStream stream = StandardStream::Output;
    platform_file::Handle handle = 0;  // when not standard
    std::int64_t written = 0;
};

std::map<int, Binding> bindings;
std::map<int, TextEncoding> unmarkedEncodings;
int lastFailure = 0;

}  // namespace

void bindStandardStream(FileId id, StandardStream stream) {
    Binding binding;
    binding.stream = stream;
    bindings[static_cast<int>(id)] = binding;
}

void bindStream(FileId id, std::intptr_t handle) {
    Binding binding;
    binding.standard = false;
    binding.handle = handle;
    bindings[static_cast<int>(id)] = binding;
}

void unbindStandardStreams() { bindings.clear(); }

std::int64_t boundBytesWritten(FileId id) {
    const auto it = bindings.find(static_cast<int>(id));
    return it == bindings.end() ? -1 : it->second.written;
}

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
    if (it == bindings.end()) return false;
    if (it->second.standard) return platform_file::standardHandle(it->second.stream, handle);
    handle = it->second.handle;
    return true;
}

void noteBoundBytes(int number, std::int64_t bytes) {
    const auto it = bindings.find(number);
    if (it != bindings.end()) it->second.written += bytes;
}

TextEncoding encodingWithoutMark(int number) {
    const auto it = unmarkedEncodings.find(number);
    return it == unmarkedEncodings.end() ? TextEncoding::Ansi : it->second;
}

void noteFailure() { lastFailure = lastSystemError(); }

}  // namespace text_file
