// The virtual-cutter program as people and end-to-end tests run it.
#include "TestSupport.h"

#include "platform/virtual/RuntimeDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace zopra::vc::test {
namespace {

namespace fs = std::filesystem;

// The program with its standard output on a pipe; killed if a test leaves it running.
class Program {
public:
    explicit Program(const std::vector<std::string>& args) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe2");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::vector<std::string> all = {VIRTUAL_CUTTER_PROGRAM};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int error = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        out_ = out[0];
        if (error != 0)
            throw std::runtime_error("cannot start " + all[0]);
    }

    ~Program() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(out_);
    }

    // The next line of standard output without its LF; nullopt on end of output or time-out.
    std::optional<std::string> ReadLine(std::chrono::milliseconds timeout = kWait) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (const auto lf = buffer_.find('\n'); lf != std::string::npos) {
                std::string line = buffer_.substr(0, lf);
                buffer_.erase(0, lf + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p = {out_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return std::nullopt;
            char chunk[1024];
            const ssize_t n = read(out_, chunk, sizeof chunk);
            if (n <= 0)
                return std::nullopt;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    // Reads lines until one equals text; false when it never came.
    bool SeeLine(const std::string& text) {
        while (const auto line = ReadLine())
            if (*line == text)
                return true;
        return false;
    }

    void Signal(int signal) { kill(pid_, signal); }

    // The exit status once the program has ended; nullopt when it is still running.
    std::optional<int> WaitExit(std::chrono::milliseconds timeout = kWait) {
        int status = 0;
        const bool ended =
            Eventually([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, timeout);
        if (!ended)
            return std::nullopt;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string buffer_;
};

class ExecutableTest : public ::testing::Test {
protected:
    ScopedRuntimeDir runtime_;
};

TEST_F(ExecutableTest, PrintsItsDeviceAnswersLogsAndEndsCleanlyOnSigterm) {
    Program program({"--model", "Vantor II 24 PZ", "--log", "--error-x", "1.01"});
    const auto device = program.ReadLine();
    ASSERT_TRUE(device.has_value());
    EXPECT_TRUE(fs::is_character_file(*device)) << *device;
    EXPECT_EQ(platform::AnnouncedDevices("serial"), std::vector<fs::path>{*device});

    PtyClient client(*device);
    client.Write("\x1b.R4:");
    EXPECT_EQ(client.ReadUntil("\r"), "R4,QRM-CT,Vantor II 24 PZ,V2.10,2023-11-08,14:05;\r");
    EXPECT_TRUE(program.SeeLine("ESC.R4:"));
    client.Write("VS30;SP1;PR;PU0,0;PD0,0,20000,0,0,20000,-20000,0,0,-20000;PU;");
    EXPECT_TRUE(program.SeeLine("  plotted 505.00 x 500.00 mm"));

    program.Signal(SIGTERM);
    EXPECT_EQ(program.WaitExit(), 0);
    EXPECT_TRUE(platform::AnnouncedDevices("serial").empty());
    EXPECT_TRUE(fs::is_empty(platform::AnnouncementDir("serial")));
}

TEST_F(ExecutableTest, UsbApiProgramEndsCleanlyOnSigint) {
    Program program({"--link", "usbapi"});
    const auto socketPath = program.ReadLine();
    ASSERT_TRUE(socketPath.has_value());
    {
        SocketClient client(*socketPath);
        client.Send("\x1b.R6:");
        EXPECT_EQ(client.Receive(), "R6,0;");
    }
    program.Signal(SIGINT);
    EXPECT_EQ(program.WaitExit(), 0);
    EXPECT_FALSE(fs::exists(*socketPath));
    EXPECT_TRUE(fs::is_empty(platform::AnnouncementDir("usbapi")));
}

TEST_F(ExecutableTest, VanishingEndsTheProgram) {
    Program program({"--vanish-after", "1"});
    const auto device = program.ReadLine();
    ASSERT_TRUE(device.has_value());
    PtyClient client(*device);
    client.Write("OH;");
    EXPECT_EQ(program.WaitExit(), 0);
    EXPECT_TRUE(platform::AnnouncedDevices("serial").empty());
}

TEST_F(ExecutableTest, HelpAndWrongOptions) {
    Program help({"--help"});
    const auto first = help.ReadLine();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->rfind("usage: virtual-cutter", 0), 0u);
    EXPECT_EQ(help.WaitExit(), 0);

    Program wrong({"--speed", "fast"});
    EXPECT_EQ(wrong.ReadLine(), std::nullopt); // nothing on standard output
    EXPECT_EQ(wrong.WaitExit(), 2);
    EXPECT_TRUE(platform::AnnouncedDevices("serial").empty());
}

} // namespace
} // namespace zopra::vc::test
