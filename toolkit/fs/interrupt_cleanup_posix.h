// POSIX: files that an interrupt removes before it ends the process, for the
// product's temporary file, its locks' files and a site's temporary folder.
// Only SIGINT, SIGTERM and SIGHUP left at their default are taken over: a
// handler of somebody else's, or an ignored signal, is left alone. One
// handler serves every slot, so that a lock taken before a folder is guarded
// does not keep the folder from being removed. (On Windows the system removes
// the lock files itself.)
#pragma once

#include <string>

// Folder: the folder's files (it holds no subfolder), then the folder; it
// goes first, so that its lock outlives it.
enum class CleanupSlot { Folder, Temporary, WritingLock, WatchingLock };

// From now until keepOnInterrupt, an interrupt removes `path` first.
void removeOnInterrupt(CleanupSlot slot, const std::string& path);
void keepOnInterrupt(CleanupSlot slot);
