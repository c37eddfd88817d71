// One writer of a product at a time, from a run's first step: a lock on a
// hidden file beside the product, named after it, so that it also covers a
// product that does not exist yet. The first run to take it writes; a later
// one is refused before it reads anything. A watcher holds a lock of its own
// kind for as long as it watches, so that a second watcher of the product is
// refused (product_lock_posix.cpp, product_lock_win32.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

enum class ProductLockKind { Writing, Watching };

struct ProductLock {
    std::intptr_t handle = -1;  // -1: nothing held
    std::u16string path;        // the lock's file
    ProductLockKind kind = ProductLockKind::Writing;
};

// Takes the product's lock of that kind without waiting. False, with the
// system's reason in lastSystemError, only when another process holds it
// (productLockBusy). A product is a file or a folder (a site's); one that is
// neither (a device, a pipe), or a folder that cannot take the lock's file,
// is left to the replacement, which writes it as named or reports the
// folder's reason: then true, with nothing held.
bool lockProduct(const std::u16string& productPath, ProductLockKind kind, ProductLock& lock);

// Removes the lock's file and lets the lock go; errors are kept as they were.
void unlockProduct(ProductLock& lock);

// Whether a system error code is another process holding a lock or the
// product itself ("in use by another process").
bool productLockBusy(int systemError);

// The file whose removal (or close) says the product's lock was let go, for a
// watcher that waits for it.
std::u16string productLockPath(const std::u16string& productPath, ProductLockKind kind);

// The lock file's name: "." NAME ".pagesmith-lock" (".pagesmith-watch" for a
// watcher). Where that would pass the folder's limit of `limit` units, the
// name is cut at a character's start and a hash of the whole name keeps it
// apart from any other product's: "." CUT "~" 16 hex digits SUFFIX.
template <typename Char>
std::basic_string<Char> productLockName(std::basic_string_view<Char> name, ProductLockKind kind, std::size_t limit) {
    const std::string_view suffix = kind == ProductLockKind::Writing ? ".pagesmith-lock" : ".pagesmith-watch";
    std::basic_string<Char> result(1, Char('.'));
    if (1 + name.size() + suffix.size() <= limit) {
        result.append(name);
    } else {
        std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
        for (const Char c : name) {
            hash ^= static_cast<std::uint64_t>(static_cast<std::make_unsigned_t<Char>>(c));
            hash *= 1099511628211ull;
        }
        std::size_t keep = limit - 1 - suffix.size() - 17;
        const auto inside = [](Char c) {
            const auto unit = static_cast<std::make_unsigned_t<Char>>(c);
            return sizeof(Char) == 1 ? (unit & 0xC0) == 0x80 : unit >= 0xDC00 && unit <= 0xDFFF;
        };
        while (keep > 0 && inside(name[keep])) --keep;
        result.append(name.substr(0, keep));
        result += Char('~');
        for (int shift = 60; shift >= 0; shift -= 4) result += Char("0123456789abcdef"[(hash >> shift) & 15]);
    }
    for (const char c : suffix) result += Char(c);
    return result;
}
