// The names of a product's temporary files, for both systems' replacement:
// PREFIX<process> or PREFIX<process>-<n>, where PREFIX names the product and
// this machine (product_file_posix.cpp, product_file_win32.cpp).
#pragma once

#include <cstddef>
#include <string_view>

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
