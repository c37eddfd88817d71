// Folders the command line builds and swaps whole (a site), and files it
// removes. Each returns false with the system's reason in lastSystemError.
#pragma once

#include <string>

bool makeFolder(const std::u16string& path);
bool removeFile(const std::u16string& path);
// The folder and everything in it; symbolic links are removed, never followed.
bool removeFolderTree(const std::u16string& path);
// Renames a file or folder; `to` must not exist.
bool renamePath(const std::u16string& from, const std::u16string& to);
// A number unique to this process among running ones, for names of
// temporary files and folders.
unsigned long processNumber();
