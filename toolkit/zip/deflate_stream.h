// Raw deflate (no zlib wrapper) at level 9, window 2^15, memory level 8, the
// zip's method 8, with the CRC-32 of the bytes deflated: zlib in the
// programs (deflate_stream_zlib.cpp). The web page's worker deflates with
// zlib's JavaScript port pako in the same way (web/engine/worker_deflaters.js),
// for the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

class DeflateStream {
public:
    // Takes each run of deflated bytes as it is ready; false stops the stream.
    using Output = std::function<bool(const unsigned char* bytes, std::size_t count)>;

    DeflateStream();
    ~DeflateStream();
    DeflateStream(const DeflateStream&) = delete;
    DeflateStream& operator=(const DeflateStream&) = delete;

    // Deflates `count` bytes; `last` ends the stream and hands out the rest.
    // False when the deflate could not start or `out` refused.
    bool deflate(const unsigned char* bytes, std::size_t count, bool last, const Output& out);
    // The CRC-32 of every byte given so far.
    std::uint32_t crc() const { return crc_; }

private:
    struct State;
    State* state_;
    std::uint32_t crc_ = 0;
};
