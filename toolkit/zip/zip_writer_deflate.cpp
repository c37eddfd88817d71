// ZipWriter::add: the programs deflate each entry as they write it
// (deflate_stream.h). The web build leaves this file out.
#include <algorithm>

#include "toolkit/zip/deflate_stream.h"
#include "toolkit/zip/zip_writer.h"

namespace {
constexpr long bufferSize = 64 * 1024;
}

bool ZipWriter::add(const std::string& name, const Input& in) {
    bool ok = beginEntry(name);
    DeflateStream deflater;
    input_.resize(bufferSize);
    unsigned long size = 0;
    const DeflateStream::Output deflated = [this](const unsigned char* bytes, std::size_t count) {
        offset_ += static_cast<unsigned long>(count);
        return count == 0 || out_(bytes, static_cast<long>(count));
    };
    for (bool last = false; ok && !last;) {
        const long got = in(input_.data(), bufferSize);
        if (got < 0) ok = false;
        last = got <= 0;
        size += static_cast<unsigned long>(std::max(got, 0L));
        ok = ok && deflater.deflate(input_.data(), static_cast<std::size_t>(std::max(got, 0L)), last, deflated);
    }
    return endEntry(name, deflater.crc(), offset_ - dataStart_, size, ok);
}
