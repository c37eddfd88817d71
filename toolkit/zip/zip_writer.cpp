#include "toolkit/zip/zip_writer.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "toolkit/text/strings.h"

namespace {

constexpr long bufferSize = 64 * 1024;
// The central directory waits in memory up to this, when it may spill.
constexpr std::size_t spillBound = 256 * 1024;

void put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, unsigned long value) {
    put16(out, static_cast<unsigned>(value & 0xFFFF));
    put16(out, static_cast<unsigned>((value >> 16) & 0xFFFF));
}

}  // namespace

ZipTime zipTimeOf(const std::string& date) {
    ZipTime time;
    if (date.size() == 10) {
        time.year = std::atoi(date.substr(0, 4).c_str());
        time.month = std::atoi(date.substr(5, 2).c_str());
        time.day = std::atoi(date.substr(8, 2).c_str());
    } else {
        std::time_t now = std::time(nullptr);
        const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
        const bool fixed = epoch != nullptr && *epoch != '\0';
        if (fixed) now = static_cast<std::time_t>(std::strtoll(epoch, nullptr, 10));
        // A fixed moment is the same everywhere; the run's is the user's clock.
        const std::tm* parts = fixed ? std::gmtime(&now) : std::localtime(&now);
        if (parts == nullptr) return time;
        time = ZipTime{parts->tm_year + 1900, parts->tm_mon + 1, parts->tm_mday, parts->tm_hour, parts->tm_min, parts->tm_sec};
    }
    if (time.year < 1980) return ZipTime{};
    if (time.year > 2107) return ZipTime{2107, 12, 31, 23, 59, 58};
    return time;
}

std::string zipEntryName(const std::u16string& fileName) {
    return fileName.empty() || fileName[0] == u'.' ? std::string() : utf8FromText(fileName);
}

std::vector<std::string> zipEntryNames(const std::vector<std::u16string>& fileNames) {
    std::vector<std::string> names;
    for (const std::u16string& fileName : fileNames) {
        std::string name = zipEntryName(fileName);
        if (!name.empty()) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

ZipWriter::ZipWriter(Output out, const ZipTime& time)
    : out_(std::move(out)),
      dosTime_(static_cast<unsigned>((time.hour << 11) | (time.minute << 5) | (time.second / 2))),
      dosDate_(static_cast<unsigned>(((time.year - 1980) << 9) | (time.month << 5) | time.day)) {}

bool ZipWriter::emit(const std::string& bytes) {
    offset_ += static_cast<unsigned long>(bytes.size());
    return out_(bytes.data(), static_cast<long>(bytes.size()));
}

// The local header says "sizes follow": they are known only once deflated.
bool ZipWriter::beginEntry(const std::string& name) {
    headerOffset_ = offset_;
    std::string header;
    put32(header, 0x04034b50);
    put16(header, 20);      // version needed: deflate
    put16(header, 0x0808);  // sizes in the descriptor; names in UTF-8
    put16(header, 8);       // deflate
    put16(header, dosTime_);
    put16(header, dosDate_);
    put32(header, 0);
    put32(header, 0);
    put32(header, 0);
    put16(header, static_cast<unsigned>(name.size()));
    put16(header, 0);
    header += name;
    const bool ok = emit(header);
    dataStart_ = offset_;
    return ok;
}

// A failed entry (`ok` false) gets no descriptor: the zip is given up.
bool ZipWriter::endEntry(const std::string& name, std::uint32_t crc, unsigned long compressed, unsigned long size,
                         bool ok) {
    std::string descriptor;
    put32(descriptor, 0x08074b50);
    put32(descriptor, crc);
    put32(descriptor, compressed);
    put32(descriptor, size);
    ok = ok && emit(descriptor);

    put32(central_, 0x02014b50);
    put16(central_, 20);  // made by MS-DOS rules: no system's permissions
    put16(central_, 20);
    put16(central_, 0x0808);
    put16(central_, 8);
    put16(central_, dosTime_);
    put16(central_, dosDate_);
    put32(central_, crc);
    put32(central_, compressed);
    put32(central_, size);
    put16(central_, static_cast<unsigned>(name.size()));
    put16(central_, 0);
    put16(central_, 0);
    put16(central_, 0);
    put16(central_, 0);
    put32(central_, 0);
    put32(central_, headerOffset_);
    central_ += name;
    ++entries_;
    if (spill_ && central_.size() >= spillBound) {
        spillFailed_ = spillFailed_ || !spill_(central_.data(), static_cast<long>(central_.size()));
        spilled_ += static_cast<unsigned long>(central_.size());
        central_.clear();
    }
    return ok;
}

void ZipWriter::spillCentral(Output spill, Input readBack) {
    spill_ = std::move(spill);
    readBack_ = std::move(readBack);
}

bool ZipWriter::addDeflated(const std::string& name, std::uint32_t crc, unsigned long size, const Input& deflated) {
    bool ok = beginEntry(name);
    input_.resize(bufferSize);
    for (long got = 0; ok && (got = deflated(input_.data(), bufferSize)) != 0;) {
        offset_ += static_cast<unsigned long>(std::max(got, 0L));
        ok = got > 0 && out_(input_.data(), got);
    }
    return endEntry(name, crc, offset_ - dataStart_, size, ok);
}

void ZipWriter::reserve(std::size_t entries, std::size_t nameBytes) { central_.reserve(entries * 46 + nameBytes); }

// Past 65,535 entries (a large export split at level 1) the count is in a
// zip64 end record, which the classic one points to with 0xFFFF.
bool ZipWriter::finish() {
    const unsigned long centralStart = offset_;
    const unsigned long centralSize = spilled_ + static_cast<unsigned long>(central_.size());
    if (spillFailed_) return false;
    if (spilled_ > 0) {
        input_.resize(bufferSize);
        unsigned long copied = 0;
        for (long got = 0; (got = readBack_(input_.data(), bufferSize)) != 0; copied += static_cast<unsigned long>(got)) {
            if (got < 0 || !out_(input_.data(), got)) return false;
        }
        if (copied != spilled_) return false;
        offset_ += copied;
    }
    std::string end;
    if (entries_ > 0xFFFE) {
        const unsigned long zip64End = centralStart + centralSize;
        put32(end, 0x06064b50);
        put32(end, 44);  // the record's size after this field, in 8 bytes
        put32(end, 0);
        put16(end, 45);  // made by and needed: zip64
        put16(end, 45);
        put32(end, 0);
        put32(end, 0);
        for (const unsigned long value : {static_cast<unsigned long>(entries_), static_cast<unsigned long>(entries_), centralSize, centralStart}) {
            put32(end, value);
            put32(end, 0);
        }
        put32(end, 0x07064b50);
        put32(end, 0);
        put32(end, zip64End);
        put32(end, 0);
        put32(end, 1);
    }
    const unsigned count = entries_ > 0xFFFE ? 0xFFFF : entries_;
    put32(end, 0x06054b50);
    put16(end, 0);
    put16(end, 0);
    put16(end, count);
    put16(end, count);
    put32(end, centralSize);
    put32(end, centralStart);
    put16(end, 0);
    return emit(central_) && emit(end);
}
