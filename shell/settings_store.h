// "Pagesmith.ini" in memory: an ordered list of entries that keeps every line
// the program does not know, read and written by group and key.
#pragma once

#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "toolkit/text_file.h"

struct SettingsEntry {
    std::int32_t group = 0;  // 0: lines before the first group header
    std::u16string key;      // for a line without "=", the whole line
    std::u16string value;
};

struct SettingsStore {
    std::u16string settingsPath;
    TextEncoding settingsEncoding = TextEncoding::Utf8;
    std::int32_t currentGroup = 0;
    // Slot 0 is group 0; every other name gets the next slot, spelled as first
    // seen, with no limit on their number.
    std::vector<std::u16string> groupNames{std::u16string()};
    std::list<SettingsEntry> entries;
    // The file existed but could not be opened: save must not overwrite it.
    bool loadRefused = false;
};

int load(SettingsStore& store);
std::int32_t selectGroup(SettingsStore& store, const std::u16string& name);
std::u16string readValue(const SettingsStore& store, const std::u16string& key,
                         const std::u16string& defaultValue);
std::u16string writeValue(SettingsStore& store, const std::u16string& key,
                          const std::u16string& value);
std::int32_t readNumber(const SettingsStore& store, const std::u16string& key,
                        std::int32_t defaultValue);
std::int32_t writeNumber(SettingsStore& store, const std::u16string& key, std::int32_t value);
int save(SettingsStore& store);
