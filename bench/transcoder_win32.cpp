// The floor for the Windows build: a plain transcoder to UTF-8 that does
// nothing but ReadFile, MultiByteToWideChar, WideCharToMultiByte and
// WriteFile in blocks of one MiB. bench/run times pagesmith-cli.exe against
// it under Wine. With --synced it keeps the product's own discipline: it
// writes a temporary file beside PRODUCT, flushes it (FlushFileBuffers) and
// moves it over PRODUCT (MoveFileEx, written through).
//
// usage: transcoder [--synced] ansi|utf8|utf16le SOURCE PRODUCT
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD blockSize = 1 << 20;

// How many bytes at the end of a block belong to a character that the next
// block completes: a UTF-8 sequence or the first half of a UTF-16 pair.
DWORD cutTail(const unsigned char* bytes, DWORD count, bool utf16, bool lastBlock) {
    if (lastBlock) return 0;
    if (utf16) {
        DWORD tail = count % 2;
        if (count - tail >= 2) {
            const unsigned unit = bytes[count - tail - 2] | bytes[count - tail - 1] << 8;
            if (unit >= 0xD800 && unit <= 0xDBFF) tail += 2;
        }
        return tail;
    }
    // Back over continuation bytes to a lead byte whose sequence is short.
    DWORD back = 0;
    while (back < 3 && back < count && (bytes[count - 1 - back] & 0xC0) == 0x80) ++back;
    if (back == count) return 0;
    const unsigned lead = bytes[count - 1 - back];
    const DWORD length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return length > back + 1 ? back + 1 : 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const bool synced = argc > 1 && std::wcscmp(argv[1], L"--synced") == 0;
    if (synced) {
        --argc;
        ++argv;
    }
    if (argc != 4) {
        std::fprintf(stderr, "usage: transcoder [--synced] ansi|utf8|utf16le SOURCE PRODUCT\n");
        return 2;
    }
    const bool utf16 = std::wcscmp(argv[1], L"utf16le") == 0;
    const UINT codePage = std::wcscmp(argv[1], L"utf8") == 0 ? CP_UTF8 : CP_ACP;
    const std::wstring product = argv[3];
    const std::wstring target = synced ? product + L".tmp" + std::to_wstring(GetCurrentProcessId()) : product;
    HANDLE in = CreateFileW(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE out = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (in == INVALID_HANDLE_VALUE || out == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "transcoder: cannot open the files\n");
        return 1;
    }
    std::vector<unsigned char> bytes(blockSize + 4);
    std::vector<WCHAR> wide(blockSize);
    std::vector<char> utf8(3 * blockSize);
    DWORD carried = 0;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(in, bytes.data() + carried, blockSize, &got, nullptr)) return 1;
        const DWORD count = carried + got;
        if (count == 0) break;
        const DWORD tail = cutTail(bytes.data(), count, utf16, got == 0);
        const DWORD whole = count - tail;
        // UTF-16 needs no first step: the block is the wide text.
        const WCHAR* text = reinterpret_cast<const WCHAR*>(bytes.data());
        int units = static_cast<int>(whole / 2);
        if (!utf16) {
            units = MultiByteToWideChar(codePage, 0, reinterpret_cast<const char*>(bytes.data()),
                                        static_cast<int>(whole), wide.data(), static_cast<int>(wide.size()));
            text = wide.data();
        }
        const int put = WideCharToMultiByte(CP_UTF8, 0, text, units, utf8.data(),
                                            static_cast<int>(utf8.size()), nullptr, nullptr);
        DWORD written = 0;
        if (put > 0 && !WriteFile(out, utf8.data(), static_cast<DWORD>(put), &written, nullptr)) return 1;
        std::memmove(bytes.data(), bytes.data() + whole, tail);
        carried = tail;
        if (got == 0) break;
    }
    CloseHandle(in);
    if (synced && !FlushFileBuffers(out)) return 1;
    CloseHandle(out);
    if (synced && !MoveFileExW(target.c_str(), product.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 1;
    return 0;
}
