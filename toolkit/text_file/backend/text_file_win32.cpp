// Win32 file primitives and the system ANSI code page. A reader shares the
// file with other readers (FILE_SHARE_READ); a writer shares it with nobody.
#include "toolkit/text_file/text_file_platform.h"

#include <windows.h>

#include "toolkit/text/wide_text_win32.h"

namespace platform_file {

namespace {

HANDLE winHandle(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

HANDLE openHandle(const std::u16string& path, DWORD access, DWORD disposition,
                  DWORD sharing = 0) {
    return CreateFileW(wide(path), access, sharing, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// A single-byte code page decodes through a table built once from the system
// converter, which keeps the per-line cost of the converter's hot path low.
struct AnsiTable {
    bool singleByte = false;
    char16_t wide[256] = {};
    AnsiTable() {
        CPINFO info;
        if (!GetCPInfo(CP_ACP, &info) || info.MaxCharSize != 1) return;
        for (int b = 0; b < 256; ++b) {
            char byte = static_cast<char>(b);
            WCHAR c;
            if (MultiByteToWideChar(CP_ACP, 0, &byte, 1, &c, 1) != 1) return;
            wide[b] = static_cast<char16_t>(c);
        }
        singleByte = true;
    }
};

const AnsiTable& ansiTable() {
    static const AnsiTable table;
    return table;
}

// A product is flushed before it takes its name. Flushing each few
// megabytes on a worker thread while the page grows lets that last flush
// wait only for the rest, where it would otherwise wait for the whole page.
// Only files created here are flushed so (a standard stream is no product),
// one flush per file at a time: a step reached while one runs is left to
// the next.
struct EarlyFlush {
    HANDLE file = nullptr;
    HANDLE worker = nullptr;
};
EarlyFlush earlyFlushes[4];  // more files than a run writes at once

DWORD WINAPI flushInBackground(LPVOID file) {
    FlushFileBuffers(static_cast<HANDLE>(file));
    return 0;
}

void flushAsItGrows(HANDLE file) {
    // A pipe's flush would wait for its reader.
    if (GetFileType(file) != FILE_TYPE_DISK) return;
    for (EarlyFlush& flush : earlyFlushes) {
        if (!flush.file) {
            flush.file = file;
            return;
        }
    }
}

void startWritingBack(HANDLE file, DWORD justWritten) {
    constexpr LONGLONG step = LONGLONG(4) << 20;
    EarlyFlush* slot = nullptr;
    for (EarlyFlush& flush : earlyFlushes) {
        if (flush.file == file) slot = &flush;
    }
    LARGE_INTEGER zero, at;
    zero.QuadPart = 0;
    if (!slot || !SetFilePointerEx(file, zero, &at, FILE_CURRENT) ||
        at.QuadPart / step == (at.QuadPart - justWritten) / step)
        return;
    if (slot->worker) {
        if (WaitForSingleObject(slot->worker, 0) == WAIT_TIMEOUT) return;
        CloseHandle(slot->worker);
    }
    slot->worker = CreateThread(nullptr, 0, flushInBackground, file, 0, nullptr);
}

// The file's handle outlives its flush.
void endWritingBack(HANDLE file) {
    for (EarlyFlush& flush : earlyFlushes) {
        if (flush.file != file) continue;
        if (flush.worker) {
            WaitForSingleObject(flush.worker, INFINITE);
            CloseHandle(flush.worker);
        }
        flush = EarlyFlush{};
    }
}

bool openFile(const std::u16string& path, OpenMode mode, Handle& handle) {
    if (path.empty()) return false;
    HANDLE h = INVALID_HANDLE_VALUE;
    switch (mode) {
    case OpenMode::ReadOnly:
        h = openHandle(path, GENERIC_READ, OPEN_EXISTING, FILE_SHARE_READ);
        break;
    case OpenMode::ReadWrite:
        h = openHandle(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
        break;
    case OpenMode::CreateNew:
        // Small files synced together at the end: no writing back as they grow.
        h = openHandle(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
        break;
    case OpenMode::Create:
        h = openHandle(path, GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS);
        // CREATE_ALWAYS refuses hidden and system files; such a file can
        // still be emptied and written.
        if (h == INVALID_HANDLE_VALUE) h = openHandle(path, GENERIC_WRITE, TRUNCATE_EXISTING);
        break;
    }
    if (h == INVALID_HANDLE_VALUE) return false;
    if (mode == OpenMode::Create) flushAsItGrows(h);
    handle = reinterpret_cast<Handle>(h);
    return true;
}

void closeFile(Handle handle) {
    endWritingBack(winHandle(handle));
    CloseHandle(winHandle(handle));
}

std::int32_t readFile(Handle handle, void* bytes, std::int32_t count) {
    DWORD got = 0;
    if (!ReadFile(winHandle(handle), bytes, static_cast<DWORD>(count), &got, nullptr)) {
        // A pipe whose writer has gone, and a file at its end, have ended;
        // anything else is a failed read.
        const DWORD error = GetLastError();
        return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? 0 : -1;
    }
    return static_cast<std::int32_t>(got);
}

std::int32_t writeFile(Handle handle, const void* bytes, std::int32_t count) {
    DWORD put = 0;
    if (!WriteFile(winHandle(handle), bytes, static_cast<DWORD>(count), &put, nullptr)) return 0;
    if (put > 0) startWritingBack(winHandle(handle), put);
    return static_cast<std::int32_t>(put);
}

bool seekFile(Handle handle, std::int64_t position) {
    LARGE_INTEGER to;
    to.QuadPart = position;
    return SetFilePointerEx(winHandle(handle), to, nullptr, FILE_BEGIN) != 0;
}

std::int64_t tellFile(Handle handle) {
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    LARGE_INTEGER at;
    if (!SetFilePointerEx(winHandle(handle), zero, &at, FILE_CURRENT)) return -1;
    return at.QuadPart;
}

bool cutFileHere(Handle handle) { return SetEndOfFile(winHandle(handle)) != 0; }

const Backend systemBackend{openFile, closeFile, readFile,    writeFile,
                            seekFile, tellFile,  cutFileHere, identifySystemFile,
                            systemPathExists};

}  // namespace

const Backend& systemFiles() { return systemBackend; }

const char16_t* ansiDecodeTable() {
    const AnsiTable& table = ansiTable();
    return table.singleByte ? table.wide : nullptr;
}

void appendAnsiAsText(const unsigned char* bytes, std::size_t count, std::u16string& out) {
    if (count == 0) return;
    const std::size_t base = out.size();
    const AnsiTable& table = ansiTable();
    if (table.singleByte) {
        out.resize(base + count);
        char16_t* d = &out[0] + base;
        for (std::size_t i = 0; i < count; ++i) d[i] = table.wide[bytes[i]];
        return;
    }
    const char* source = reinterpret_cast<const char*>(bytes);
    int length = MultiByteToWideChar(CP_ACP, 0, source, static_cast<int>(count), nullptr, 0);
    if (length <= 0) return;
    out.resize(base + static_cast<std::size_t>(length));
    MultiByteToWideChar(CP_ACP, 0, source, static_cast<int>(count),
                        wideUnits(out) + base, length);
}

std::size_t encodeAnsi(const char16_t** text, const char16_t* end, unsigned char* out,
                       std::size_t room) {
    const char16_t* s = *text;
    // No code unit takes more than 3 bytes in any ANSI code page (UTF-8 as
    // the ANSI page included); a surrogate pair is never split.
    std::size_t units = static_cast<std::size_t>(end - s);
    if (units > room / 3) units = room / 3;
    if (units == 0) return 0;
    if (s + units < end && s[units - 1] >= 0xD800 && s[units - 1] <= 0xDBFF) --units;
    // Best-fit mapping would write look-alike letters; the default
    // character makes the loss visible instead.
    DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    int put = WideCharToMultiByte(CP_ACP, flags, wide(s),
                                  static_cast<int>(units), reinterpret_cast<char*>(out),
                                  static_cast<int>(room), nullptr, nullptr);
    if (put <= 0) return 0;
    *text = s + units;
    return static_cast<std::size_t>(put);
}

bool standardHandle(StandardStream stream, Handle& handle) {
    const HANDLE h = GetStdHandle(stream == StandardStream::Input ? STD_INPUT_HANDLE : STD_OUTPUT_HANDLE);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return false;
    handle = reinterpret_cast<Handle>(h);
    return true;
}

}  // namespace platform_file
