#include "support/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zopra::testing {

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<std::string> copy = argv;
    std::vector<char*> args;
    for (std::string& a : copy)
        args.push_back(a.data());
    args.push_back(nullptr);
    const int error = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    errFd_ = err[0];
    if (error != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + argv.at(0));
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    close(out_);
    close(errFd_);
}

bool ChildProcess::Pump(std::chrono::milliseconds timeout) {
    pollfd fds[2] = {{out_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    const int open = (out_ >= 0) + (errFd_ >= 0);
    if (open == 0)
        return false;
    if (poll(fds, 2, static_cast<int>(timeout.count())) <= 0)
        return true;
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0)
            continue;
        char chunk[4096];
        const ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
        if (n <= 0) {
            close(fds[i].fd);
            (i == 0 ? out_ : errFd_) = -1;
            continue;
        }
        if (i == 0) {
            pending_.append(chunk, static_cast<std::size_t>(n));
            allOut_.append(chunk, static_cast<std::size_t>(n));
        } else {
            err_.append(chunk, static_cast<std::size_t>(n));
        }
    }
    return true;
}

std::optional<std::string> ChildProcess::ReadLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto lf = pending_.find('\n'); lf != std::string::npos) {
            std::string line = pending_.substr(0, lf);
            pending_.erase(0, lf + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !Pump(left))
            return std::nullopt;
    }
}

bool ChildProcess::WaitForLine(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        const auto line = ReadLine(left);
        if (!line)
            return false;
        if (*line == text)
            return true;
    }
}

void ChildProcess::Signal(int signal) {
    if (pid_ > 0)
        kill(pid_, signal);
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            // What the program wrote before it ended.
            while (Pump(std::chrono::milliseconds(100)) && (out_ >= 0 || errFd_ >= 0)) {
            }
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        // Both pipes at their end: the program runs on without output.
        if (!Pump(std::chrono::milliseconds(10)))
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

RunResult Run(const std::vector<std::string>& argv, std::chrono::milliseconds timeout) {
    ChildProcess child(argv);
    RunResult result;
    if (const auto status = child.Wait(timeout))
        result.status = *status;
    result.out = child.Out();
    result.err = child.Err();
    return result;
}

} // namespace zopra::testing
