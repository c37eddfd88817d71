// Small helpers shared by the tests: scratch folders, exact file bytes,
// captured error messages, and the few questions only tests ask.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A fresh, empty folder below the system's temporary folder, removed when the
// object goes out of scope.
struct ScratchDir {
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // Full path of `name` inside the folder, in the program's text form.
    std::u16string path(std::u16string_view name) const;
    std::string nativePath(std::string_view name) const;
    std::u16string directory() const;  // ends in the path separator

    std::string root;
};

void writeBytes(const std::u16string& path, std::string_view bytes);
std::string readBytes(const std::u16string& path);
bool fileExists(const std::u16string& path);

// Shows bytes as C escapes, so failures print readable expectations.
std::string escapeBytes(std::string_view bytes);

// Captures every reported error while alive.
struct CapturedErrors {
    CapturedErrors();
    ~CapturedErrors();
    std::vector<std::u16string> messages;
};

// Narrow UTF-8 to UTF-16 for test literals.
std::u16string u16(std::string_view utf8);

// `count` spaces; none for a count below 1.
std::u16string blanks(int count);

// The group names a settings store has registered, group 0 not counted.
struct SettingsStore;
std::int32_t groupCount(const SettingsStore& store);
