// Bad inputs that once lost data or reported a failure as success, grouped by
// fault, each with the outcome it has now: a product that is an input under
// another name, inputs held open by other readers and writers, system reads
// that fail part of the way, and memory that runs out. (Memory and settings
// size are measured by bench/, parallel runs by parallel_runs_test.sh,
// hostile inputs by fuzz/.)
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#endif

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "shell/settings_store.h"
#include "tests/test_support.h"
#include "toolkit/fs/paths.h"
#include "toolkit/fs/product_file.h"
#include "toolkit/fs/product_lock.h"
#include "toolkit/process/system_error.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file.h"
#include "toolkit/text_file/text_file_platform.h"

namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr bool onWindowsBuild = true;
#else
constexpr bool onWindowsBuild = false;
#endif

const std::string sourceText = "[.A]\r\ntext\r\n";
const std::string templateText = "<p>[...]</p>";
const std::string settingsText = "[Settings]\r\nTitleRange=1\r\n";

// A run over three real files in a scratch folder.
struct RunFiles {
    ScratchDir dir;
    CapturedErrors errors;

    RunFiles() {
        clearJobSettings();
        applyDefaultSettings(job);
        currentLine.clear();
        listDepth = 0;
        job.templateDirectory = dir.directory();
        job.templateName = u"Plain";
        job.templatePath = templatePathOf(job);
        job.sourcePath = dir.path(u"notes.txt");
        job.settingsPath = dir.path(u"Pagesmith.ini");
        job.productPath = dir.path(u"notes.htm");
        writeBytes(job.templatePath, templateText);
        writeBytes(job.sourcePath, sourceText);
        writeBytes(job.settingsPath, settingsText);
    }
    std::string messages() const {
        std::string all;
        for (const std::u16string& m : errors.messages) all += (all.empty() ? "" : "|") + utf8FromText(m);
        return all;
    }
    bool inputsIntact() const {
        return readBytes(job.sourcePath) == sourceText && readBytes(job.templatePath) == templateText &&
               readBytes(job.settingsPath) == settingsText;
    }
};

// --- A product that is an input under another name -------------------------

enum class Input { Source, Template, Settings };

const std::u16string& pathOf(Input input) {
    return input == Input::Source ? job.sourcePath : input == Input::Template ? job.templatePath : job.settingsPath;
}

std::u16string nameOf(const RunFiles& run, Input input) { return pathOf(input).substr(run.dir.directory().size()); }

// Each alias maker returns another path of the input, or "" where the
// platform offers no such alias here.
using AliasMaker = std::u16string (*)(const RunFiles& run, Input input);

std::u16string symbolicLink(const RunFiles& run, Input input) {
    std::error_code error;
    fs::create_symlink(fs::path(pathOf(input)), fs::path(run.dir.path(u"link.htm")), error);
    return error ? u"" : run.dir.path(u"link.htm");
}

std::u16string hardLink(const RunFiles& run, Input input) {
    std::error_code error;
    fs::create_hard_link(fs::path(pathOf(input)), fs::path(run.dir.path(u"hard.htm")), error);
    return error ? u"" : run.dir.path(u"hard.htm");
}

std::u16string linkedFolder(const RunFiles& run, Input input) {
    std::error_code error;
    fs::create_directory_symlink(fs::path(run.dir.directory()), fs::path(run.dir.path(u"linked")), error);
    return error ? u"" : run.dir.path(u"linked") + pathSeparator + nameOf(run, input);
}

std::u16string dotStep(const RunFiles& run, Input input) {
    return run.dir.directory() + u"." + pathSeparator + nameOf(run, input);
}

std::u16string dotDotStep(const RunFiles& run, Input input) {
    fs::create_directory(fs::path(run.dir.path(u"sub")));
    return run.dir.path(u"sub") + pathSeparator + u".." + pathSeparator + nameOf(run, input);
}

#ifdef _WIN32
std::u16string letterCase(const RunFiles&, Input input) {
    std::u16string upper = pathOf(input);
    for (char16_t& c : upper) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return upper;
}

