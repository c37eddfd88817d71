// The page's worker carries pako (its dist/pako_deflate.min.js, pinned in
// tests/web/package.json) before the module's glue; the deflated bytes wait
// there in pako's chunks until the module takes them.
#include <emscripten.h>

#include <array>
#include <vector>

#include "toolkit/zip/deflate_stream.h"

EM_JS(int, pagesmith_deflate_begin, (), {
    Module.pagesmithDeflated = [];
    // Most of a site's files are small; pako makes a chunk anew for each.
    // The chunks' size does not change the deflated bytes.
    Module.pagesmithDeflate = new pako.Deflate({level: 9, windowBits: -15, memLevel: 8, strategy: 0, chunkSize: 16384});
    Module.pagesmithDeflate.onData = (chunk) => Module.pagesmithDeflated.push(chunk);
    return Module.pagesmithDeflate.err === 0 ? 1 : 0;
});

// Deflates the bytes; the bytes now ready, or -1 on a failure.
EM_JS(double, pagesmith_deflate_push, (const void* bytes, int count, int last), {
    const deflate = Module.pagesmithDeflate;
    if (!deflate.push(HEAPU8.subarray(bytes, bytes + count), last ? true : false) && deflate.err !== 0) return -1;
    return Module.pagesmithDeflated.reduce((sum, chunk) => sum + chunk.length, 0);
});

// Moves up to `count` ready bytes into the module's memory; how many.
EM_JS(int, pagesmith_deflate_take, (void* bytes, int count), {
    let taken = 0;
    const chunks = Module.pagesmithDeflated;
    while (taken < count && chunks.length > 0) {
        const chunk = chunks[0];
        const take = Math.min(count - taken, chunk.length);
        HEAPU8.set(chunk.subarray(0, take), bytes + taken);
        taken += take;
        if (take === chunk.length) chunks.shift();
        else chunks[0] = chunk.subarray(take);
    }
    return taken;
});

EM_JS(void, pagesmith_deflate_end, (), {
    Module.pagesmithDeflate = null;
    Module.pagesmithDeflated = [];
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

}  // namespace

// One buffer for every stream: a site makes tens of thousands, one at a time.
std::vector<unsigned char>& outputBuffer() {
    static std::vector<unsigned char> output(outputSize);
    return output;
}

struct DeflateStream::State {
    bool started = false;
};

DeflateStream::DeflateStream() : state_(new State) { state_->started = pagesmith_deflate_begin() != 0; }

DeflateStream::~DeflateStream() {
    pagesmith_deflate_end();
    delete state_;
}

bool DeflateStream::deflate(const unsigned char* bytes, std::size_t count, bool last, const Output& out) {
    if (!state_->started) return false;
    crc_ = crcUpdate(crc_, bytes, count);
    if (pagesmith_deflate_push(bytes, static_cast<int>(count), last ? 1 : 0) < 0) return false;
    std::vector<unsigned char>& output = outputBuffer();
    for (int got; (got = pagesmith_deflate_take(output.data(), outputSize)) > 0;) {
        if (!out(output.data(), static_cast<std::size_t>(got))) return false;
    }
    return true;
}
