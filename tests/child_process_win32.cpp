#include "tests/child_process.h"

#include <windows.h>

#include <cstdlib>
#include <thread>

#include "toolkit/text/strings.h"
#include "toolkit/text/wide_text_win32.h"

struct ChildProcess {
    PROCESS_INFORMATION info{};
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    HANDLE error = nullptr;
    std::string errorAhead;  // read by readChildErrorLine past its line
};

namespace {

void closeHandle(HANDLE& handle) {
    if (handle) CloseHandle(handle);
    handle = nullptr;
}

// One argument as the C runtime splits it again: quoted, with backslashes
// doubled before a quote.
std::u16string quoted(const std::u16string& argument) {
    std::u16string out = u"\"";
    std::size_t backslashes = 0;
    for (char16_t c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == u'"' ? 2 * backslashes + 1 : backslashes, u'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, u'\\');
    return out + u"\"";
}

void readAll(HANDLE handle, std::string& sink) {
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(handle, buffer, sizeof buffer, &got, nullptr) && got > 0) sink.append(buffer, got);
}

}  // namespace

ChildHandle startChild(const std::u16string& program, const std::vector<std::string>& arguments,
                       const std::u16string& workingDirectory, bool interruptible, int closedStream) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE inRead, inWrite, outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0)) return nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) return nullptr;
    if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) return nullptr;
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

    std::u16string commandLine = quoted(program);
    for (const std::string& argument : arguments) commandLine += u" " + quoted(textFromUtf8(argument));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    HANDLE* streams[3] = {&startup.hStdInput, &startup.hStdOutput, &startup.hStdError};
    if (closedStream >= 0) *streams[closedStream] = nullptr;
    ChildHandle child(new ChildProcess);
    const BOOL started = CreateProcessW(wide(program), wideUnits(commandLine), nullptr, nullptr, TRUE,
                                        interruptible ? CREATE_NEW_CONSOLE : 0, nullptr, wide(workingDirectory),
                                        &startup, &child->info);
    CloseHandle(inRead);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    child->input = inWrite;
    child->output = outRead;
    child->error = errRead;
    if (!started) return nullptr;
    return child;
}

bool readChildErrorLine(ChildProcess& child, std::string& line) {
    std::size_t end;
    while ((end = child.errorAhead.find('\n')) == std::string::npos) {
        char buffer[4096];
        DWORD got = 0;
        if (!child.error || !ReadFile(child.error, buffer, sizeof buffer, &got, nullptr) || got == 0) return false;
        child.errorAhead.append(buffer, got);
    }
    line = child.errorAhead.substr(0, end + 1);
    child.errorAhead.erase(0, end + 1);
    return true;
}

ChildResult finishChild(ChildProcess& child, const std::string& standardInput) {
    ChildResult result;
    // Readers of their own, so that neither pipe fills while the other is read.
    std::thread errorReader(readAll, child.error, std::ref(result.standardError));
    std::thread outputReader(readAll, child.output, std::ref(result.standardOutput));
    DWORD put = 0;
    for (std::size_t at = 0; at < standardInput.size(); at += put) {
        if (!WriteFile(child.input, standardInput.data() + at, static_cast<DWORD>(standardInput.size() - at), &put,
                       nullptr) ||
            put == 0)
            break;
    }
    closeHandle(child.input);
    outputReader.join();
    errorReader.join();
    result.standardError.insert(0, child.errorAhead);
    WaitForSingleObject(child.info.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(child.info.hProcess, &code);
    result.status = static_cast<int>(code);
    return result;
}

BOOL WINAPI ignoreControlEvent(DWORD) { return TRUE; }

// Control events reach the processes of one console only: the test joins the
// child's console for the moment, and ignores the event itself, through a
// handler: the flag that SetConsoleCtrlHandler(nullptr, TRUE) sets would
// pass to every child started later, which would then ignore Ctrl+C.
bool interruptChild(ChildProcess& child) {
    static const bool ignoring = SetConsoleCtrlHandler(ignoreControlEvent, TRUE) != 0;
    FreeConsole();
    if (!ignoring || !AttachConsole(child.info.dwProcessId)) return false;
    const bool sent = GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0;
    FreeConsole();
    return sent;
}

void endChild(ChildProcess* child) {
    if (!child) return;
    if (child->info.hProcess) {
        if (WaitForSingleObject(child->info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(child->info.hProcess, 99);
        WaitForSingleObject(child->info.hProcess, INFINITE);
        CloseHandle(child->info.hProcess);
        CloseHandle(child->info.hThread);
    }
    closeHandle(child->input);
    closeHandle(child->output);
    closeHandle(child->error);
    delete child;
}

void setEnvironmentVariable(const std::string& name, const std::string& value) {
    SetEnvironmentVariableW(wide(textFromUtf8(name)), value.empty() ? nullptr : wide(textFromUtf8(value)));
}
