// The browser's files, for the WebAssembly build: with this backend in place
// (platform_file::useBackend(browser_files::backend())) the text-file service
// reads the page's File and Blob objects in slices and hands what it writes
// to the page in chunks, so neither input nor product is ever whole in the
// module's memory.
//
// The page side lives in JavaScript: Module.pagesmithFiles is an array of
// {path, blob} (an input: a File or Blob) or {path, sink} (the product:
// sink(bytes) is handed each chunk written, a view of the module's memory to
// be copied before it returns; sink(null) says the file was emptied by a
// create). Module.pagesmithLoadSlice(entry, position, count) puts the slice
// of an input that holds `position` in entry.slice (a Uint8Array, null when
// the browser cannot read it) and entry.sliceAt; it returns a promise of
// that where the module is called so that it may wait suspended, else null.
// A path that no entry has may be made by a writer: Module.pagesmithNewFile
// (path) adds {path, size, sink, seal} for it and returns its place, or -1;
// seal() makes what sink took the entry's slice (sliceAt 0), read back from
// there.
#pragma once

#include <string>
#include <vector>

#include "toolkit/text_file/text_file_platform.h"

namespace browser_files {

const platform_file::Backend& backend();

// The names of the files made in `folder` (ending in "/") since
// forgetMadeFiles, in the order made.
std::vector<std::u16string> madeFilesIn(const std::u16string& folder);
void forgetMadeFiles();
// Says that a made file will not be read again: its bytes may go.
void letGoOf(const std::u16string& path);

}  // namespace browser_files
