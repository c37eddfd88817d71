// The buffer model of an open text file: bytes read ahead and held for
// writing, and the switch between the two. Everything observable about buffering and positions is
// decided here; the platform file only moves bytes.
#include "toolkit/text_file/text_file_buffer.h"

#include <cstring>

#include "toolkit/text_file/text_file_streams.h"

namespace text_file {

namespace {

// Hands bytes to the system, retrying a short write once more for the rest;
// returns what the system took and notes any shortfall.
std::int32_t writeToSystem(TextFile& f, const unsigned char* bytes, std::int32_t count) {
    std::int32_t total = 0;
    while (total < count) {
        std::int32_t put = platform_file::write(f.handle, bytes + total, count - total);
        if (put <= 0) break;
        total += put;
    }
    f.systemBytesWritten += total;
    if (total < count) {
        f.writeFailed = true;
        noteFailure();
    }
    return total;
}

// A failed system read is remembered, and nothing is read after it.
std::int32_t readFromSystem(TextFile& f, unsigned char* bytes, std::int32_t count) {
    if (f.readFailed) return 0;
    const std::int32_t got = platform_file::read(f.handle, bytes, count);
    if (got >= 0) return got;
    f.readFailed = true;
    noteFailure();
    return 0;
}

}  // namespace

void writeOutBuffer(TextFile& f) {
    if (f.readingState || f.held == 0) return;
    const std::int32_t held = f.held;
    f.held = 0;
    writeToSystem(f, f.buffer.get(), held);
}

void switchToReading(TextFile& f) {
    writeOutBuffer(f);
    f.readingState = true;
    f.remaining = 0;
    f.filled = 0;
}

void switchToWriting(TextFile& f) {
    if (f.remaining > 0) {
        std::int64_t at = platform_file::tell(f.handle);
        if (at >= 0) platform_file::seekTo(f.handle, at - f.remaining);
    }
    f.readingState = false;
    f.remaining = 0;
    f.filled = 0;
    f.held = 0;
}

bool refill(TextFile& f) {
    ++f.refills;
    f.filled = readFromSystem(f, f.buffer.get(), systemChunkSize);
    while (f.standardStream && f.filled > 0 && f.filled < systemChunkSize) {
        const std::int32_t more = readFromSystem(f, f.buffer.get() + f.filled, systemChunkSize - f.filled);
        if (more <= 0) break;
        f.filled += more;
    }
    f.remaining = f.filled;
    return f.filled > 0;
}

bool refillKeeping(TextFile& f) {
    ++f.refills;
    const std::int32_t keep = f.remaining;
    std::memmove(f.buffer.get(), unread(f), static_cast<std::size_t>(keep));
    const std::int32_t got = readFromSystem(f, f.buffer.get() + keep, systemChunkSize - keep);
    f.filled = keep + got;
    f.remaining = f.filled;
    return got > 0;
}

std::int64_t logicalPosition(const TextFile& f) {
    std::int64_t at = platform_file::tell(f.handle);
    if (at < 0) return -1;
    return f.readingState ? at - f.remaining : at + f.held;
}

void seekTo(TextFile& f, std::int64_t at) {
    enterReadingState(f);
    f.remaining = 0;
    f.filled = 0;
    platform_file::seekTo(f.handle, at);
}

std::int32_t readBytes(TextFile& f, unsigned char* bytes, std::int32_t count) {
    enterReadingState(f);
    if (f.remaining >= count) {
        std::memcpy(bytes, unread(f), static_cast<std::size_t>(count));
        f.remaining -= count;
        return count;
    }
    std::int32_t delivered = f.remaining;
    std::memcpy(bytes, unread(f), static_cast<std::size_t>(delivered));
    f.remaining = 0;
    std::int32_t rest = count - delivered;
    if (rest < systemChunkSize) {
        refill(f);
        std::int32_t take = rest < f.filled ? rest : f.filled;
        std::memcpy(bytes + delivered, f.buffer.get(), static_cast<std::size_t>(take));
        f.remaining -= take;
        return delivered + take;
    }
    return delivered + readFromSystem(f, bytes + delivered, rest);
}

// The bytes are normally still in the buffer; when a read straddled a refill
// they are not all there, and the file position is moved back instead.
void pushBack(TextFile& f, std::int32_t count) {
    if (f.remaining + count <= f.filled) {
        f.remaining += count;
    } else {
        seekTo(f, logicalPosition(f) - count);
    }
}

std::int32_t writeBytes(TextFile& f, const unsigned char* bytes, std::int32_t count) {
    if (f.readOnly) return 0;
    enterWritingState(f);
    if (count <= systemChunkSize - f.held) {
        std::memcpy(f.buffer.get() + f.held, bytes, static_cast<std::size_t>(count));
        f.held += count;
        if (count >= fileBufferSize) writeOutBuffer(f);
        return count;
    }
    writeOutBuffer(f);
    return writeToSystem(f, bytes, count);
}

}  // namespace text_file
