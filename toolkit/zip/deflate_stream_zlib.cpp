#include <zlib.h>

#include <new>
#include <vector>

#include "toolkit/zip/deflate_stream.h"

namespace {
constexpr unsigned outputSize = 64 * 1024;
}

struct DeflateStream::State {
    z_stream stream{};
    bool started = false;
    std::vector<unsigned char> output = std::vector<unsigned char>(outputSize);
};

DeflateStream::DeflateStream() : state_(new State) {
    state_->started = deflateInit2(&state_->stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    crc_ = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
}

DeflateStream::~DeflateStream() {
    if (state_->started) deflateEnd(&state_->stream);
    delete state_;
}

bool DeflateStream::deflate(const unsigned char* bytes, std::size_t count, bool last, const Output& out) {
    if (!state_->started) return false;
    z_stream& stream = state_->stream;
    crc_ = static_cast<std::uint32_t>(crc32(crc_, bytes, static_cast<uInt>(count)));
    stream.next_in = const_cast<unsigned char*>(bytes);
    stream.avail_in = static_cast<uInt>(count);
    do {
        stream.next_out = state_->output.data();
        stream.avail_out = outputSize;
        ::deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
        if (!out(state_->output.data(), outputSize - stream.avail_out)) return false;
    } while (stream.avail_out == 0);
    return true;
}
