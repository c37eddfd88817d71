// The one rule for "not a text file", shared by the command line and the web
// page: a source it refuses ends the run with "Source is not a text file"
// before anything is written. The window program converts whatever it is
// given, as it always did.
#pragma once

#include <cstddef>
#include <string_view>

#include "toolkit/text_file/text_file.h"

// How much of a source's start the rule looks at.
constexpr std::size_t textCheckBytes = 4096;

// Whether `head`, the first bytes of a source (up to textCheckBytes), can be
// text that the converter makes a page of, when a source without a
// byte-order mark is read as `unmarked`. Refused: a known binary signature
// (an image, an archive, a document, media, a program) together with a
// control character no text holds; or such control characters in more than
// four characters and one in sixteen (compressed data has one in ten),
// counted in 16-bit units where the bytes read as UTF-16 (a mark, the
// encoding chosen, or the shape of UTF-16 without a mark). NUL (a line end to
// the reader), tab, line and page breaks and escape are text; so is any byte
// from 0x80 on, whatever the code page. So an export in any code page, or in
// UTF-16 without a mark, is never refused.
bool looksLikeText(std::string_view head, TextEncoding unmarked);