std::u16string shortName(const RunFiles&, Input input) {
    wchar_t buffer[MAX_PATH];
    const std::u16string& path = pathOf(input);
    const DWORD length = GetShortPathNameW(reinterpret_cast<const wchar_t*>(path.c_str()), buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return u"";
    const std::u16string shortPath(reinterpret_cast<const char16_t*>(buffer), length);
    return shortPath == path ? u"" : shortPath;
}

std::u16string extendedPrefix(const RunFiles&, Input input) { return u"\\\\?\\" + pathOf(input); }
#else
// Needs the scratch folder as the current one; restores it afterwards.
struct InFolder {
    fs::path before = fs::current_path();
    explicit InFolder(const std::u16string& folder) { fs::current_path(fs::path(folder)); }
    ~InFolder() { fs::current_path(before); }
};

std::u16string procSelfCwd(const RunFiles& run, Input input) { return u"/proc/self/cwd/" + nameOf(run, input); }
#endif

TEST(ProductAlias, EveryOtherNameOfAnInputIsRefused) {
    struct Alias {
        const char* name;
        AliasMaker make;
    };
    static const Alias aliases[] = {
        {"symbolic link", symbolicLink},
        {"hard link", hardLink},
        {"linked folder", linkedFolder},
        {"\".\" step", dotStep},
        {"\"..\" step", dotDotStep},
#ifdef _WIN32
        {"letter case", letterCase},
        {"8.3 short name", shortName},
        {"\\\\?\\ prefix", extendedPrefix},
#else
        {"/proc/self/cwd", procSelfCwd},
#endif
    };
    struct Target {
        Input input;
        const char* name;
        const char* message;
    };
    static const Target targets[] = {
        {Input::Source, "source", "Product file must differ from source and template"},
        {Input::Template, "template", "Product file must differ from source and template"},
        {Input::Settings, "settings", "Product file must differ from the settings file"},
    };
    for (const Alias& alias : aliases) {
        for (const Target& target : targets) {
            RunFiles run;
#ifndef _WIN32
            InFolder here(run.dir.directory());
#endif
            job.productPath = alias.make(run, target.input);
            if (job.productPath.empty()) {
                std::printf("note: no %s here\n", alias.name);
                continue;
            }
            EXPECT_EQ(writeProduct(), 0) << alias.name << " of the " << target.name;
            EXPECT_EQ(run.messages(), target.message) << alias.name << " of the " << target.name;
            EXPECT_TRUE(run.inputsIntact()) << alias.name << " of the " << target.name;
        }
    }
}

// An input that another program holds for writing is still identified.
TEST(ProductAlias, AHeldInputIsStillIdentified) {
    RunFiles run;
    std::error_code error;
    fs::create_hard_link(fs::path(job.sourcePath), fs::path(run.dir.path(u"hard.htm")), error);
    ASSERT_FALSE(error) << error.message();
    const FileId holder = text_file::openReadWrite(job.sourcePath);
    ASSERT_NE(holder, FileId::none);
    job.productPath = run.dir.path(u"hard.htm");
    EXPECT_EQ(writeProduct(), 0);
    text_file::close(holder);
    EXPECT_EQ(run.messages(), "Product file must differ from source and template");
    EXPECT_TRUE(run.inputsIntact());
}

// A product that does not exist is no input, whatever its name looks like;
// one that cannot be identified is compared by its path.
TEST(ProductAlias, NewProductsAndUnidentifiedPaths) {
    {
        RunFiles run;
        job.productPath = run.dir.path(u"notes.txt.htm");
        EXPECT_EQ(writeProduct(), 1);
        EXPECT_EQ(run.messages(), "");
    }
    {
        RunFiles run;
        fs::remove(fs::path(job.sourcePath));
        job.productPath = run.dir.directory() + u"." + pathSeparator + u"notes.txt";
        EXPECT_EQ(writeProduct(), 0);
        EXPECT_EQ(run.messages(), "Product file must differ from source and template");
        EXPECT_FALSE(fileExists(job.sourcePath));
    }
}

// --- Inputs held open elsewhere ---------------------------------------------

// A reader of an input no longer stands in a run's way; a writer still does,
// with the messages a locked file always had. The product, once created, is
// held alone.
TEST(SharedReading, ReadersShareAndWritersShutOut) {
    struct Case {
        const char* name;
        Input input;
        bool writer;
        int result;
        const char* messages;
    };
    static const Case cases[] = {
        {"source read elsewhere", Input::Source, false, 1, ""},
        {"template read elsewhere", Input::Template, false, 1, ""},
        {"source written elsewhere", Input::Source, true, 0, "Source not found"},
        {"template written elsewhere", Input::Template, true, 0, "Cannot read template file"},
    };
    for (const Case& c : cases) {
        RunFiles run;
        const FileId holder = c.writer ? text_file::openReadWrite(pathOf(c.input)) : text_file::openRead(pathOf(c.input));
        ASSERT_NE(holder, FileId::none) << c.name;
        EXPECT_EQ(writeProduct(), c.result) << c.name;
        EXPECT_EQ(run.messages(), c.messages) << c.name;
        text_file::close(holder);
        EXPECT_TRUE(run.inputsIntact()) << c.name;
    }
}

TEST(SharedReading, SettingsLoadBesideAReaderButSaveAlone) {
    RunFiles run;
    SettingsStore store;
    store.settingsPath = job.settingsPath;
    const FileId reader = text_file::openRead(store.settingsPath);
    ASSERT_NE(reader, FileId::none);
    EXPECT_EQ(load(store), 1);
    selectGroup(store, u"Settings");
    EXPECT_EQ(readNumber(store, u"TitleRange", 7), 1);
    writeNumber(store, u"TitleRange", 2);
    EXPECT_EQ(save(store), 0);
    text_file::close(reader);
    EXPECT_EQ(readBytes(store.settingsPath), settingsText);
}

// --- Special files ---------------------------------------------------------

#ifndef _WIN32
// A FIFO put in place of an input (as under a watching run) is opened
// without waiting for a writer, and read as empty. Should an open wait, a
// writer comes after ten seconds and fails the case instead of hanging.
TEST(SpecialFiles, AFifoInPlaceOfAnInputIsNotWaitedFor) {
    struct Case {
        Input input;
        int result;
        const char* messages;
        const char* product;
    };
    static const Case cases[] = {
        {Input::Source, 1, "", "\xEF\xBB\xBF<p></p>"},
        {Input::Template, 0, "'[...]' not found in template", "\xEF\xBB\xBF"},
    };
    for (const Case& c : cases) {
        RunFiles run;
        const std::string fifo = utf8FromText(pathOf(c.input));
        fs::remove(fs::path(fifo));
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        std::atomic<bool> ended{false};
        std::thread rescue([&] {
            for (int i = 0; i < 500 && !ended; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (!ended) close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
        });
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(writeProduct(), c.result);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        ended = true;
        rescue.join();
        EXPECT_EQ(run.messages(), c.messages);
        EXPECT_EQ(escapeBytes(readBytes(job.productPath)), escapeBytes(c.product));
    }
}
#endif

// --- System reads that fail -------------------------------------------------

// The system's files, except that reads of one path fail once `allowed`
// bytes of it have been read.
struct FailingReads {
    static std::u16string path;
    static std::int64_t allowed;
    static platform_file::Handle failing;

    static bool open(const std::u16string& name, platform_file::OpenMode mode, platform_file::Handle& handle) {
        if (!platform_file::systemFiles().open(name, mode, handle)) return false;
        if (name == path) failing = handle;
        return true;
    }
    static void close(platform_file::Handle handle) {
        if (handle == failing) failing = -1;
        platform_file::systemFiles().close(handle);
    }
    static std::int32_t read(platform_file::Handle handle, void* bytes, std::int32_t count) {
        if (handle == failing) {
            if (allowed <= 0) return -1;
            if (count > allowed) count = static_cast<std::int32_t>(allowed);
        }
        const std::int32_t got = platform_file::systemFiles().read(handle, bytes, count);
        if (handle == failing && got > 0) allowed -= got;
        return got;
    }

    const platform_file::Backend backend;
    const platform_file::Backend& previous;

    FailingReads(const std::u16string& failingPath, std::int64_t bytesBeforeFailure)
        : backend(failingBackend()), previous(platform_file::useBackend(backend)) {
        path = failingPath;
        allowed = bytesBeforeFailure;
        failing = -1;
    }
    ~FailingReads() { platform_file::useBackend(previous); }

    static platform_file::Backend failingBackend() {
        platform_file::Backend b = platform_file::systemFiles();
        b.open = open;
        b.close = close;
        b.read = read;
        return b;
    }
};

std::u16string FailingReads::path;
std::int64_t FailingReads::allowed = 0;
platform_file::Handle FailingReads::failing = -1;

TEST(ReadFailure, AFailedReadIsAnErrorNotTheEnd) {
    struct Case {
        const char* name;
        Input input;
        std::int64_t allowed;
        const char* messages;
        const char* product;  // what stays after the mark
    };
    static const Case cases[] = {
        {"source at once", Input::Source, 0, "Cannot read source file", "<p>"},
        {"source part of the way", Input::Source, 6, "Cannot read source file", "<p><ul><li><h1>A</h1>\r\n</li></ul>"},
        {"template at once", Input::Template, 0, "Cannot read template file", ""},
        {"template part of the way", Input::Template, 4, "Cannot read template file", "<p>[\r\n"},
    };
    for (const Case& c : cases) {
        RunFiles run;
        int result;
        {
            FailingReads failing(pathOf(c.input), c.allowed);
            result = writeProduct();
        }
        EXPECT_EQ(result, 0) << c.name;
        EXPECT_EQ(run.messages(), c.messages) << c.name;
        EXPECT_EQ(escapeBytes(readBytes(job.productPath)), escapeBytes("\xEF\xBB\xBF" + std::string(c.product))) << c.name;
        EXPECT_TRUE(run.inputsIntact()) << c.name;
    }
}

// A settings file that fails to read is treated as one that cannot be
// opened: nothing of it is taken, and save leaves it alone.
TEST(ReadFailure, SettingsThatFailToReadAreLeftAlone) {
    RunFiles run;
    SettingsStore store;
    store.settingsPath = job.settingsPath;
    {
        FailingReads failing(store.settingsPath, 12);
        EXPECT_EQ(load(store), 0);
    }
    EXPECT_TRUE(store.loadRefused);
    EXPECT_EQ(groupCount(store), 0);
    selectGroup(store, u"Settings");
    EXPECT_EQ(readNumber(store, u"TitleRange", 5), 5);
    writeNumber(store, u"TitleRange", 2);
    EXPECT_EQ(save(store), 0);
    EXPECT_EQ(readBytes(store.settingsPath), settingsText);
}

// --- Replacing a product --------------------------------------------------

void noChange(const ScratchDir&) {}

void hardLinked(const ScratchDir& dir) {
    fs::create_hard_link(fs::path(dir.path(u"product.htm")), fs::path(dir.path(u"hard.htm")));
}

#ifndef _WIN32
void symbolicallyLinked(const ScratchDir& dir) {
    fs::rename(fs::path(dir.path(u"product.htm")), fs::path(dir.path(u"real.htm")));
    fs::create_symlink("real.htm", fs::path(dir.path(u"product.htm")));
}

void ownerOnly(const ScratchDir& dir) {
    fs::permissions(fs::path(dir.path(u"product.htm")), fs::perms::owner_read | fs::perms::owner_write);
}

// Its mode shows the mask (rw) as group bits: 0660 for an owning group that may only read.
void withAcl(const ScratchDir& dir) {
    ownerOnly(dir);
    ASSERT_EQ(std::system(("setfacl -m u:nobody:rw,g::r,m::rw '" + dir.nativePath("product.htm") + "'").c_str()), 0);
}

void withAttribute(const ScratchDir& dir) {
    ASSERT_EQ(std::system(("setfattr -n user.origin -v kept '" + dir.nativePath("product.htm") + "'").c_str()), 0);
}

// Every extended attribute of the file, its ACL among them: "name=value;".
std::string attributesOf(const std::u16string& path) {
    const std::string native = utf8FromText(path);
    std::string names(65536, '\0'), all;
    const ssize_t length = listxattr(native.c_str(), &names[0], names.size());
    for (std::size_t at = 0; length > 0 && at < static_cast<std::size_t>(length); at = names.find('\0', at) + 1) {
        std::string value(65536, '\0');
        const ssize_t size = getxattr(native.c_str(), names.c_str() + at, &value[0], value.size());
        all += std::string(names.c_str() + at) + "=" + escapeBytes(value.substr(0, size < 0 ? 0 : size)) + ";";
    }
    return all;
}
#endif

// The command line's replace of an existing product: what it keeps (its
// permission bits, ACL and extended attributes), and the
// one lock it shares with every other writer of the product. The folder ends
// with no temporary file, and every other file in it is a link to the
// product that sees its bytes.
TEST(ProductReplacement, KeepsWhatTheProductIsAndYieldsToOtherWriters) {
    struct Case {
        const char* name;
        void (*prepare)(const ScratchDir& dir);
        bool heldByWriter;       // a plain run or the window program writes it
        bool heldByReplacement;  // another command line replaces it
    };
    static const Case cases[] = {
        {"plain file", noChange, false, false},
        {"held by another writer", noChange, true, false},
        {"held by another replace", noChange, false, true},
        {"hard link", hardLinked, false, false},
#ifndef _WIN32
        {"symbolic link", symbolicallyLinked, false, false},
        {"owner-only permissions", ownerOnly, false, false},
        {"an ACL", withAcl, false, false},
        {"an extended attribute", withAttribute, false, false},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const std::u16string product = dir.path(u"product.htm");
        writeBytes(product, "old");
        c.prepare(dir);
        const fs::file_status before = fs::status(fs::path(product));
#ifndef _WIN32
        const std::string attributes = attributesOf(product);
#endif
        const bool linked = fs::is_symlink(fs::path(product));
        const FileId writer = c.heldByWriter ? text_file::openReadWrite(product) : FileId::none;
        ProductReplacement other;
        ASSERT_EQ(c.heldByReplacement && !beginProductReplacement(product, other), false);
        const bool held = c.heldByWriter || c.heldByReplacement;
        ProductReplacement replacement;
        ASSERT_EQ(beginProductReplacement(product, replacement), !held);
        if (held && !onWindowsBuild) {
            EXPECT_EQ(utf8FromText(systemErrorText(lastSystemError())), "in use by another process");
        } else if (!held) {
            writeBytes(replacement.temporary, "new");
            EXPECT_TRUE(finishProductReplacement(replacement));
        }
        text_file::close(writer);
        abandonProductReplacement(other);

        EXPECT_EQ(readBytes(product), held ? "old" : "new");
        EXPECT_EQ(fs::status(fs::path(product)).permissions(), before.permissions());
#ifndef _WIN32
        EXPECT_EQ(attributesOf(product), attributes);
#endif
        EXPECT_EQ(fs::is_symlink(fs::path(product)), linked);
        for (const auto& entry : fs::directory_iterator(fs::path(dir.directory()))) {
            EXPECT_EQ(entry.path().filename().u8string().find(".pagesmith-"), std::string::npos);
            EXPECT_EQ(readBytes(u16(entry.path().u8string())), held ? "old" : "new") << entry.path();
        }
    }
}

// A temporary file that a killed process of this machine left beside the
// product is removed by the next replace; a live process's is not. A product
// name as long as the folder takes gets a shortened temporary name that the
// same rule reads back.
TEST(ProductReplacement, RemovesOnlyADeadProcesssTemporaryFile) {
    for (const std::u16string& name : {std::u16string(u"product.htm"), std::u16string(251, u'a') + u".htm"}) {
        SCOPED_TRACE(name.size());
        ScratchDir dir;
        const std::u16string product = dir.path(name);
        ProductReplacement replacement;
        ASSERT_TRUE(beginProductReplacement(product, replacement));
        const std::u16string ours = replacement.temporary;
        abandonProductReplacement(replacement);
        ASSERT_FALSE(ours.empty());
        std::u16string dead = ours;
        while (!dead.empty() && dead.back() >= u'0' && dead.back() <= u'9') dead.pop_back();
        dead += u"2147483646";
        const std::u16string live = ours + u"-1";
        writeBytes(dead, "left");
        writeBytes(live, "in use");
        ASSERT_TRUE(fileExists(dead) && fileExists(live));
        ASSERT_TRUE(beginProductReplacement(product, replacement));
        abandonProductReplacement(replacement);
        EXPECT_FALSE(fileExists(dead));
        EXPECT_EQ(readBytes(live), "in use");
    }
}

// The product's lock, for a product that is not there yet as for one that
// is, a site's folder too: while it is held, a second taker of the same
// product is refused, a taker of another product is not; once let go, its
// file is gone. A name too long for "." NAME ".pagesmith-lock" still gets a
// lock of its own.
TEST(ProductLock, OneHolderPerProductNewOrOld) {
    const std::string longStem(250, 'n');
    struct Case {
        const char* name;
        std::string first, second;  // products in the folder; "link" is a symbolic link to "real.htm"
        ProductLockKind secondKind;
        bool refused;
    };
    const Case cases[] = {
        {"a new product", "new.htm", "new.htm", ProductLockKind::Writing, true},
        {"an existing product", "old.htm", "old.htm", ProductLockKind::Writing, true},
        {"a watcher's lock is not a writer's", "new.htm", "new.htm", ProductLockKind::Watching, false},
        {"two long names that begin alike", longStem + "a.htm", longStem + "b.htm", ProductLockKind::Writing, false},
        {"a long name held twice", longStem + "a.htm", longStem + "a.htm", ProductLockKind::Writing, true},
        {"a site's folder", "site", "site", ProductLockKind::Writing, true},
#ifndef _WIN32
        {"a symbolic link and its target", "link", "real.htm", ProductLockKind::Writing, true},
#endif
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        writeBytes(dir.path(u"old.htm"), "old");
        fs::create_directory(fs::path(dir.path(u"site")));
#ifndef _WIN32
        writeBytes(dir.path(u"real.htm"), "old");
        fs::create_symlink("real.htm", fs::path(dir.path(u"link")));
#endif
        ProductLock first, second;
        EXPECT_TRUE(lockProduct(dir.path(u16(c.first)), ProductLockKind::Writing, first));
        EXPECT_NE(first.handle, -1);
        EXPECT_TRUE(fileExists(first.path));
        EXPECT_EQ(lockProduct(dir.path(u16(c.second)), c.secondKind, second), !c.refused);
        EXPECT_EQ(c.refused && !productLockBusy(lastSystemError()), false);
        unlockProduct(second);
        unlockProduct(first);
        for (const auto& entry : fs::directory_iterator(fs::path(dir.directory())))
            EXPECT_EQ(entry.path().filename().u8string().find(".pagesmith-"), std::string::npos) << entry.path();
    }
}

// --- Memory that runs out ----------------------------------------------------

// An address-space limit just above what the process holds makes the long
// line's text impossible to allocate. (A sanitizer reserves far more address
// space than any limit could leave; Windows shows this with bench/memory.)
// GCC says AddressSanitizer with a macro, clang through __has_feature.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PAGESMITH_ADDRESS_SANITIZER 1
#endif
#endif
#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__) && !defined(PAGESMITH_ADDRESS_SANITIZER)
TEST(OutOfMemory, ARunThatRunsOutEndsWithAMessage) {
    RunFiles run;
    {
        std::ofstream source(fs::path(job.sourcePath), std::ios::binary | std::ios::trunc);
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 48; ++i) source << block;
    }
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &saved), 0);
    rlimit tight = saved;
    tight.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (48u << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    const int result = writeProduct();
    setrlimit(RLIMIT_AS, &saved);

    EXPECT_EQ(result, 0);
    EXPECT_EQ(run.messages(), "Not enough memory");
    EXPECT_EQ(escapeBytes(readBytes(job.productPath)), escapeBytes("\xEF\xBB\xBF<p>"));
    // Nothing stays open: the inputs can be written again.
    EXPECT_NE(text_file::create(job.sourcePath, FileId{1}), FileId::none);
    text_file::close(FileId{1});
}
#endif

}  // namespace
