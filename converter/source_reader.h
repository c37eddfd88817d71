#pragma once

// Writes the body for `job.sourcePath` into the product file. Returns 0 after
// reporting "Source not found", or "Cannot read source file" when a system
// read failed part of the way.
int convertSource();
