// The one place where the program's failures reach the user. The converter
// and the shell call reportError; the front end decides where it goes: the
// window program shows a message box, the command line writes to stderr.
#pragma once

#include <string_view>

using ErrorSink = void (*)(std::u16string_view message);

void reportError(std::u16string_view message);

// Installs a sink; nullptr restores the default (standard error, prefixed
// "pagesmith: "). Returns the previous sink.
ErrorSink setErrorSink(ErrorSink sink);
