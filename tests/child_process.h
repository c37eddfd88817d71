// Runs a program as a child process with pipes on its standard streams, for
// the tests that drive the real command line.
#pragma once

#include <memory>
#include <string>
#include <vector>

struct ChildResult {
    int status = -1;  // the exit status; -1 when the child did not exit by itself
    std::string standardOutput;
    std::string standardError;
};

struct ChildProcess;

void endChild(ChildProcess* child);
struct ChildProcessDeleter {
    void operator()(ChildProcess* child) const { endChild(child); }
};
using ChildHandle = std::unique_ptr<ChildProcess, ChildProcessDeleter>;

// Starts `program` with UTF-8 `arguments` in `workingDirectory`; null when it
// cannot start. The child has a process group of its own (on Windows, when
// `interruptible`, a console of its own), so that an interrupt sent to it
// reaches nobody else. `closedStream` (0, 1 or 2) starts without that stream.
ChildHandle startChild(const std::u16string& program, const std::vector<std::string>& arguments,
                       const std::u16string& workingDirectory, bool interruptible = false, int closedStream = -1);

// Hands `standardInput` to the child, closes its input, reads its output
// until it ends and waits for its exit.
ChildResult finishChild(ChildProcess& child, const std::string& standardInput = std::string());

// Reads the child's standard error up to the end of its next line, which
// `line` gets with its line end; what follows stays for finishChild. False
// when the child closed it first.
bool readChildErrorLine(ChildProcess& child, std::string& line);

// The user's interrupt: SIGTERM on POSIX, Ctrl+C on Windows.
bool interruptChild(ChildProcess& child);

// Sets or, with an empty value, removes a variable of this process's
// environment, which children inherit.
void setEnvironmentVariable(const std::string& name, const std::string& value);
