// "Pagesmith.ini" in memory: an ordered list of entries that keeps every line
// the program does not know, read and written by group and key.
//
// A settings file may be large, or hostile. Its text lives in a few large
// blocks that entries point into, an entry is a small record, and group names
// are found through a hash index on their lower-cased form: loading costs
// about the file's text in UTF-16, in time in step with its lines.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/text_file/text_file.h"

// One kept line: its key, and for a key line the value that follows the "="
// (for every other line the key is the whole line and the value is empty).
struct SettingsEntry {
    const char16_t* text = nullptr;  // the key; the value starts valueStart units on
    std::uint32_t keyLength = 0;
    std::uint32_t valueStart = 0;
    std::uint32_t valueLength = 0;
    std::int32_t group = 0;  // 0: lines before the first group header
};

struct GroupName {
    const char16_t* text = nullptr;  // spelled as first seen
    std::uint32_t length = 0;
    std::uint32_t hash = 0;  // of the lower-cased name
};

struct SettingsStore {
    SettingsStore() = default;
    // Entries and names point into the store's own text blocks.
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;
    SettingsStore(SettingsStore&&) = default;
    SettingsStore& operator=(SettingsStore&&) = default;

    std::u16string settingsPath;
    TextEncoding settingsEncoding = TextEncoding::Utf8;
    std::int32_t currentGroup = 0;
    // The file existed but could not be read: save must not overwrite it.
    bool loadRefused = false;

    // The text of every name, key and value, in blocks that never move.
    std::vector<std::u16string> textBlocks;
    // Slot 0 is group 0; every other name gets the next slot, spelled as
    // first seen, with no limit on their number.
    std::deque<GroupName> groups{GroupName()};
    // Open addressing over the slots by their hash (settings_store.cpp).
    std::vector<std::uint32_t> groupIndex;
    std::deque<SettingsEntry> entries;
};

std::u16string_view entryKey(const SettingsEntry& entry);
std::u16string_view entryValue(const SettingsEntry& entry);
// The name of a registered group as first spelled; "" for group 0.
std::u16string_view groupName(const SettingsStore& store, std::int32_t group);

int load(SettingsStore& store);
std::int32_t selectGroup(SettingsStore& store, std::u16string_view name);
std::u16string readValue(const SettingsStore& store, std::u16string_view key,
                         std::u16string_view defaultValue);
std::u16string writeValue(SettingsStore& store, std::u16string_view key,
                          std::u16string_view value);
std::int32_t readNumber(const SettingsStore& store, std::u16string_view key,
                        std::int32_t defaultValue);
std::int32_t writeNumber(SettingsStore& store, std::u16string_view key, std::int32_t value);
int save(SettingsStore& store);
