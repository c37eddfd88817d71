#pragma once

// Writes the body for `job.sourcePath` into the product file. Returns 0 after
// reporting "Source not found".
int convertSource();
