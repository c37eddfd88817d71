#pragma once

// Writes the body for `job.sourcePath` into the product file. Returns 0 after
// reporting "Source not found", or "Cannot read source file" when a system
// read failed part of the way.
int convertSource();

// Opens the source before the product is made and judges its first bytes by
// looksLikeText (converter/text_check.h); convertSource then reads on from
// there, so a stream is read once. Reports "Source is not a text file" and
// returns 0, the source closed, when the rule refuses it; returns 1
// otherwise, also for a source that cannot be opened, which convertSource
// then reports in its place.
int openTextSource();

// Closes a source opened ahead that no convertSource took (the template
// failed first).
void closeSourceOpenedAhead();
