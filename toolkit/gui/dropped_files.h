// Files dropped on a window from the file manager. Windows only.
#pragma once

#include <string>

using DroppedFileHandler = void (*)(const std::u16string& path);

// Makes toolkit window `window` take dropped files. Of each drop, the handler
// receives the full path of the first file; the rest are ignored. A drop
// queues no event: whatever the handler changes is all the program sees.
// false when there is no such window.
bool acceptDroppedFiles(int window, DroppedFileHandler handler);
