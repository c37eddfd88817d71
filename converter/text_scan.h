// Finding the next character of interest in a line, four UTF-16 units per
// step: plain text is most of an export, and this scan is most of the work.
#pragma once

#include <cstdint>
#include <cstring>

// The first unit in [p, end) equal to a, b or c (repeat one to look for
// fewer), or end.
inline const char16_t* findFirstOf(const char16_t* p, const char16_t* end, char16_t a, char16_t b,
                                   char16_t c) {
    constexpr std::uint64_t ones = 0x0001000100010001ULL;
    constexpr std::uint64_t highs = 0x8000800080008000ULL;
    const std::uint64_t wideA = ones * a;
    const std::uint64_t wideB = ones * b;
    const std::uint64_t wideC = ones * c;
    // A lane of x is zero exactly where the unit matched; the test below is
    // exact about whether any lane is zero.
    auto anyZeroLane = [](std::uint64_t x) { return ((x - ones) & ~x & highs) != 0; };
    while (end - p >= 4) {
        std::uint64_t units;
        std::memcpy(&units, p, sizeof units);
        if (anyZeroLane(units ^ wideA) || anyZeroLane(units ^ wideB) || anyZeroLane(units ^ wideC)) break;
        p += 4;
    }
    for (; p != end; ++p) {
        if (*p == a || *p == b || *p == c) return p;
    }
    return end;
}
