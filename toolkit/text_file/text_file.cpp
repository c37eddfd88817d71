// The numbered text files: opening under a number, closing, flush and the
// state a caller may ask about. Reading lines, writing text and
// byte-order marks have units of their own (see text_file.h).
#include "toolkit/text_file/text_file.h"

#include <new>
#include <utility>

#include "toolkit/text_file/fast_paths.h"
#include "toolkit/text_file/text_file_buffer.h"
#include "toolkit/text_file/text_file_streams.h"

namespace text_file {

std::vector<std::unique_ptr<TextFile>> openFiles;

namespace {

// Numbers the service assigns start above the small ones that callers pick
// for themselves, so an assigned file never gets closed by a caller's open.
constexpr int firstAssignedNumber = 64;
// A bound on caller-chosen numbers keeps a stray value from growing the table
// without limit.
constexpr int largestFileNumber = 65535;

// The buffers of closed files wait for the next opens, which then cost no
// allocation of their systemChunkSize bytes; so does the room for a
// refill's widened text (twice that), which a file read in a single-byte code page makes. A run holds
// up to four files open at once: the settings, the template, the source and
// the product.
constexpr int spareCount = 4;
std::unique_ptr<unsigned char[]> spareBuffers[spareCount];
std::unique_ptr<char16_t[]> spareWideTexts[spareCount];
std::unique_ptr<std::uint64_t[]> spareLineEnds[spareCount];

template <typename T>
void keepSpare(std::unique_ptr<T[]> (&spares)[spareCount], std::unique_ptr<T[]>& room) {
    for (auto& spare : spares) {
        if (!spare) {
            spare = std::move(room);
            return;
        }
    }
}

template <typename T>
std::unique_ptr<T[]> takeSpare(std::unique_ptr<T[]> (&spares)[spareCount]) {
    for (auto& spare : spares) {
        if (spare) return std::move(spare);
    }
    return nullptr;
}

void keepRoom(TextFile& file) {
    if (file.buffer) keepSpare(spareBuffers, file.buffer);
    if (file.wideText && file.lineEnds) {
        // Kept together, or not at all: the reader makes them together.
        for (int i = 0; i < spareCount; ++i) {
            if (!spareWideTexts[i]) {
                spareWideTexts[i] = std::move(file.wideText);
                spareLineEnds[i] = std::move(file.lineEnds);
                break;
            }
        }
    }
}

void closeFile(int number) {
    std::unique_ptr<TextFile>& slot = openFiles[static_cast<std::size_t>(number)];
    if (!slot) return;
    writeOutBuffer(*slot);
    if (slot->standardStream) noteBoundBytes(number, slot->systemBytesWritten);
    else platform_file::close(slot->handle);
    keepRoom(*slot);
    slot.reset();
}

FileId openFile(const std::u16string& path, FileId id, platform_file::OpenMode mode) {
    int number = static_cast<int>(id);
    if (id == FileId::assign) {
        number = firstAssignedNumber;
        while (static_cast<std::size_t>(number) < openFiles.size() &&
               openFiles[static_cast<std::size_t>(number)]) {
            ++number;
        }
    } else if (number < 0 || number > largestFileNumber) {
        return FileId::none;
    } else if (static_cast<std::size_t>(number) < openFiles.size()) {
        closeFile(number);
    }

    auto file = std::unique_ptr<TextFile>(new (std::nothrow) TextFile);
    if (!file) return FileId::none;
    file->buffer = takeSpare(spareBuffers);
    if (!file->buffer) file->buffer.reset(new (std::nothrow) unsigned char[systemChunkSize]);
    if (!file->buffer) return FileId::none;
    if (boundHandle(number, file->handle)) {
        file->standardStream = true;
    } else if (!platform_file::open(path, mode, file->handle)) {
        noteFailure();
        keepRoom(*file);
        return FileId::none;
    }
    file->readOnly = mode == platform_file::OpenMode::ReadOnly;
    if (openFiles.size() <= static_cast<std::size_t>(number)) {
        openFiles.resize(static_cast<std::size_t>(number) + 1);
    }
    openFiles[static_cast<std::size_t>(number)] = std::move(file);
    return static_cast<FileId>(number);
}

}  // namespace

void makeWideTextRoom(TextFile& f) {
    for (int i = 0; i < spareCount; ++i) {
        if (spareWideTexts[i]) {
            f.wideText = std::move(spareWideTexts[i]);
            f.lineEnds = std::move(spareLineEnds[i]);
            return;
        }
    }
    // Cleared once, so that the slack a whole-step copy takes past the text
    // has always been written.
    f.wideText.reset(new char16_t[systemChunkSize + fast_paths::copySlack]());
    f.lineEnds.reset(new std::uint64_t[fast_paths::markWords(systemChunkSize)]);
}

FileId openRead(const std::u16string& path, FileId id) {
    return openFile(path, id, platform_file::OpenMode::ReadOnly);
}

FileId create(const std::u16string& path, FileId id) {
    return openFile(path, id, platform_file::OpenMode::Create);
}

FileId createNew(const std::u16string& path, FileId id) {
    return openFile(path, id, platform_file::OpenMode::CreateNew);
}

FileId openReadWrite(const std::u16string& path, FileId id) {
    return openFile(path, id, platform_file::OpenMode::ReadWrite);
}

bool exists(const std::u16string& path) { return platform_file::exists(path); }

bool atEnd(FileId file) {
    TextFile* f = lookup(file);
    // A file that is not open has nothing left to read; answering "not at
    // the end" would keep a reading loop going for ever.
    if (!f) return true;
    if (f->readingState && f->remaining > 0) return false;
    unsigned char byte;
    if (readBytes(*f, &byte, 1) == 0) return true;
    pushBack(*f, 1);
    return false;
}

std::string_view peekBytes(FileId file, std::size_t count) {
    TextFile* f = lookup(file);
    if (!f) return {};
    enterReadingState(*f);
    if (f->remaining == 0) refill(*f);
    const std::size_t ahead = static_cast<std::size_t>(f->remaining);
    return std::string_view(reinterpret_cast<const char*>(unread(*f)), ahead < count ? ahead : count);
}

TextEncoding unmarkedEncoding(FileId file) { return encodingWithoutMark(static_cast<int>(file)); }

bool flush(FileId file) {
    TextFile* f = lookup(file);
    if (!f) return false;
    writeOutBuffer(*f);
    return !f->writeFailed;
}

void seek(FileId file, std::int64_t position) {
    TextFile* f = lookup(file);
    if (f) seekTo(*f, position);
}

std::int64_t position(FileId file) {
    TextFile* f = lookup(file);
    return f ? logicalPosition(*f) : -1;
}

bool truncate(FileId file) {
    TextFile* f = lookup(file);
    if (!f) return false;
    std::int64_t at = logicalPosition(*f);
    if (at < 0) return false;
    seekTo(*f, at);
    if (f->writeFailed) return false;
    return platform_file::setEndHere(f->handle);
}

void close(FileId file) {
    if (lookup(file)) closeFile(static_cast<int>(file));
}

void closeAllTextFiles() {
    for (std::size_t n = 0; n < openFiles.size(); ++n) closeFile(static_cast<int>(n));
}

TextEncoding defaultEncoding(FileId file) {
    TextFile* f = lookup(file);
    return f ? f->defaultEncoding : TextEncoding::Utf8;
}

bool writeFailed(FileId file) {
    TextFile* f = lookup(file);
    return f && f->writeFailed;
}

bool readFailed(FileId file) {
    TextFile* f = lookup(file);
    return f && f->readFailed;
}

}  // namespace text_file
