// Micro-benchmarks: convertLine on typical export lines, and the three line
// readers on a generated file. Throughput is counted in input bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/line_converter.h"
#include "converter/page_lists.h"
#include "converter/source_reader.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file.h"

namespace {

std::u16string scratchPath(const char* name) {
    return textFromUtf8("/tmp/pagesmith-bench-" + std::to_string(getpid()) + "-" + name);
}

void convertLines(benchmark::State& state, const std::u16string& line) {
    clearJobSettings();
    applyDefaultSettings(job);
    inSource = 1;
    listDepth = 0;
    const std::u16string path = scratchPath("product.htm");
    text_file::create(path, ProductFile);
    std::int64_t converted = 0;
    for (auto _ : state) {
        currentLine = line;
        convertLine();
        converted += static_cast<std::int64_t>(line.size());
        // Keep the file small: start over now and then.
        if (converted % (1 << 24) < static_cast<std::int64_t>(line.size())) {
            text_file::seek(ProductFile, 0);
            text_file::truncate(ProductFile);
        }
    }
    text_file::close(ProductFile);
    std::remove(utf8FromText(path).c_str());
    state.SetBytesProcessed(converted);
}

void BM_ConvertPlainLine(benchmark::State& state) {
    convertLines(state, u"review task example idea meeting idea naive idea uber review list note project[br]");
}
BENCHMARK(BM_ConvertPlainLine);

void BM_ConvertEscapedLine(benchmark::State& state) {
    convertLines(state, u"if a < b and b > c then \"a\" < \"c\" & so on, with <tags> in text[br]");
}
BENCHMARK(BM_ConvertEscapedLine);

void BM_ConvertTaggedLine(benchmark::State& state) {
    convertLines(state, u"see [https://example.org/1234] and [b]bold[/b], [i]italic[/i] [[x][br]");
}
BENCHMARK(BM_ConvertTaggedLine);

void BM_ConvertLongLine(benchmark::State& state) {
    std::u16string line;
    while (line.size() < 100000) line += u"a long paragraph of plain text without any tags in it ";
    convertLines(state, line + u"[br]");
}
BENCHMARK(BM_ConvertLongLine);

// One file of about 4 MB in the given encoding, read line by line.
void readLines(benchmark::State& state, TextEncoding encoding, const std::string& bytesPerLine,
               const std::string& mark) {
    const std::u16string path = scratchPath("source.txt");
    {
        std::string content = mark;
        while (content.size() < (4u << 20)) content += bytesPerLine;
        std::FILE* f = std::fopen(utf8FromText(path).c_str(), "wb");
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
    std::u16string line;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        text_file::openRead(path, SourceFile);
        text_file::detectEncoding(SourceFile);
        while (!text_file::atEnd(SourceFile)) text_file::readLine(SourceFile, line, encoding);
        bytes += text_file::position(SourceFile);
        text_file::close(SourceFile);
    }
    std::remove(utf8FromText(path).c_str());
    state.SetBytesProcessed(bytes);
}

void BM_ReadAnsiLines(benchmark::State& state) {
    readLines(state, TextEncoding::Ansi, "r\xE9sum\xE9 of the meeting, \x80" "5 for caf\xE9 and notes\r\n", "");
}
BENCHMARK(BM_ReadAnsiLines);

void BM_ReadUtf8Lines(benchmark::State& state) {
    readLines(state, TextEncoding::Utf8, "r\xC3\xA9sum\xC3\xA9 of the meeting, \xE2\x82\xAC" "5 for caf\xC3\xA9\r\n",
              "\xEF\xBB\xBF");
}
BENCHMARK(BM_ReadUtf8Lines);

void BM_ReadUtf16Lines(benchmark::State& state) {
    std::string line;
    for (char c : std::string("summary of the meeting with notes and more")) {
        line += c;
        line += '\0';
    }
    line += std::string("\r\0\n\0", 4);
    readLines(state, TextEncoding::Utf16LE, line, "\xFF\xFE");
}
BENCHMARK(BM_ReadUtf16Lines);

// The whole body of a 4 MB cp1252 export: reading, the line converter, the
// line breaks and the UTF-8 writer together.
void BM_ConvertSource(benchmark::State& state) {
    clearJobSettings();
    applyDefaultSettings(job);
    job.sourcePath = scratchPath("export.txt");
    const std::u16string productPath = scratchPath("body.htm");
    {
        // Mostly prose, as an export is; a title, a blank line, the odd tag
        // and escaped character.
        const std::string page =
            "[..Meeting notes]\r\n"
            "review task example idea meeting r\xE9sum\xE9 naive idea \xFC" "ber review list note project\r\n"
            "summary of the plan for the chapter, \x80" "5 for caf\xE9 and the draft of the detail\r\n"
            "\r\n"
            "if a < b then the reference holds, see [https://example.org/1234] for more\r\n"
            "a plain line of prose with a few words in it and nothing else to it at all\r\n"
            "task list item meeting summary project review [b]draft[/b] line text export\r\n";
        std::string content;
        while (content.size() < (4u << 20)) content += page;
        std::FILE* f = std::fopen(utf8FromText(job.sourcePath).c_str(), "wb");
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
    }
    std::int64_t bytes = 0;
    for (auto _ : state) {
        text_file::create(productPath, ProductFile);
        headingWritten = 0;
        listDepth = 0;
        convertSource();
        text_file::close(ProductFile);
        bytes += 4 << 20;
    }
    std::remove(utf8FromText(job.sourcePath).c_str());
    std::remove(utf8FromText(productPath).c_str());
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_ConvertSource);

}  // namespace

BENCHMARK_MAIN();
