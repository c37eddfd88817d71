#include "tests/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "toolkit/text/strings.h"

struct ChildProcess {
    pid_t pid = -1;
    int input = -1;
    int output = -1;
    int error = -1;
    std::string errorAhead;  // read by readChildErrorLine past its line
};

namespace {

void closeFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

}  // namespace

ChildHandle startChild(const std::u16string& program, const std::vector<std::string>& arguments,
                       const std::u16string& workingDirectory, bool, int closedStream) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) return nullptr;
    const std::string path = utf8FromText(program);
    const std::string folder = utf8FromText(workingDirectory);
    std::vector<std::string> strings = {path};
    strings.insert(strings.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& s : strings) argv.push_back(&s[0]);
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        if (closedStream >= 0) close(closedStream);
        if (chdir(folder.c_str()) == 0) execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    ChildHandle child(new ChildProcess);
    child->pid = pid;
    child->input = in[1];
    child->output = out[0];
    child->error = err[0];
    if (pid < 0) return nullptr;
    return child;
}

bool readChildErrorLine(ChildProcess& child, std::string& line) {
    std::size_t end;
    while ((end = child.errorAhead.find('\n')) == std::string::npos) {
        char buffer[4096];
        const ssize_t got = child.error < 0 ? 0 : read(child.error, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        child.errorAhead.append(buffer, static_cast<std::size_t>(got));
    }
    line = child.errorAhead.substr(0, end + 1);
    child.errorAhead.erase(0, end + 1);
    return true;
}

ChildResult finishChild(ChildProcess& child, const std::string& standardInput) {
    ChildResult result;
    result.standardError = child.errorAhead;
    std::size_t written = 0;
    if (standardInput.empty()) closeFd(child.input);
    while (child.output >= 0 || child.error >= 0) {
        pollfd fds[3] = {{child.input, POLLOUT, 0}, {child.output, POLLIN, 0}, {child.error, POLLIN, 0}};
        if (poll(fds, 3, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (child.input >= 0 && (fds[0].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t put = write(child.input, standardInput.data() + written, standardInput.size() - written);
            if (put > 0) written += static_cast<std::size_t>(put);
            if (put <= 0 || written == standardInput.size()) closeFd(child.input);
        }
        int* fds2[2] = {&child.output, &child.error};
        std::string* sinks[2] = {&result.standardOutput, &result.standardError};
        for (int k = 0; k < 2; ++k) {
            if (*fds2[k] < 0 || !(fds[k + 1].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[65536];
            const ssize_t got = read(*fds2[k], buffer, sizeof buffer);
            if (got > 0) sinks[k]->append(buffer, static_cast<std::size_t>(got));
            else closeFd(*fds2[k]);
        }
    }
    closeFd(child.input);
    int status = 0;
    while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    child.pid = -1;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool interruptChild(ChildProcess& child) { return child.pid > 0 && kill(child.pid, SIGTERM) == 0; }

void endChild(ChildProcess* child) {
    if (!child) return;
    if (child->pid > 0) {
        kill(child->pid, SIGKILL);
        waitpid(child->pid, nullptr, 0);
    }
    closeFd(child->input);
    closeFd(child->output);
    closeFd(child->error);
    delete child;
}

void setEnvironmentVariable(const std::string& name, const std::string& value) {
    if (value.empty()) unsetenv(name.c_str());
    else setenv(name.c_str(), value.c_str(), 1);
}
