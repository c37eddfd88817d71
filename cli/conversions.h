// One conversion of the command line, and running it once or on every change.
#pragma once

#include <functional>
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
    bool toStream = false;  // a product that names a stream (/dev/stdout, a FIFO): written through
    bool refused = false;  // its product is an input of the batch: never run
};

// The settings every conversion starts from: the settings file with the
// options over it, the template chosen. Set by the front end.
extern JobSettings commonSettings;
extern bool verboseMessages;

// Reports the converter's failures with the file concerned and the system's
// reason, and "-v" lines, on standard error.
void installCliErrorSink();
void reportCliMessage(const std::u16string& message);

// Whether the product is a file that an input could be: not standard
// output, and no pipe or device. Such a product's identity is never asked,
// as opening a pipe to ask would take its one connection.
bool productMayBeAnInput(const Conversion& conversion);

// Reports and marks as refused every conversion whose product is an input of
// the batch (any of its sources, the template, the settings file), before
// anything is written. Returns how many.
int refuseClashingProducts(std::vector<Conversion>& conversions);

// For a watch: reports and marks as refused every product that no run could
// write (the user may not write it, no file can be made beside it), with the
// message a run would give. Returns how many.
int refuseUnwritableProducts(std::vector<Conversion>& conversions);

// The conversion whose files the converter's messages name (null: none).
void runningConversion(const Conversion* conversion);

// "Cannot make product file: NAME (the system's reason)".
void reportProductFailure(const Conversion& conversion);

// Runs one conversion as a fresh program would. It first takes the product's
// lock (toolkit/fs/product_lock.h), so that a run that another writer holds
// off reads nothing; the page is written beside its place and put there once
// complete (toolkit/fs/product_file.h), so that nobody reads half a page and
// a failed run leaves the old product as it was. Standard output and a
// product that names a stream take no lock and get their first byte only
// once the template and the source are open. True on success; every failure
// has been reported, except, given `busy`, a product that another process
// holds: `*busy` then says so, for a watcher that waits.
bool runConversion(const Conversion& conversion, bool* busy = nullptr);

// How a watch runs one of its conversions, as runConversion does: true on
// success; a product that another process holds is not reported but said
// in `*busy`, and waited for.
using ConversionRunner = std::function<bool(const Conversion& conversion, bool* busy)>;

// Converts every one, then again whenever its source or the template
// changes, until an interrupt, holding each product's watching lock all the
// while. `run` makes a product (a page by default; a site's build for a
// site). Returns the exit status.
int watchConversions(const std::vector<Conversion>& conversions, const ConversionRunner& run = runConversion);
