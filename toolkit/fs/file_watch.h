// Watching files for changes, and ending the watch on the user's interrupt.
#pragma once

#include <string>
#include <vector>

enum class WatchEvent { Changed, Stopped, Failed };

// Starts watching files (full paths) through their folders, so that a file
// that an editor replaces by a new one is still followed. From now on Ctrl+C
// and SIGTERM (on Windows Ctrl+C, Ctrl+Break and closing the console) no
// longer end the process: they end the current or next wait. False when a
// folder cannot be watched. `releases` (full paths, a lock's file, say) are
// watched for their removal and for being closed as well: their flags follow
// those of `paths` in `changed`.
bool startFileWatch(const std::vector<std::u16string>& paths, const std::vector<std::u16string>& releases = {});

// Waits until a watched file is written, created, renamed into place or
// touched, and then until no such change has come for `settleMilliseconds`.
// `changed` gets one flag per watched file. Stopped after an interrupt.
WatchEvent waitForChanges(int settleMilliseconds, std::vector<bool>& changed);

// Stops watching and gives the interrupts back their usual effect.
void endFileWatch();
