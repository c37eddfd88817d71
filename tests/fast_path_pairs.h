// Every fast path of the text files run beside its plain rule on the same
// input, as the table test and the line reader's fuzzer both hold them; a
// path with a word size or a step of its own runs with each it may take.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "toolkit/text_file/fast_paths.h"

// The name of the first fast path that answers otherwise than its plain
// rule on `count` bytes (and on the units they make), or null. `bytes` and
// `units` are read only within `count`.
inline const char* differingFastPath(const unsigned char* bytes, std::size_t count, const char16_t* units,
                                     std::size_t unitCount) {
    using namespace fast_paths;
    static std::vector<char16_t> wide[2];
    static std::vector<std::uint64_t> ends[2];
    static std::vector<unsigned char> narrow[2];
    for (int i = 0; i < 2; ++i) {
        wide[i].assign(count + 16, 0);
        ends[i].assign(static_cast<std::size_t>(markWords(static_cast<std::int32_t>(count))), 0);
        narrow[i].assign(unitCount + 16, 0);
    }
    const unsigned char* const end = bytes + count;
    if (findLineEnd(bytes, end) != findLineEndPlain(bytes, end)) return "findLineEnd";
    const unsigned char* const unitsEnd = bytes + (count & ~std::size_t{1});
    if (findUnitLineEnd(bytes, unitsEnd) != findUnitLineEndPlain(bytes, unitsEnd)) return "findUnitLineEnd";

    // A code page that leaves ASCII as it is and moves every other byte.
    static char16_t table[256];
    for (int b = 0; b < 256; ++b) table[b] = static_cast<char16_t>(b < 0x80 ? b : 0x2500 + b);
    const auto n = static_cast<std::int32_t>(count);
    widenAndMark(bytes, n, table, wide[0].data(), ends[0].data());
    widenAndMarkPlain(bytes, n, table, wide[1].data(), ends[1].data());
    if (wide[0] != wide[1] || ends[0] != ends[1]) return "widenAndMark";
    // Every start up to the mark after the last byte, through both words.
    for (std::int32_t from = 0; from <= n; ++from) {
        const std::int32_t plain = nextMarkPlain(ends[0].data(), from);
        if (nextMark<8>(ends[0].data(), from) != plain || nextMark<4>(ends[0].data(), from) != plain) {
            return "nextMark";
        }
    }

    auto sameRun = [](std::size_t a, std::size_t b, const auto& out) {
        return a == b && std::memcmp(out[0].data(), out[1].data(), a * sizeof out[0][0]) == 0;
    };
    if (!sameRun(widenPlainRun<true>(bytes, count, wide[0].data()),
                 widenPlainRunPlain<true>(bytes, count, wide[1].data()), wide) ||
        !sameRun(widenPlainRun<false>(bytes, count, wide[0].data()),
                 widenPlainRunPlain<false>(bytes, count, wide[1].data()), wide)) {
        return "widenPlainRun";
    }
    for (bool dropCutTail : {false, true}) {
        std::u16string decoded[2] = {u"x", u"x"};
        appendUtf8(bytes, count, Utf8DecodeRules{u'?', dropCutTail}, decoded[0]);
        appendUtf8Plain(bytes, count, Utf8DecodeRules{u'?', dropCutTail}, decoded[1]);
        if (decoded[0] != decoded[1]) return "appendUtf8";
    }

    // The text to append in steps has its slack behind it, as the readers'.
    static std::vector<char16_t> slackText;
    slackText.assign(unitCount + copySlack, u'~');
    std::copy(units, units + unitCount, slackText.begin());
    std::u16string lines[3] = {u"y", u"y", u"y"};
    appendInSteps<copySlack>(lines[0], slackText.data(), unitCount);
    appendInSteps<copyStep>(lines[1], slackText.data(), unitCount);
    appendInStepsPlain(lines[2], slackText.data(), unitCount);
    if (lines[0] != lines[2] || lines[1] != lines[2]) return "appendInSteps";

    const char16_t* const textEnd = units + unitCount;
    for (const char16_t* from : {units, units + unitCount / 2}) {
        if (findUnit(units, from, textEnd, u'[') != findUnitPlain(from, textEnd, u'[')) return "findUnit";
    }
    alignas(16) static unsigned char patterns[4][16];
    const char replaced[] = "<>\"&";
    for (int i = 0; i < 4; ++i) std::memset(patterns[i], replaced[i], 16);
    const RunStops stops = runStops(patterns, '[');
    if (!sameRun(encodeRun<true>(units, unitCount, narrow[0].data(), stops),
                 encodeRunPlain<true>(units, unitCount, narrow[1].data(), stops), narrow) ||
        !sameRun(encodeRun<false>(units, unitCount, narrow[0].data(), stops),
                 encodeRunPlain<false>(units, unitCount, narrow[1].data(), stops), narrow)) {
        return "encodeRun";
    }
    const bool narrowed = narrowAscii(units, unitCount, narrow[0].data());
    if (narrowed != narrowAsciiPlain(units, unitCount, narrow[1].data()) ||
        (narrowed && !sameRun(unitCount, unitCount, narrow))) {
        return "narrowAscii";
    }
    // The leading bytes as a replacement text of every length it may have.
    std::uint64_t text = 0;
    std::memcpy(&text, bytes, count < shortTextBytes ? count : shortTextBytes);
    for (std::size_t length = 0; length <= shortTextBytes && length <= count; ++length) {
        unsigned char stored[2][shortTextBytes + 1] = {};
        if (storeShortText(stored[0], text, length) != stored[0] + length ||
            storeShortTextPlain(stored[1], text, length) != stored[1] + length ||
            std::memcmp(stored[0], stored[1], length) != 0 || stored[0][shortTextBytes] != 0) {
            return "storeShortText";
        }
    }
    return nullptr;
}
