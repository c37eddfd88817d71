#include "shell/settings_store.h"

#include <limits>
#include <new>
#include <utility>

#include "toolkit/text/strings.h"

namespace {

using View = std::u16string_view;

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

// --- Text blocks -------------------------------------------------------------

// Blocks grow from small (a usual file has a few hundred characters) to a
// size where the room left unused in the last one does not matter.
constexpr std::size_t firstBlockUnits = 1024;
constexpr std::size_t largestBlockUnits = std::size_t(1) << 19;
// A line this long becomes a block of its own, taken over rather than copied.
constexpr std::size_t lineBlockUnits = std::size_t(1) << 16;

// A line too long for an entry's record cannot be kept, as if memory had
// run out.
std::uint32_t length32(std::size_t length) {
    if (length > std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
    return static_cast<std::uint32_t>(length);
}

// Copies `text` and `more` after it into the store's blocks; the copy stays
// where it is.
const char16_t* keepText(SettingsStore& store, View text, View more = View()) {
    std::vector<std::u16string>& blocks = store.textBlocks;
    const std::size_t size = text.size() + more.size();
    if (blocks.empty() || blocks.back().capacity() - blocks.back().size() < size) {
        std::size_t units = blocks.empty() ? firstBlockUnits : 2 * blocks.back().capacity();
        if (units > largestBlockUnits) units = largestBlockUnits;
        if (units < size) units = size;
        std::u16string block;
        block.reserve(units);
        blocks.push_back(std::move(block));
    }
    std::u16string& block = blocks.back();
    const std::size_t at = block.size();
    block.append(text);
    block.append(more);
    return block.data() + at;
}

// Keeps a long line by taking over its string.
const char16_t* keepLine(SettingsStore& store, std::u16string& line) {
    store.textBlocks.push_back(std::move(line));
    line.clear();
    return store.textBlocks.back().data();
}

// --- Group names -------------------------------------------------------------

// Of the lower-cased name, folded unit by unit as it is hashed.
std::uint32_t hashOf(View name) {
    std::uint32_t hash = 2166136261u;  // FNV-1a over the code units
    for (char16_t unit : name) {
        const char16_t c = lowerCaseChar(unit);
        hash = (hash ^ (c & 0xFF)) * 16777619u;
        hash = (hash ^ (c >> 8)) * 16777619u;
    }
    return hash;
}

View nameOf(const GroupName& group) { return View(group.text, group.length); }

// An index place holds a slot number in its low bits and the top bits of the
// slot's hash above them, so that a search passes other names without
// looking them up. 0 marks a free place.
constexpr int slotBits = 26;
constexpr std::uint32_t slotMask = (std::uint32_t(1) << slotBits) - 1;

std::uint32_t placeOf(std::int32_t slot, std::uint32_t hash) {
    return static_cast<std::uint32_t>(slot) | (hash & ~slotMask);
}

void indexGroup(std::vector<std::uint32_t>& index, std::int32_t slot, std::uint32_t hash) {
    const std::size_t mask = index.size() - 1;
    std::size_t at = hash & mask;
    while (index[at] != 0) at = (at + 1) & mask;
    index[at] = placeOf(slot, hash);
}

// Keeps the index at most three quarters full: a search still meets a free
// place within a few steps, and a file of millions of groups spends little
// on it.
void makeIndexRoom(SettingsStore& store) {
    const std::size_t names = store.groups.size();  // slot 0 included: one more than needed
    if (names > slotMask) throw std::bad_alloc();  // more groups than an index place can name
    if (4 * names <= 3 * store.groupIndex.size()) return;
    std::vector<std::uint32_t> index(store.groupIndex.empty() ? 64 : 2 * store.groupIndex.size(), 0);
    for (std::size_t slot = 1; slot < names; ++slot) {
        indexGroup(index, static_cast<std::int32_t>(slot), store.groups[slot].hash);
    }
    store.groupIndex.swap(index);
}

// The find-or-register step shared by selectGroup and load. Names match
// regardless of case; every new name gets a slot of its own, however many
// there are, so that save can write each section back under its own header.
std::int32_t groupNumber(SettingsStore& store, View name) {
    if (name.empty()) return 0;
    const std::uint32_t hash = hashOf(name);
    if (!store.groupIndex.empty()) {
        const std::size_t mask = store.groupIndex.size() - 1;
        for (std::size_t at = hash & mask; store.groupIndex[at] != 0; at = (at + 1) & mask) {
            const std::uint32_t place = store.groupIndex[at];
            if ((place & ~slotMask) != (hash & ~slotMask)) continue;
            const std::int32_t slot = static_cast<std::int32_t>(place & slotMask);
            const GroupName& group = store.groups[static_cast<std::size_t>(slot)];
            if (group.hash == hash && sameFolded(nameOf(group), name)) {
                return slot;
            }
        }
    }
    makeIndexRoom(store);
    const std::uint32_t length = length32(name.size());
    store.groups.push_back(GroupName{keepText(store, name), length, hash});
    const std::int32_t slot = static_cast<std::int32_t>(store.groups.size() - 1);
    indexGroup(store.groupIndex, slot, hash);
    return slot;
}

// --- Lines -------------------------------------------------------------------

bool isComment(View line) { return !line.empty() && line.front() == u';'; }

// One line of the file, already without its blanks at both ends: a group
// header changes the load's group, any other line becomes an entry.
void addLine(SettingsStore& store, std::int32_t& group, std::u16string& line, std::size_t start,
             std::size_t end) {
    const View trimmed = View(line).substr(start, end - start);
    if (trimmed.front() == u'[') {
        const std::size_t close = trimmed.find(u']', 1);
        if (close != View::npos) {
            group = groupNumber(store, trimmed.substr(1, close - 1));
            return;
        }
    }
    SettingsEntry entry;
    entry.group = group;
    std::size_t keyLength = trimmed.size();
    std::size_t valueStart = trimmed.size();
    if (!isComment(trimmed) && trimmed.find(u'=', 1) != View::npos) {
        const std::size_t equals = trimmed.find(u'=');
        keyLength = equals;
        while (keyLength > 0 && trimmed[keyLength - 1] == u' ') --keyLength;
        valueStart = equals + 1;
        while (valueStart < trimmed.size() && trimmed[valueStart] == u' ') ++valueStart;
    }
    entry.keyLength = length32(keyLength);
    entry.valueStart = length32(valueStart);
    entry.valueLength = length32(trimmed.size() - valueStart);
    entry.text = trimmed.size() >= lineBlockUnits ? keepLine(store, line) + start : keepText(store, trimmed);
    store.entries.push_back(entry);
}

template <typename Entries>
struct KeyPlace {
    decltype(std::declval<Entries&>().begin()) entry;  // the key, or where to insert it
    bool found;
};

// Only the first unbroken run of the current group is searched; a later
// section of the same name is another run.
template <typename Entries>
KeyPlace<Entries> findKey(Entries& entries, std::int32_t group, View key) {
    bool inGroup = group == 0;
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->group != group) {
            if (inGroup) return {it, false};
            continue;
        }
        inGroup = true;
        if (it->keyLength == key.size() && sameFolded(entryKey(*it), key)) return {it, true};
    }
    return {entries.end(), false};
}

