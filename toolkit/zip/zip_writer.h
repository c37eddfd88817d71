// The zip that holds a site, one rule for the command line and the web page:
// entries in name order, each deflated (deflate_stream.h) with its sizes and
// CRC in a descriptor after it, all at one time, no system's permissions.
// The same files and time give the same bytes wherever it runs. Streamed:
// nothing is held but one buffer each way and the central directory.
#pragma once

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

// The entries' names and order for a folder's files: UTF-8, in byte order,
// without the names beginning with "." (the folder's own marks).
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
    // either side.
    bool add(const std::string& name, const Input& in);
    // The central directory and the end record (zip64's too past 65,534
    // entries).
    bool finish();

private:
    bool emit(const std::string& bytes);

    Output out_;
    unsigned long offset_ = 0;
    unsigned dosTime_ = 0;
    unsigned dosDate_ = 0;
    std::string central_;
    std::vector<unsigned char> input_;  // one buffer for every entry's reads
    unsigned entries_ = 0;
};
