#include "shell/settings_store.h"

#include <utility>

#include "toolkit/paths.h"
#include "toolkit/strings.h"

namespace {

// Closes the settings file on every way out of load and save.
struct OpenFile {
    FileId id;
    explicit OpenFile(FileId file) : id(file) {}
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (id != FileId::none) text_file::close(id);
    }
};

bool sameName(const std::u16string& a, const std::u16string& b) {
    return a.size() == b.size() && lowerCase(a) == lowerCase(b);
}

// The find-or-register step shared by selectGroup and load. Every new name
// gets a slot of its own, however many there are, so that save can write
// each section back under its own header.
std::int32_t groupNumber(SettingsStore& store, const std::u16string& name) {
    if (name.empty()) return 0;
    for (size_t slot = 1; slot < store.groupNames.size(); ++slot) {
        if (sameName(store.groupNames[slot], name)) return static_cast<std::int32_t>(slot);
    }
    store.groupNames.push_back(name);
    return static_cast<std::int32_t>(store.groupNames.size() - 1);
}

bool isComment(const std::u16string& line) { return firstCharCode(line) == u';'; }

void addLine(SettingsStore& store, std::int32_t& group, const std::u16string& line) {
    if (firstCharCode(line) == u'[') {
        int close = findText(line, u"]", 2);
        if (close > 0) {
            group = groupNumber(store, midPart(line, 2, close - 2));
            return;
        }
    }
    SettingsEntry entry;
    entry.group = group;
    int equals = findText(line, u"=", 1);
    if (!isComment(line) && findText(line, u"=", 2) > 0) {
        entry.key = trimTrailingBlanks(leftPart(line, equals - 1));
        entry.value = trimLeadingBlanks(midPart(line, equals + 1));
    } else {
        entry.key = line;
    }
    store.entries.push_back(std::move(entry));
}

template <typename Entries>
struct KeyPlace {
    decltype(std::declval<Entries&>().begin()) entry;  // the key, or where to insert it
    bool found;
};

// Only the first unbroken run of the current group is searched; a later
// section of the same name is another run.
template <typename Entries>
KeyPlace<Entries> findKey(Entries& entries, std::int32_t group, const std::u16string& key) {
    bool inGroup = group == 0;
    std::u16string wanted = lowerCase(key);
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->group != group) {
            if (inGroup) return {it, false};
            continue;
        }
        inGroup = true;
        if (it->key.size() == wanted.size() && lowerCase(it->key) == wanted) return {it, true};
    }
    return {entries.end(), false};
}

// A file without a mark whose first written bytes looked like one would be
// read back in another encoding. In the ANSI code pages every byte of a mark
// comes from a character above U+007F, so an empty line (skipped on load)
// goes first when the first line starts with such a character.
bool needsGuardLine(const SettingsStore& store) {
    if (store.settingsEncoding != TextEncoding::Ansi || store.entries.empty()) return false;
    const SettingsEntry& first = store.entries.front();
    return first.group == 0 && firstCharCode(first.key) >= 0x80;
}

// Whether the ANSI code page can hold everything save would write.
bool ansiHoldsAll(const SettingsStore& store) {
    for (const std::u16string& name : store.groupNames) {
        if (!text_file::ansiCanHold(name)) return false;
    }
    for (const SettingsEntry& entry : store.entries) {
        if (!text_file::ansiCanHold(entry.key) || !text_file::ansiCanHold(entry.value)) return false;
    }
    return true;
}

}  // namespace

int load(SettingsStore& store) {
    store.settingsEncoding = TextEncoding::Utf8;
    OpenFile file(text_file::openRead(store.settingsPath));
    if (file.id == FileId::none) {
        store.loadRefused = pathExists(store.settingsPath);
        return 0;
    }
    store.loadRefused = false;
    store.entries.clear();
    store.groupNames.assign(1, std::u16string());
    store.currentGroup = 0;
    std::int32_t group = 0;

    store.settingsEncoding = text_file::detectEncoding(file.id);
    std::u16string line;
    while (!text_file::atEnd(file.id)) {
        text_file::readLine(file.id, line, store.settingsEncoding);
        std::u16string trimmed = trimBlanks(line);
        if (!trimmed.empty()) addLine(store, group, trimmed);
    }
    return 1;
}

std::int32_t selectGroup(SettingsStore& store, const std::u16string& name) {
    store.currentGroup = groupNumber(store, name);
    return store.currentGroup;
}

std::u16string readValue(const SettingsStore& store, const std::u16string& key,
                         const std::u16string& defaultValue) {
    auto place = findKey(store.entries, store.currentGroup, key);
    return place.found ? place.entry->value : defaultValue;
}

std::u16string writeValue(SettingsStore& store, const std::u16string& key,
                          const std::u16string& value) {
    auto place = findKey(store.entries, store.currentGroup, key);
    if (place.found) {
        place.entry->value = value;
    } else {
        store.entries.insert(place.entry, SettingsEntry{store.currentGroup, key, value});
    }
    return value;
}

std::int32_t readNumber(const SettingsStore& store, const std::u16string& key,
                        std::int32_t defaultValue) {
    std::int64_t number = textToNumber(readValue(store, key, numberToText(defaultValue)));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(number));
}

std::int32_t writeNumber(SettingsStore& store, const std::u16string& key, std::int32_t value) {
    writeValue(store, key, numberToText(value));
    return value;
}

int save(SettingsStore& store) {
    // A file that exists but could not be read holds settings this store
    // never saw; writing over it would lose them.
    if (store.loadRefused) return 0;
    OpenFile file(text_file::openReadWrite(store.settingsPath));
    if (file.id == FileId::none) return 0;
    // A path with characters the code page lacks would come back as "?":
    // such a file moves to UTF-8 with its mark, which load recognises.
    if (store.settingsEncoding == TextEncoding::Ansi && !ansiHoldsAll(store)) {
        store.settingsEncoding = TextEncoding::Utf8;
    }
    TextEncoding encoding = store.settingsEncoding;
    text_file::writeByteOrderMark(file.id, encoding);
    if (needsGuardLine(store)) text_file::writeLine(file.id, u"", encoding);

    std::int32_t previousGroup = 0;
    std::u16string line;
    for (const SettingsEntry& entry : store.entries) {
        if (entry.group != previousGroup) {
            text_file::writeLine(file.id, u"", encoding);
            line = u"[";
            line += store.groupNames[static_cast<size_t>(entry.group)];
            line += u']';
            text_file::writeLine(file.id, line, encoding);
            previousGroup = entry.group;
        }
        line = entry.key;
        if (!isComment(entry.key)) line += u'=';
        line += entry.value;
        text_file::writeLine(file.id, line, encoding);
    }
    bool cut = text_file::truncate(file.id);
    return cut && !text_file::writeFailed(file.id) ? 1 : 0;
}
