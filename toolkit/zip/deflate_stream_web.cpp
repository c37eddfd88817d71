// The page's worker carries pako's zlib (its lib/zlib, pinned in
// web/package.json; make_engine_script.py gives it as pakoZlib) before the
// module's glue. pako reads and writes the module's memory itself: no bytes
// are copied on the way.
#include <emscripten.h>

#include <array>
#include <vector>

#include "toolkit/zip/deflate_stream.h"

// A site has tens of thousands of entries, and a fresh deflate state costs
// about 300 KB of zeroed arrays: one state serves every stream, reset for
// each. A fresh state's window is zeros, and the match search may compare up
// to 258 bytes past the input's end, so the part the last stream filled is
// zeroed again: the bytes are those of a fresh state. 1 when ready, else 0.
EM_JS(int, pagesmith_deflate_begin, (), {
    const zlib = pakoZlib.deflate;
    let stream = Module.pagesmithDeflateStream;
    if (!stream) {
        stream = new pakoZlib.ZStream();
        // Level 9, deflate, raw (window 2^15), memory level 8, default strategy.
        if (zlib.deflateInit2(stream, 9, 8, -15, 8, 0) !== 0) return 0;
        Module.pagesmithDeflateStream = stream;
    } else {
        const used = Math.min(stream.total_in, stream.state.window.length);
        if (zlib.deflateReset(stream) !== 0) return 0;
        stream.state.window.fill(0, 0, used);
    }
    return 1;
});

// The next bytes to deflate, read from the module's memory.
EM_JS(void, pagesmith_deflate_input, (const void* bytes, int count), {
    const stream = Module.pagesmithDeflateStream;
    stream.input = HEAPU8;
    stream.next_in = bytes;
    stream.avail_in = count;
});

// One round of zlib's deflate into `output` (`finish` as Z_FINISH): the
// bytes made, or -1 when the state is broken.
EM_JS(int, pagesmith_deflate_run, (void* output, int size, int finish), {
    const stream = Module.pagesmithDeflateStream;
    stream.output = HEAPU8;
    stream.next_out = output;
    stream.avail_out = size;
    // Z_STREAM_ERROR only: a round with nothing to do (Z_BUF_ERROR) is no failure.
    if (pakoZlib.deflate.deflate(stream, finish ? 4 : 0) === -2) return -1;
    return size - stream.avail_out;
});

namespace {

constexpr int outputSize = 64 * 1024;

// pako keeps its CRC-32 to itself: the zip's own, reflected 0xEDB88320.
std::uint32_t crcUpdate(std::uint32_t crc, const unsigned char* bytes, std::size_t count) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> made{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            made[n] = c;
        }
        return made;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < count; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

// One buffer for every stream: a site makes tens of thousands, one at a time.
std::vector<unsigned char>& outputBuffer() {
    static std::vector<unsigned char> output(outputSize);
    return output;
}

}  // namespace

struct DeflateStream::State {
    bool started = false;
};

DeflateStream::DeflateStream() : state_(new State) { state_->started = pagesmith_deflate_begin() != 0; }

DeflateStream::~DeflateStream() { delete state_; }

// zlib's own loop (deflate_stream_zlib.cpp): rounds until one leaves room
// in the output.
bool DeflateStream::deflate(const unsigned char* bytes, std::size_t count, bool last, const Output& out) {
    if (!state_->started) return false;
    crc_ = crcUpdate(crc_, bytes, count);
    pagesmith_deflate_input(bytes, static_cast<int>(count));
    std::vector<unsigned char>& output = outputBuffer();
    int made = 0;
    do {
        made = pagesmith_deflate_run(output.data(), outputSize, last ? 1 : 0);
        if (made < 0 || !out(output.data(), static_cast<std::size_t>(made))) return false;
    } while (made == outputSize);
    return true;
}
