// A site: the conversion split at page titles into one file per page, each
// the template around its part of the notes with navigation, and index.htm
// with the contents. The same converter writes the notes, so the parts
// between "<!--notes-->" and "<!--/notes-->", joined in reading order
// (index.htm first), are the single page's body byte for byte.
#pragma once

#include <string>
#include <string_view>

constexpr std::u16string_view siteIndexName = u"index.htm";
// Files for the pages of levels 1 to this, unless told otherwise.
constexpr int defaultSplitLevel = 1;

// Writes the site of job.sourcePath through job.templatePath into `folder`,
// an existing folder (ending in the path separator) that holds none of the
// names: a file for each page title of a level up to `splitLevel` (deeper
// pages stay in their parent's file under an anchor of their own), and
// index.htm with the notes before the first such title and the contents.
// No contents file passes about `contentsLimit` bytes where the export
// allows it (see writeContents). Reports every failure once; 1 on success,
// else 0.
int writeSite(const std::u16string& folder, int splitLevel, long long contentsLimit = 2 * 1024 * 1024);
