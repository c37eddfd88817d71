// POSIX: files that an interrupt removes before it ends the process, for the
// product's temporary file and its locks' files. Only SIGINT, SIGTERM and
// SIGHUP left at their default are taken over: a handler of somebody else's,
// or an ignored signal, is left alone. (On Windows the system removes the
// lock files itself.)
#pragma once

#include <string>

enum class CleanupSlot { Temporary, WritingLock, WatchingLock };

// From now until keepOnInterrupt, an interrupt removes `path` first.
void removeOnInterrupt(CleanupSlot slot, const std::string& path);
void keepOnInterrupt(CleanupSlot slot);
