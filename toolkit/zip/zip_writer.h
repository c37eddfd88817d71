// The zip that holds a site, one rule for the command line and the web page:
// entries in name order, each deflated (deflate_stream.h) with its sizes and
// CRC in a descriptor after it, all at one time, no system's permissions.
// The same files and time give the same bytes wherever it runs. Streamed:
// nothing is held but one buffer each way and the central directory, which
// may wait in a file instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The time every entry carries, as a zip gives it: local to nobody, in
// whole seconds, from 1980 on.
struct ZipTime {
    int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// The time of a --date day (midnight), else SOURCE_DATE_EPOCH, else the run
// on the user's clock. `date` is a day already checked ("YYYY-MM-DD") or empty.
ZipTime zipTimeOf(const std::string& date);

// A folder's file's name in the zip: UTF-8; empty for a name beginning with
// "." (the folder's own marks), which the zip leaves out.
std::string zipEntryName(const std::u16string& fileName);
// The entries' names and order for a folder's files: zipEntryName's, in
// byte order.
std::vector<std::string> zipEntryNames(const std::vector<std::u16string>& fileNames);

class ZipWriter {
public:
    // Takes the zip's bytes in order; false on a failure.
    using Output = std::function<bool(const void* bytes, long count)>;
    // Fills `bytes` with up to `count` bytes of an entry's file: how many,
    // 0 at its end, -1 on a failure.
    using Input = std::function<long(void* bytes, long count)>;

    ZipWriter(Output out, const ZipTime& time);

    // Deflates one file into the zip under `name`; false on a failure of
    // either side. Not in the web build, whose worker deflates the entries
    // itself, several at a time, and gives them to addDeflated.
    bool add(const std::string& name, const Input& in);
    // One file under `name` already deflated as add() deflates it (raw,
    // level 9, window 2^15, memory level 8), `size` bytes with CRC-32 `crc`:
    // `deflated` gives the deflated bytes. The same bytes as add().
    bool addDeflated(const std::string& name, std::uint32_t crc, unsigned long size, const Input& deflated);
    // Room for the central directory of `entries` entries whose names
    // take `nameBytes`: a large site's (86,000 files, 7 MB) would
    // otherwise be copied as it grows, twice its size at once, more than
    // the web build's fixed heap holds beside the names.
    void reserve(std::size_t entries, std::size_t nameBytes);
    // Lets the central directory wait outside memory: its records go to
    // `spill` as they pass a bound, and finish() reads them back through
    // `readBack` (0 at the end, -1 on a failure).
    void spillCentral(Output spill, Input readBack);
    // The central directory and the end record (zip64's too past 65,534
    // entries).
    bool finish();

private:
    bool emit(const std::string& bytes);
    // The local header, which says "sizes follow", and after the data its
    // descriptor and central record.
    bool beginEntry(const std::string& name);
    bool endEntry(const std::string& name, std::uint32_t crc, unsigned long compressed, unsigned long size, bool ok);

    Output out_;
    unsigned long offset_ = 0;
    unsigned dosTime_ = 0;
    unsigned dosDate_ = 0;
    std::string central_;
    Output spill_;
    Input readBack_;
    unsigned long spilled_ = 0;  // the central directory's bytes in the spill
    bool spillFailed_ = false;
    std::vector<unsigned char> input_;  // one buffer for every entry's reads
    unsigned long headerOffset_ = 0;    // the entry's local header
    unsigned long dataStart_ = 0;       // its data
    unsigned entries_ = 0;
};
