// One conversion of the command line, and running it once or on every change.
#pragma once

#include <string>
#include <vector>

#include "converter/job_settings.h"

struct Conversion {
    std::u16string sourceName;   // as the user gave it, for messages
    std::u16string sourcePath;   // "" for standard input
    std::u16string productName;  // as given or derived, for messages
    std::u16string productPath;  // "" for standard output
    bool fromStandardInput = false;
    bool fromStream = false;  // a pipe or device, read in place of standard input
    bool toStandardOutput = false;
};

// The settings every conversion starts from: the settings file with the
// options over it, the template chosen. Set by the front end.
extern JobSettings commonSettings;
extern bool verboseMessages;

// Reports the converter's failures with the file concerned and the system's
// reason, and "-v" lines, on standard error.
void installCliErrorSink();
void reportCliMessage(const std::u16string& message);

// Runs one conversion as a fresh program would. With `replaceAtomically`, the
// product is written beside its place and renamed over it once complete, so
// that nobody reads half a page; a failed run leaves the old product. True
// on success; every failure has been reported.
bool runConversion(const Conversion& conversion, bool replaceAtomically);

// Converts every one, then again whenever its source or the template
// changes, until an interrupt. Returns the exit status.
int watchConversions(const std::vector<Conversion>& conversions);