// An entry whose value is set anew gets a fresh copy of its key and value.
void setText(SettingsStore& store, SettingsEntry& entry, View key, View value) {
    entry.text = keepText(store, key, value);
    entry.keyLength = length32(key.size());
    entry.valueStart = entry.keyLength;
    entry.valueLength = length32(value.size());
}

// A file without a mark whose first written bytes looked like one would be
// read back in another encoding. In the ANSI code pages every byte of a mark
// comes from a character above U+007F, so an empty line (skipped on load)
// goes first when the first line starts with such a character.
bool needsGuardLine(const SettingsStore& store) {
    if (store.settingsEncoding != TextEncoding::Ansi || store.entries.empty()) return false;
    const SettingsEntry& first = store.entries.front();
    return first.group == 0 && firstCharCode(entryKey(first)) >= 0x80;
}

// Whether the ANSI code page can hold everything save would write.
bool ansiHoldsAll(const SettingsStore& store) {
    for (const GroupName& group : store.groups) {
        if (!text_file::ansiCanHold(nameOf(group))) return false;
    }
    for (const SettingsEntry& entry : store.entries) {
        if (!text_file::ansiCanHold(entryKey(entry)) || !text_file::ansiCanHold(entryValue(entry))) return false;
    }
    return true;
}

// Reads the open file into `loaded`; false when a system read failed or
// memory ran out.
bool readEntries(FileId file, SettingsStore& loaded) {
    try {
        loaded.settingsEncoding = text_file::detectEncoding(file);
        std::int32_t group = 0;
        std::u16string line;
        while (!text_file::atEnd(file)) {
            text_file::readLine(file, line, loaded.settingsEncoding);
            std::size_t start = 0;
            std::size_t end = line.size();
            while (start < end && line[start] == u' ') ++start;
            while (end > start && line[end - 1] == u' ') --end;
            if (start < end) addLine(loaded, group, line, start, end);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return !text_file::readFailed(file);
}

}  // namespace

std::u16string_view entryKey(const SettingsEntry& entry) { return View(entry.text, entry.keyLength); }

std::u16string_view entryValue(const SettingsEntry& entry) {
    return View(entry.text + entry.valueStart, entry.valueLength);
}

std::u16string_view groupName(const SettingsStore& store, std::int32_t group) {
    if (group < 0 || static_cast<std::size_t>(group) >= store.groups.size()) return View();
    return nameOf(store.groups[static_cast<std::size_t>(group)]);
}

int load(SettingsStore& store) {
    store.settingsEncoding = TextEncoding::Utf8;
    OpenFile file(text_file::openRead(store.settingsPath));
    if (file.id == FileId::none) {
        store.loadRefused = text_file::exists(store.settingsPath);
        return 0;
    }
    // Built aside, so that a load that fails part of the way leaves the store
    // as it was, as a file that cannot be opened does.
    SettingsStore loaded;
    if (!readEntries(file.id, loaded)) {
        store.loadRefused = true;
        return 0;
    }
    store.settingsEncoding = loaded.settingsEncoding;
    store.currentGroup = 0;
    store.loadRefused = false;
    store.textBlocks = std::move(loaded.textBlocks);
    store.groups = std::move(loaded.groups);
    store.groupIndex = std::move(loaded.groupIndex);
    store.entries = std::move(loaded.entries);
    return 1;
}

std::int32_t selectGroup(SettingsStore& store, std::u16string_view name) {
    store.currentGroup = groupNumber(store, name);
    return store.currentGroup;
}

std::u16string readValue(const SettingsStore& store, std::u16string_view key,
                         std::u16string_view defaultValue) {
    auto place = findKey(store.entries, store.currentGroup, key);
    return std::u16string(place.found ? entryValue(*place.entry) : defaultValue);
}

std::u16string writeValue(SettingsStore& store, std::u16string_view key,
                          std::u16string_view value) {
    auto place = findKey(store.entries, store.currentGroup, key);
    if (place.found) {
        // The key keeps its spelling from the file (its text never moves).
        setText(store, *place.entry, entryKey(*place.entry), value);
    } else {
        SettingsEntry entry;
        entry.group = store.currentGroup;
        setText(store, entry, key, value);
        store.entries.insert(place.entry, entry);
    }
    return std::u16string(value);
}

std::int32_t readNumber(const SettingsStore& store, std::u16string_view key,
                        std::int32_t defaultValue) {
    // An absent key reads as the default's own decimal text would.
    auto place = findKey(store.entries, store.currentGroup, key);
    if (!place.found) return defaultValue;
    const std::int64_t number = textToNumber(entryValue(*place.entry));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(number));
}

std::int32_t writeNumber(SettingsStore& store, std::u16string_view key, std::int32_t value) {
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
    const TextEncoding encoding = store.settingsEncoding;
    text_file::writeByteOrderMark(file.id, encoding);
    if (needsGuardLine(store)) text_file::writeLine(file.id, u"", encoding);

    // Each line goes out in its pieces, which meet at ASCII characters and so
    // encode as the whole line would, without a copy of a long value.
    std::int32_t previousGroup = 0;
    for (const SettingsEntry& entry : store.entries) {
        if (entry.group != previousGroup) {
            text_file::writeLine(file.id, u"", encoding);
            text_file::writeString(file.id, u"[", encoding);
            text_file::writeString(file.id, groupName(store, entry.group), encoding);
            text_file::writeLine(file.id, u"]", encoding);
            previousGroup = entry.group;
        }
        text_file::writeString(file.id, entryKey(entry), encoding);
        if (!isComment(entryKey(entry))) text_file::writeString(file.id, u"=", encoding);
        text_file::writeLine(file.id, entryValue(entry), encoding);
    }
    bool cut = text_file::truncate(file.id);
    return cut && !text_file::writeFailed(file.id) ? 1 : 0;
}
