#include "toolkit/process/report.h"

#include <cstdio>
#include <string>

#include "toolkit/text/strings.h"

namespace {

void writeToStandardError(std::u16string_view message) {
    std::string line = "pagesmith: " + utf8FromText(message) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

ErrorSink currentSink = writeToStandardError;

}  // namespace

void reportError(std::u16string_view message) { currentSink(message); }

ErrorSink setErrorSink(ErrorSink sink) {
    ErrorSink previous = currentSink;
    currentSink = sink ? sink : writeToStandardError;
    return previous;
}
