// The names of a product's temporary files, for both systems' replacement:
// PREFIX<process> or PREFIX<process>-<n>, where PREFIX names the product and
// this machine (product_file_posix.cpp, product_file_win32.cpp).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

// The process number of a temporary file's name after its prefix; -1 when
// the rest is not "<process>" or "<process>-<n>", or the number is too long.
template <typename Char>
long long temporaryFileProcess(std::basic_string_view<Char> rest) {
    std::size_t at = 0;
    const auto number = [&rest, &at] {
        const std::size_t start = at;
        long long value = 0;
        while (at < rest.size() && at - start < 12 && rest[at] >= '0' && rest[at] <= '9') value = value * 10 + (rest[at++] - '0');
        return at == start ? -1 : value;
    };
    const long long process = number();
    if (at < rest.size() && rest[at] == '-' && (++at, number()) < 0) return -1;
    return at == rest.size() ? process : -1;
}

// Room after the prefix: a process number of up to ten digits, "-" and n < 100.
constexpr std::size_t temporaryProcessRoom = 10 + 1 + 2;

// The prefix of the temporary files of the product NAME: "." NAME TAIL,
// where TAIL names the program and this machine. Where that would leave no
// room within `limit`, the longest name the folder takes (in the units of
// Char), NAME is cut and ends in "~" and eight hex digits of a hash of all
// of it: any name the folder takes as a product then works, and products
// that share their first part keep prefixes of their own. A cut never falls
// inside a character (UTF-8 bytes, a surrogate pair).
template <typename Char>
std::basic_string<Char> temporaryFilePrefix(std::basic_string_view<Char> name, std::basic_string_view<Char> tail,
                                            std::size_t limit) {
    std::basic_string<Char> prefix(1, Char('.'));
    if (1 + name.size() + tail.size() + temporaryProcessRoom <= limit) {
        prefix.append(name).append(tail);
        return prefix;
    }
    using Unit = std::make_unsigned_t<Char>;
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (const Char c : name) hash = (hash ^ static_cast<Unit>(c)) * 16777619u;
    constexpr std::size_t markLength = 9;  // "~" and eight hex digits
    const std::size_t fixed = 1 + tail.size() + temporaryProcessRoom + markLength;
    std::size_t keep = std::min(name.size(), limit > fixed ? limit - fixed : 0);
    const auto inside = [](Unit c) {
        return sizeof(Char) == 1 ? (c & 0xC0) == 0x80 : (c >= 0xDC00 && c <= 0xDFFF);
    };
    while (keep > 0 && keep < name.size() && inside(static_cast<Unit>(name[keep]))) --keep;
    prefix.append(name.substr(0, keep));
    prefix += Char('~');
    for (int shift = 28; shift >= 0; shift -= 4) prefix += Char("0123456789abcdef"[(hash >> shift) & 0xF]);
    prefix.append(tail);
    return prefix;
}
