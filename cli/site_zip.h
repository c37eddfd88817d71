// A finished site folder written as one zip file with zlib's deflate.
#pragma once

#include <cstdint>
#include <string>

// The time every entry carries, as a zip gives it: local to nobody, in
// whole seconds, from 1980 on.
struct ZipTime {
    int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// The time of --date (midnight), else SOURCE_DATE_EPOCH, else the run.
// `date` is a day already checked ("YYYY-MM-DD") or empty.
ZipTime siteZipTime(const std::string& date);

// Writes every file of `folder` (ending in the path separator) but names
// beginning with "." into `zipPath` in name order, as a temporary file beside
// it put in its place once complete. The same files and time give the same
// bytes on every system. Reports its failures naming the zip as `zipName`.
bool writeSiteZip(const std::u16string& folder, const std::u16string& zipPath, const std::u16string& zipName,
                  const ZipTime& time);
