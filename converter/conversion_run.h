// The portable conversion job: from completed paths in `job` to the finished
// product file. The window program's makeProduct and the command line both
// end here, so both write the same bytes.
#pragma once

#include <string>
#include <string_view>

#include "toolkit/text_file/text_file.h"

constexpr FileId TemplateFile{0};
constexpr FileId SourceFile{1};
constexpr FileId ProductFile{2};

// Expands environment references and makes the path absolute; an empty path
// stays empty, and a failing platform call leaves the path as it was.
std::u16string normalizePath(std::u16string_view path);

// normalizePath, then ".htm" appended when the path has no extension.
std::u16string completeProductPath(std::u16string_view path);

// templateDirectory + templateName + ".tpl.txt".
std::u16string templatePathOf(const struct JobSettings& settings);

// The converter's run state (the current line, inside the source, the last
// heading, the open lists) as a freshly started program has it. The window
// program keeps it from run to run; the command line's runs and the web
// page's each start as a new program would.
void resetConverterState();

// The refusal that keeps a run from destroying an input: the message when
// `productPath` is the same file as the source, the template or
// `job.settingsPath` (by the files' identity; by the text of their full paths
// only where a file cannot be identified), or "" when it is none of them.
std::u16string_view productConflict(const std::u16string& productPath);

// Creates the product file at `job.productPath` with the UTF-8 mark, assembles
// it, flushes and closes it. Refuses, before anything is created, a product
// that is the same file as the source, the template or `job.settingsPath`,
// and with `refuseNonText` a source that is not a text file
// (converter/text_check.h). Reports every failure once, a lack of memory
// included; returns 1 on success, else 0.
int writeProduct(bool refuseNonText = false);
