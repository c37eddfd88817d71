// The zip is written as a stream: each entry deflated from its file into the
// zip, its sizes and checksum in a descriptor after it, so nothing is held
// but one buffer each way and the central directory.
#include "cli/site_zip.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "cli/conversions.h"
#include "toolkit/fs/directory_scan.h"
#include "toolkit/fs/product_file.h"
#include "toolkit/fs/site_folder.h"
#include "toolkit/process/system_error.h"
#include "toolkit/text/strings.h"

namespace {

constexpr int ZipScan = 2;  // the template list takes 0, the wildcards 1
constexpr long bufferSize = 64 * 1024;

void put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, unsigned long value) {
    put16(out, static_cast<unsigned>(value & 0xFFFF));
    put16(out, static_cast<unsigned>((value >> 16) & 0xFFFF));
}

struct ZipWriter {
    std::intptr_t out = -1;
    unsigned long offset = 0;
    unsigned dosTime = 0;
    unsigned dosDate = 0;
    std::string central;
    unsigned entries = 0;

    bool emit(const std::string& bytes) {
        offset += static_cast<unsigned long>(bytes.size());
        return byte_file::write(out, bytes.data(), static_cast<long>(bytes.size()));
    }

    // Deflates one file into the zip; the local header says "sizes follow".
    bool add(const std::u16string& path, const std::string& name) {
        const std::intptr_t in = byte_file::openRead(path);
        if (in < 0) return false;
        const unsigned long headerOffset = offset;
        std::string header;
        put32(header, 0x04034b50);
        put16(header, 20);      // version needed: deflate
        put16(header, 0x0808);  // sizes in the descriptor; names in UTF-8
        put16(header, 8);       // deflate
        put16(header, dosTime);
        put16(header, dosDate);
        put32(header, 0);
        put32(header, 0);
        put32(header, 0);
        put16(header, static_cast<unsigned>(name.size()));
        put16(header, 0);
        header += name;
        bool ok = emit(header);

        z_stream stream{};
        // Raw deflate at the highest level: zlib gives the same bytes for
        // the same input wherever it runs.
        if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            byte_file::close(in);
            return false;
        }
        std::vector<unsigned char> input(bufferSize), output(bufferSize);
        unsigned long crc = crc32(0, nullptr, 0);
        unsigned long size = 0;
        const unsigned long dataStart = offset;
        int flush = Z_NO_FLUSH;
        while (ok && flush != Z_FINISH) {
            const long got = byte_file::read(in, input.data(), bufferSize);
            if (got < 0) ok = false;
            if (got <= 0) flush = Z_FINISH;
            crc = crc32(crc, input.data(), static_cast<uInt>(std::max(got, 0L)));
            size += static_cast<unsigned long>(std::max(got, 0L));
            stream.next_in = input.data();
            stream.avail_in = static_cast<uInt>(std::max(got, 0L));
            do {
                stream.next_out = output.data();
                stream.avail_out = static_cast<uInt>(bufferSize);
                deflate(&stream, flush);
                const std::string chunk(reinterpret_cast<const char*>(output.data()), bufferSize - stream.avail_out);
                ok = ok && emit(chunk);
            } while (ok && stream.avail_out == 0);
        }
        deflateEnd(&stream);
        byte_file::close(in);
        const unsigned long compressed = offset - dataStart;
        std::string descriptor;
        put32(descriptor, 0x08074b50);
        put32(descriptor, crc);
        put32(descriptor, compressed);
        put32(descriptor, size);
        ok = ok && emit(descriptor);

        put32(central, 0x02014b50);
        put16(central, 20);  // made by MS-DOS rules: no system's permissions
        put16(central, 20);
        put16(central, 0x0808);
        put16(central, 8);
        put16(central, dosTime);
        put16(central, dosDate);
        put32(central, crc);
        put32(central, compressed);
        put32(central, size);
        put16(central, static_cast<unsigned>(name.size()));
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put32(central, 0);
        put32(central, headerOffset);
        central += name;
        ++entries;
        return ok;
    }

    bool finish() {
        const unsigned long centralStart = offset;
        std::string end;
        put32(end, 0x06054b50);
        put16(end, 0);
        put16(end, 0);
        put16(end, entries);
        put16(end, entries);
        put32(end, static_cast<unsigned long>(central.size()));
        put32(end, centralStart);
        put16(end, 0);
        return emit(central) && emit(end);
    }
};

}  // namespace

ZipTime siteZipTime(const std::string& date) {
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

bool writeSiteZip(const std::u16string& folder, const std::u16string& zipPath, const std::u16string& zipName,
                  const ZipTime& time) {
    std::vector<std::string> names;
    if (examineDirectory(ZipScan, folder, u"*")) {
        while (nextEntry(ZipScan)) {
            const std::u16string name = entryName(ZipScan);
            if (entryType(ZipScan) == FileEntry && !name.empty() && name[0] != u'.') names.push_back(utf8FromText(name));
        }
        finishDirectory(ZipScan);
    }
    std::sort(names.begin(), names.end());
    // The plain zip format counts entries in 16 bits.
    if (names.size() > 0xFFFF) {
        reportCliMessage(u"Cannot make product file: " + zipName + u" (more than 65535 pages for one zip; try a lower --split-level)");
        return false;
    }

    ProductReplacement replacement;
    if (!beginProductReplacement(zipPath, replacement)) {
        const std::u16string reason = systemErrorText(lastSystemError());
        reportCliMessage(u"Cannot make product file: " + zipName + (reason.empty() ? u"" : u" (" + reason + u")"));
        return false;
    }
    ZipWriter zip;
    zip.dosTime = static_cast<unsigned>((time.hour << 11) | (time.minute << 5) | (time.second / 2));
    zip.dosDate = static_cast<unsigned>(((time.year - 1980) << 9) | (time.month << 5) | time.day);
    zip.out = byte_file::create(replacement.temporary.empty() ? zipPath : replacement.temporary);
    bool done = zip.out >= 0;
    for (const std::string& name : names) {
        if (!done) break;
        done = zip.add(folder + textFromUtf8(name), name);
    }
    done = done && zip.finish();
    if (zip.out >= 0) done = byte_file::close(zip.out) && done;
    if (done && !finishProductReplacement(replacement)) done = false;
    if (!done) {
        const std::u16string reason = systemErrorText(lastSystemError());
        abandonProductReplacement(replacement);
        reportCliMessage(u"Cannot make product file: " + zipName + (reason.empty() ? u"" : u" (" + reason + u")"));
    }
    return done;
}
