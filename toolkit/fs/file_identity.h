// Whether two paths name one file. The file's identity decides (its volume
// and its number there), so links, linked folders, short names and every
// other spelling of one file agree.
#pragma once

#include <cstdint>
#include <string>

enum class FileMatch {
    Same,
    Different,
    Unknown,  // one of them does not exist or cannot be identified
};

FileMatch compareFiles(const std::u16string& a, const std::u16string& b);

// A file's identity, to sort and compare many files by: false when the file
// does not exist or cannot be identified.
struct FileKey {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator<(const FileKey& other) const {
        return volume != other.volume ? volume < other.volume : index < other.index;
    }
    bool operator==(const FileKey& other) const { return volume == other.volume && index == other.index; }
};
bool identifyFile(const std::u16string& path, FileKey& key);
