// The process's standard streams as the command line needs them: never
// closed, checked before a run relies on them, and standing in for a pipe
// that is named as a source.
#pragma once

#include <string>

// The two standard streams a file number can stand for
// (text_file::bindStandardStream).
enum class StandardStream { Input, Output };

// Opens the null device on each of standard input, output and error that the
// process was started without, so that no file opened later takes its place
// and no message lands in a product. Call before anything else.
void claimClosedStandardStreams();

// The system's error code that makes the stream unusable: it was closed at
// start, or standard input is a folder. 0 when it can be used.
int standardStreamProblem(StandardStream stream);

// Opens a pipe or device (a FIFO, /dev/fd/N, \\.\pipe\NAME) in place of
// standard input, waiting as any reader of it waits for a writer; a plain
// interrupt ends that wait and the process. False with lastSystemError when
// it cannot be opened. restoreStandardInput puts the process's own back.
bool openAsStandardInput(const std::u16string& path);
void restoreStandardInput();

// Returns once standard input has bytes to read or has ended, so that a
// product is made only once its input has come; an interrupt of the wait
// ends the process with nothing made.
void waitForStandardInput();
