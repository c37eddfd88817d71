#include "shell/settings_store.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/test_support.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file.h"
#include "toolkit/text_file/backend/text_file_memory.h"

namespace {

enum OpKind { Select, Read, Write, ReadNumber, WriteNumber };

// Texts are UTF-8 here and become UTF-16 before they reach the store.
struct Op {
    OpKind kind;
    const char* key;       // group name for Select
    const char* value;     // default for reads, new value for writes
    const char* expected;  // Read: the text; ReadNumber: the number's text; Select: the group number
};

struct RoundTrip {
    const char* name;
    bool fileExists;
    std::string before;
    std::vector<Op> ops;
    std::string after;
};

std::string utf16Bytes(const char* utf8, bool bigEndian) {
    std::string bytes;
    for (char16_t unit : u16(utf8)) {
        char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}
std::string utf16le(const char* utf8) { return "\xFF\xFE" + utf16Bytes(utf8, false); }
std::string utf32le(const char* utf8) {
    std::string bytes = std::string("\xFF\xFE\0\0", 4);
    std::u16string text = u16(utf8);
    for (size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((c >> shift) & 0xFF);
    }
    return bytes;
}
std::string utf16be(const char* utf8) { return "\xFE\xFF" + utf16Bytes(utf8, true); }

const char* const bom = "\xEF\xBB\xBF";

std::vector<RoundTrip> roundTrips() {
    return {
        {"new file is UTF-8 with its mark, one section per group", false, "",
         {{Select, "Template", "", "1"}, {Write, "Last", "basic", ""},
          {Select, "Files", "", "2"}, {Write, "Source", "in.txt", ""}},
         std::string(bom) + "\r\n[Template]\r\nLast=basic\r\n\r\n[Files]\r\nSource=in.txt\r\n"},
        {"groups and keys match regardless of case and keep the file's spelling", true,
         "[files]\r\nproduct=x\r\n",
         {{Select, "Files", "", "1"}, {Read, "Product", "d", "x"}, {Write, "PRODUCT", "y", ""}},
         "\r\n[files]\r\nproduct=y\r\n"},
        {"blanks inside the brackets are part of the name", true, "[ Files ]\r\nProduct=x\r\n",
         {{Select, "Files", "", "2"}, {Read, "Product", "d", "d"}, {Write, "Product", "y", ""}},
         "\r\n[ Files ]\r\nProduct=x\r\n\r\n[Files]\r\nProduct=y\r\n"},
        {"blanks around the equals sign go, a tab stays in the key", true,
         "[S]\r\nKey = Value\r\nTab\t= v2\r\n",
         {{Select, "S", "", "1"}, {Read, "Key", "d", "Value"}, {Read, "Tab", "d", "d"},
          {Read, "Tab\t", "d", "v2"}},
         "\r\n[S]\r\nKey=Value\r\nTab\t=v2\r\n"},
        {"the line is trimmed before the value loses its leading blanks", true,
         "  BrowserTitle=  My page   \r\n",
         {{Read, "BrowserTitle", "d", "My page"}},
         "BrowserTitle=My page\r\n"},
        {"a tab before the line stays part of the key", true, "\tk=v\r\n",
         {{Read, "k", "d", "d"}, {Read, "\tk", "d", "v"}}, "\tk=v\r\n"},
        {"a comment is never a key and comes back unchanged", true,
         "[Template]\r\n;Directory=C:\\x\r\n; note\r\n",
         {{Select, "Template", "", "1"}, {Read, "Directory", "dflt", "dflt"},
          {Read, ";Directory", "dflt", "dflt"}},
         "\r\n[Template]\r\n;Directory=C:\\x\r\n; note\r\n"},
        {"stray lines come back with an equals sign", true, "abc\r\n=x\r\n",
         {{Read, "abc", "d", ""}, {Read, "=x", "d", ""}},
         "abc=\r\n=x=\r\n"},
        {"the value runs from the first equals sign to the end", true, "a=b=c\r\n=x=y\r\n",
         {{Read, "a", "d", "b=c"}, {Read, "", "d", "x=y"}},
         "a=b=c\r\n=x=y\r\n"},
        {"only the first section of a group is searched, new keys join it", true,
         "[Files]\r\nSource=s\r\n[Other]\r\no=1\r\n[Files]\r\nProduct=p\r\n",
         {{Select, "Files", "", "1"}, {Read, "Product", "d", "d"}, {Write, "Product", "new", ""}},
         "\r\n[Files]\r\nSource=s\r\nProduct=new\r\n\r\n[Other]\r\no=1\r\n"
         "\r\n[Files]\r\nProduct=p\r\n"},
        {"a missing group becomes a new section at the end", true, "[A]\r\na=1\r\n",
         {{Select, "B", "", "2"}, {Write, "b", "2", ""}, {Write, "c", "3", ""}},
         "\r\n[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\nc=3\r\n"},
        {"empty lines vanish, one before every header", true,
         "\r\n\r\n   \r\nt=0\r\n\r\n[A]\r\n\r\n\r\na=1\r\n\r\n[B]\r\nb=2\r\n\r\n\r\n",
         {}, "t=0\r\n\r\n[A]\r\na=1\r\n\r\n[B]\r\nb=2\r\n"},
        {"text behind a header's bracket is dropped, empty sections vanish", true,
         "[Settings] old comment\r\nx=1\r\n[Empty]\r\n[Last]]\r\ny=2\r\n",
         {{Select, "Last", "", "3"}, {Read, "y", "", "2"}},
         "\r\n[Settings]\r\nx=1\r\n\r\n[Last]\r\ny=2\r\n"},
        {"keys under [] belong to group 0 and keep their header unless first", true,
         "a=1\r\n[X]\r\nb=2\r\n[]\r\nc=3\r\n",
         {{Select, "", "", "0"}, {Read, "a", "d", "1"}, {Read, "c", "d", "d"}},
         "a=1\r\n\r\n[X]\r\nb=2\r\n\r\n[]\r\nc=3\r\n"},
        {"a [] header first in the file is not written", true, "[]\r\nc=3\r\n[X]\r\nb=2\r\n",
         {{Read, "c", "d", "3"}}, "c=3\r\n\r\n[X]\r\nb=2\r\n"},
        {"a new key of group 0 goes before the first header", true, "[A]\r\nk=v\r\n",
         {{Select, "", "", "0"}, {Write, "top", "1", ""}}, "top=1\r\n\r\n[A]\r\nk=v\r\n"},
        {"numbers: empty and text read as 0, digits stop at the first other character", true,
         "[N]\r\nempty=\r\nstyles=3 styles\r\nword=abc\r\nhex=$ff\r\nneg=-7\r\nwide=4294967297\r\n",
         {{Select, "N", "", "1"}, {ReadNumber, "empty", "1", "0"}, {ReadNumber, "styles", "1", "3"},
          {ReadNumber, "word", "1", "0"}, {ReadNumber, "hex", "1", "255"},
          {ReadNumber, "neg", "1", "-7"}, {ReadNumber, "wide", "1", "1"},
          {ReadNumber, "absent", "-5", "-5"}, {WriteNumber, "empty", "-2147483648", ""}},
         "\r\n[N]\r\nempty=-2147483648\r\nstyles=3 styles\r\nword=abc\r\nhex=$ff\r\nneg=-7\r\n"
         "wide=4294967297\r\n"},
        {"a shorter save leaves nothing of the longer old file", true,
         "[A]      \r\n\r\n\r\nkey     =     value      \r\n\r\n\r\n\r\n;" + std::string(200, 'x') +
             "\r\n",
         {{Select, "A", "", "1"}, {Write, "key", "v", ""}},
         "\r\n[A]\r\nkey=v\r\n;" + std::string(200, 'x') + "\r\n"},
        {"ANSI without a mark comes back in ANSI without a mark", true,
         "[Caf\xE9]\r\nTitle=\xC4pfel \x80\r\n",
         {{Select, "CAF\xC3\x89", "", "1"}, {Read, "Title", "", "\xC3\x84pfel \xE2\x82\xAC"},
          {Write, "Size", "gro\xC3\x9F", ""}},
         "\r\n[Caf\xE9]\r\nTitle=\xC4pfel \x80\r\nSize=gro\xDF\r\n"},
        {"ANSI that cannot hold a written value moves to UTF-8 with its mark", true,
         "[Files]\r\nSource=C:\\caf\xE9.txt\r\n",
         {{Select, "Files", "", "1"}, {Write, "Product", "C:\\\xE6\x97\xA5\xE8\xA8\x98.htm", ""}},
         std::string(bom) + "\r\n[Files]\r\nSource=C:\\caf\xC3\xA9.txt\r\n"
                            "Product=C:\\\xE6\x97\xA5\xE8\xA8\x98.htm\r\n"},
        {"ANSI whose first line starts like a mark gets an empty line before it", true,
         "\r\n\xFF\xFEx=1\r\n", {{Read, "\xC3\xBF\xC3\xBEx", "", "1"}}, "\r\n\xFF\xFEx=1\r\n"},
        {"UTF-8 with its mark keeps the mark", true,
         std::string(bom) + "[Gr\xC3\xBC\xC3\x9F""e]\r\nk=\xE2\x82\xAC\r\n",
         {{Select, "gr\xC3\xBC\xC3\x9F""e", "", "1"}, {Read, "k", "", "\xE2\x82\xAC"},
          {Write, "n", "\xF0\x9F\x98\x80", ""}},
         std::string(bom) + "\r\n[Gr\xC3\xBC\xC3\x9F""e]\r\nk=\xE2\x82\xAC\r\nn=\xF0\x9F\x98\x80\r\n"},
        {"UTF-16LE keeps its mark and encoding", true,
         utf16le("[\xC3\x84]\r\nk=\xE2\x82\xAC\r\n"),
         {{Select, "\xC3\xA4", "", "1"}, {Read, "k", "", "\xE2\x82\xAC"}, {Write, "n", "\xC3\xA9", ""}},
         utf16le("\r\n[\xC3\x84]\r\nk=\xE2\x82\xAC\r\nn=\xC3\xA9\r\n")},
        {"UTF-32LE keeps its mark and encoding", true,
         utf32le("[\xC3\x84]\r\nk=\xF0\x9F\x98\x80\r\n"),
         {{Select, "\xC3\xA4", "", "1"}, {Read, "k", "", "\xF0\x9F\x98\x80"},
          {Write, "n", "\xC3\xA9", ""}},
         utf32le("\r\n[\xC3\x84]\r\nk=\xF0\x9F\x98\x80\r\nn=\xC3\xA9\r\n")},
        {"a header with no entries: its keys become a section at the end", true,
         "[A]\r\n[B]\r\nb=1\r\n",
         {{Select, "a", "", "1"}, {Read, "b", "d", "d"}, {Write, "x", "1", ""}},
         "\r\n[B]\r\nb=1\r\n\r\n[A]\r\nx=1\r\n"},
        {"a new key of group 0 joins the first run, not a later [] section", true,
         "a=1\r\n[X]\r\nb=2\r\n[]\r\nc=3\r\n",
         {{Select, "", "", "0"}, {Write, "d", "4", ""}, {Write, "C", "5", ""}},
         "a=1\r\nd=4\r\nC=5\r\n\r\n[X]\r\nb=2\r\n\r\n[]\r\nc=3\r\n"},
        {"a new file: group 0 first without a header, then the groups", false, "",
         {{Write, "top", "1", ""}, {Select, "S", "", "1"}, {Write, "k", "v", ""},
          {Select, "", "", "0"}, {Write, "second", "2", ""}},
         std::string(bom) + "top=1\r\nsecond=2\r\n\r\n[S]\r\nk=v\r\n"},
        {"a header's name ends at its first bracket and may hold an equals sign", true,
         "[a=b]]x\r\nk=1\r\n[no bracket\r\n[=x\r\n",
         {{Select, "A=B", "", "1"}, {Read, "k", "d", "1"}, {Read, "[no bracket", "d", ""},
          {Read, "[", "d", "x"}},
         "\r\n[a=b]\r\nk=1\r\n[no bracket=\r\n[=x\r\n"},
        {"blanks before a comment go, tabs and equals signs in values stay", true,
         "   ; c = 1  \r\nk==v\r\nt=\tv\t\r\n",
         {{Read, "; c", "d", "d"}, {Read, "k", "d", "=v"}, {Read, "t", "d", "\tv\t"},
          {Read, "K", "d", "=v"}, {Read, "k ", "d", "d"}},
         "; c = 1\r\nk==v\r\nt=\tv\t\r\n"},
        {"numbers: prefixes, signs, the 64-bit wrap and the cut to 32 bits", true,
         "[N]\r\nhexall=$FFFFFFFF\r\nbin=%1101\r\nbig=2147483648\r\nbelow=-2147483649\r\n"
         "tab=\t7\r\nplus=+9\r\nminus=-\r\nsign=- 4\r\nneghex=-$a\r\n"
         "wrap=18446744073709551621\r\nhigh=$100000007\r\n",
         {{Select, "n", "", "1"}, {ReadNumber, "hexall", "1", "-1"}, {ReadNumber, "bin", "1", "13"},
          {ReadNumber, "big", "1", "-2147483648"}, {ReadNumber, "below", "1", "2147483647"},
          {ReadNumber, "tab", "1", "7"}, {ReadNumber, "plus", "1", "9"},
          {ReadNumber, "minus", "1", "0"}, {ReadNumber, "sign", "1", "0"},
          {ReadNumber, "neghex", "1", "-10"}, {ReadNumber, "wrap", "1", "5"},
          {ReadNumber, "high", "1", "7"}, {ReadNumber, "absent", "-2147483648", "-2147483648"},
          {WriteNumber, "plus", "2147483647", ""}, {WriteNumber, "new", "-1", ""}},
         "\r\n[N]\r\nhexall=$FFFFFFFF\r\nbin=%1101\r\nbig=2147483648\r\nbelow=-2147483649\r\n"
         "tab=\t7\r\nplus=2147483647\r\nminus=-\r\nsign=- 4\r\nneghex=-$a\r\n"
         "wrap=18446744073709551621\r\nhigh=$100000007\r\nnew=-1\r\n"},
        {"UTF-16BE keeps its mark and encoding", true,
         utf16be("[\xC3\x84]\r\nk=\xE2\x82\xAC\r\n"),
         {{Select, "\xC3\x84", "", "1"}, {Read, "k", "", "\xE2\x82\xAC"}, {Write, "n", "\xC3\xA9", ""}},
         utf16be("\r\n[\xC3\x84]\r\nk=\xE2\x82\xAC\r\nn=\xC3\xA9\r\n")},
    };
}

std::string describe(const Op& op) {
    static const char* const names[] = {"selectGroup", "readValue", "writeValue", "readNumber",
                                         "writeNumber"};
    return std::string(names[op.kind]) + "(" + op.key + ", " + op.value + ")";
}

TEST(SettingsStore, RoundTrips) {
    for (const RoundTrip& t : roundTrips()) {
        SCOPED_TRACE(t.name);
        ScratchDir dir;
        SettingsStore store;
        store.settingsPath = dir.path(u"Pagesmith.ini");
        if (t.fileExists) writeBytes(store.settingsPath, t.before);
        EXPECT_EQ(load(store), t.fileExists ? 1 : 0);

        for (const Op& op : t.ops) {
            SCOPED_TRACE(describe(op));
            switch (op.kind) {
            case Select:
                EXPECT_EQ(selectGroup(store, u16(op.key)), std::stoi(op.expected));
                EXPECT_EQ(store.currentGroup, std::stoi(op.expected));
                break;
            case Read:
                EXPECT_EQ(utf8FromText(readValue(store, u16(op.key), u16(op.value))), op.expected);
                break;
            case Write:
                EXPECT_EQ(utf8FromText(writeValue(store, u16(op.key), u16(op.value))), op.value);
                break;
            case ReadNumber:
                EXPECT_EQ(readNumber(store, u16(op.key), std::stoi(op.value)), std::stol(op.expected));
                break;
            case WriteNumber: {
                std::int32_t value = static_cast<std::int32_t>(std::stoll(op.value));
                EXPECT_EQ(writeNumber(store, u16(op.key), value), value);
                break;
            }
            }
        }
        EXPECT_EQ(save(store), 1);
        EXPECT_EQ(escapeBytes(readBytes(store.settingsPath)), escapeBytes(t.after));
    }
}

TEST(SettingsStore, TwentyGroupsEachKeepTheirSection) {
    ScratchDir dir;
    SettingsStore store;
    store.settingsPath = dir.path(u"Pagesmith.ini");
    std::string before, after;
    for (int i = 1; i <= 20; ++i) {
        std::string number = std::to_string(i);
        before += "[G" + number + "]\r\nk=" + number + "\r\n";
        after += "\r\n[G" + number + "]\r\nk=" + (i == 17 ? "new" : number) + "\r\n";
    }
    after += "\r\n[G21]\r\nk=21\r\n";
    writeBytes(store.settingsPath, before);
    ASSERT_EQ(load(store), 1);

    for (int i = 1; i <= 20; ++i) {
        std::u16string number = numberToText(i);
        EXPECT_EQ(selectGroup(store, u"g" + number), i);
        EXPECT_EQ(readValue(store, u"k", u""), number);
    }
    selectGroup(store, u"G17");
    writeValue(store, u"k", u"new");
    EXPECT_EQ(selectGroup(store, u"G21"), 21);
    writeValue(store, u"k", u"21");
    ASSERT_EQ(save(store), 1);
    EXPECT_EQ(escapeBytes(readBytes(store.settingsPath)), escapeBytes(after));
}

TEST(SettingsStore, FailedLoadKeepsWhatTheStoreHeld) {
    ScratchDir dir;
    SettingsStore store;
    store.settingsPath = dir.path(u"Pagesmith.ini");
    writeBytes(store.settingsPath, "[A]\r\nk=v\r\n");
    ASSERT_EQ(load(store), 1);
    selectGroup(store, u"A");

    store.settingsPath = dir.path(u"missing.ini");
    EXPECT_EQ(load(store), 0);
    EXPECT_FALSE(store.loadRefused);
    EXPECT_EQ(store.settingsEncoding, TextEncoding::Utf8);
    EXPECT_EQ(store.currentGroup, 1);
    EXPECT_EQ(readValue(store, u"k", u"d"), u"v");
    // A missing file is simply created; it is not a refusal.
    EXPECT_EQ(save(store), 1);
    EXPECT_EQ(escapeBytes(readBytes(store.settingsPath)),
              escapeBytes(std::string(bom) + "\r\n[A]\r\nk=v\r\n"));
}

// A writer shuts out every other open on both platforms, so a file held by
// openReadWrite stands for one that another program holds for writing.
TEST(SettingsStore, FileHeldOpenElsewhereIsNeitherReadNorOverwritten) {
    ScratchDir dir;
    const std::string before = "[Template]\r\nDirectory=C:\\t\\\r\nLast=mine\r\n";
    SettingsStore store;
    store.settingsPath = dir.path(u"Pagesmith.ini");
    writeBytes(store.settingsPath, before);

    FileId holder = text_file::openReadWrite(store.settingsPath);
    ASSERT_NE(holder, FileId::none);
    EXPECT_EQ(load(store), 0);
    EXPECT_TRUE(store.loadRefused);
    selectGroup(store, u"Template");
    EXPECT_EQ(readValue(store, u"Last", u"dflt"), u"dflt");
    writeValue(store, u"Last", u"other");
    EXPECT_EQ(save(store), 0);
    text_file::close(holder);

    // Released now, but what it holds was never read: still left alone.
    EXPECT_EQ(save(store), 0);
    EXPECT_EQ(escapeBytes(readBytes(store.settingsPath)), escapeBytes(before));

    // A later successful load lifts the refusal.
    ASSERT_EQ(load(store), 1);
    EXPECT_FALSE(store.loadRefused);
    selectGroup(store, u"Template");
    writeValue(store, u"Last", u"other");
    EXPECT_EQ(save(store), 1);
    EXPECT_EQ(escapeBytes(readBytes(store.settingsPath)),
              escapeBytes("\r\n[Template]\r\nDirectory=C:\\t\\\r\nLast=other\r\n"));
}

// Whether a settings file that cannot be opened is there at all is asked of
// the files the opens go to, not of the disk behind them.
TEST(SettingsStore, TheFilesInUseSayWhetherAnUnopenableFileIsThere) {
    ScratchDir dir;
    const std::u16string onDisk = dir.path(u"Pagesmith.ini");
    writeBytes(onDisk, "[A]\r\nk=v\r\n");
    const platform_file::Backend& previous = platform_file::useBackend(memory_files::backend());
    memory_files::put(u"/m/Pagesmith.ini", "[A]\r\nk=v\r\n");
    const FileId holder = text_file::openReadWrite(u"/m/Pagesmith.ini");
    SettingsStore held;
    held.settingsPath = u"/m/Pagesmith.ini";
    SettingsStore absent;
    absent.settingsPath = onDisk;
    EXPECT_EQ(load(held), 0);
    EXPECT_EQ(load(absent), 0);
    text_file::close(holder);
    memory_files::clear();
    platform_file::useBackend(previous);
    EXPECT_TRUE(held.loadRefused);
    EXPECT_FALSE(absent.loadRefused);
}

// Saving needs the file alone: another reader is enough to stop it.
TEST(SettingsStore, SaveWhileTheFileIsHeldChangesNothing) {
    ScratchDir dir;
    SettingsStore store;
    store.settingsPath = dir.path(u"Pagesmith.ini");
    writeBytes(store.settingsPath, "a=1\r\n");
    ASSERT_EQ(load(store), 1);
    writeValue(store, u"a", u"2");

    FileId holder = text_file::openRead(store.settingsPath);
    ASSERT_NE(holder, FileId::none);
    EXPECT_EQ(save(store), 0);
    text_file::close(holder);
    EXPECT_EQ(readBytes(store.settingsPath), "a=1\r\n");
}

TEST(SettingsStore, LoadReplacesEverythingAndResetsTheCurrentGroup) {
    ScratchDir dir;
    SettingsStore store;
    store.settingsPath = dir.path(u"one.ini");
    writeBytes(store.settingsPath, "[A]\r\n[B]\r\nb=1\r\n");
    ASSERT_EQ(load(store), 1);
    EXPECT_EQ(groupCount(store), 2);
    EXPECT_EQ(groupName(store, 1), u"A");
    EXPECT_EQ(groupName(store, 2), u"B");
    selectGroup(store, u"B");

    store.settingsPath = dir.path(u"two.ini");
    writeBytes(store.settingsPath, "[C]\r\nc=1\r\n");
    ASSERT_EQ(load(store), 1);
    EXPECT_EQ(store.currentGroup, 0);
    EXPECT_EQ(groupCount(store), 1);
    EXPECT_EQ(groupName(store, 1), u"C");
    EXPECT_EQ(selectGroup(store, u"B"), 2);
    EXPECT_EQ(readValue(store, u"b", u"gone"), u"gone");
}

}  // namespace
