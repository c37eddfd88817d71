// What the portable wait for quiet (file_watch.cpp) needs of a platform's
// watch (file_watch_posix.cpp, file_watch_win32.cpp).
#pragma once

#include <cstddef>
#include <vector>

enum class WatchWake { Change, Nothing, Stop, Failure };

// How many files startFileWatch was given.
std::size_t watchedFileCount();

// Waits at most `timeoutMilliseconds` (-1: without limit) for one report of
// the system and marks in `changed` the watched files it names. Change when
// it named any; Nothing when the time ran out or it named none; Stop after an
// interrupt.
WatchWake waitForWake(int timeoutMilliseconds, std::vector<bool>& changed);
