// The system's reason for a failure, for messages that name it.
#pragma once

#include <string>

// The code that the last failed system call of this thread left behind
// (errno, GetLastError).
int lastSystemError();

// The system's words for a code, without a final period or line end; "" for
// 0. An exclusive lock held elsewhere reads as the file being in use.
std::u16string systemErrorText(int code);
