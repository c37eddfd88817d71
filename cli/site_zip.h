// A finished site folder written as one zip file (toolkit/zip/zip_writer.h).
#pragma once

#include <string>

#include "toolkit/zip/zip_writer.h"

// Writes every file of `folder` (ending in the path separator) but names
// beginning with "." into `zipPath` in name order, as a temporary file beside
// it put in its place once complete. The same files and time give the same
// bytes on every system. Reports its failures naming the zip as `zipName`.
bool writeSiteZip(const std::u16string& folder, const std::u16string& zipPath, const std::u16string& zipName,
                  const ZipTime& time);
