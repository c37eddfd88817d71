#include "tests/test_support.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "shell/settings_store.h"
#include "toolkit/fs/paths.h"
#include "toolkit/process/report.h"
#include "toolkit/text/native_names.h"
#include "toolkit/text/strings.h"

namespace fs = std::filesystem;

namespace {

// A POSIX name keeps its bytes, as the program's own files do.
#ifdef _WIN32
fs::path toFsPath(const std::u16string& path) { return fs::path(path); }
#else
fs::path toFsPath(const std::u16string& path) { return fs::path(nativeNameFromText(path)); }
#endif

CapturedErrors* activeCapture = nullptr;

void captureSink(std::u16string_view message) {
    if (activeCapture) activeCapture->messages.emplace_back(message);
}

}  // namespace

ScratchDir::ScratchDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path candidate = base / ("pagesmith-test-" + std::to_string(random()) + "-" +
                                     std::to_string(counter++));
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            root = candidate.string();
            break;
        }
    }
}

ScratchDir::~ScratchDir() {
    std::error_code error;
    fs::remove_all(root, error);
}

std::u16string ScratchDir::path(std::u16string_view name) const {
    return directory() + std::u16string(name);
}

std::string ScratchDir::nativePath(std::string_view name) const {
    return (fs::path(root) / fs::path(std::string(name))).string();
}

std::u16string ScratchDir::directory() const {
    std::u16string dir = fs::path(root).u16string();
    if (dir.empty() || dir.back() != pathSeparator) dir += pathSeparator;
    return dir;
}

void writeBytes(const std::u16string& path, std::string_view bytes) {
    std::ofstream out(toFsPath(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readBytes(const std::u16string& path) {
    std::ifstream in(toFsPath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool fileExists(const std::u16string& path) {
    std::error_code error;
    return fs::exists(toFsPath(path), error);
}

std::string escapeBytes(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\\') out += "\\\\";
        else if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

CapturedErrors::CapturedErrors() {
    activeCapture = this;
    setErrorSink(captureSink);
}

CapturedErrors::~CapturedErrors() {
    setErrorSink(nullptr);
    activeCapture = nullptr;
}

std::u16string u16(std::string_view utf8) { return textFromUtf8(utf8); }

std::u16string blanks(int count) {
    return count <= 0 ? std::u16string() : std::u16string(static_cast<std::size_t>(count), u' ');
}

std::int32_t groupCount(const SettingsStore& store) { return static_cast<std::int32_t>(store.groups.size() - 1); }
