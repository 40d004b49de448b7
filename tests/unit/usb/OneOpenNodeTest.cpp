// A printer-class cutter whose device node, like a usblp node, can be open only once at a
// time: a second open() fails with EBUSY until the open file is released (its last
// descriptor, dup()ed ones included, is closed). Discovery must find the cutter, and a
// connection to it, and another one after that, must reach it.
//
// This executable replaces open() and open64() for the whole process (our code calls
// them directly; the C library's own opens do not come here). Every path goes on to the
// system unchanged, except the one node the test makes exclusive while it is held.
#include "link/Connections.h"
#include "platform/posix/PrinterClassSysfs.h"
#include "platform/posix/UsbApiPosix.h"
#include "virtual-cutter/VirtualCutter.h"

#include "support/UsbTestSupport.h"
#include "support/FakeSerialDriver.h"

#include <cerrno>
#include <cstdarg>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace zopra::test {
namespace {

// The exclusive node: its identity, and the descriptors that were open on it when it
// became exclusive (the virtual cutter's own end of its pty, not an open of the device).
struct ExclusiveNode {
    std::mutex mutex;
    bool active = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::set<int> deviceSide;
    int refused = 0;
};

ExclusiveNode& Node() {
    static ExclusiveNode node;
    return node;
}

bool IsNode(const struct stat& st, const ExclusiveNode& node) {
    return st.st_dev == node.device && st.st_ino == node.inode;
}

// The descriptors of this process open on the node.
std::set<int> DescriptorsOn(const ExclusiveNode& node) {
    std::set<int> found;
    DIR* dir = ::opendir("/proc/self/fd");
    if (dir == nullptr)
        return found;
    const int own = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        struct stat st {};
        if (entry->d_name[0] != '.' && fd != own && ::fstat(fd, &st) == 0 && IsNode(st, node))
            found.insert(fd);
    }
    ::closedir(dir);
    return found;
}

void MakeExclusive(const std::string& path) {
    ExclusiveNode& node = Node();
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0) << path;
    std::lock_guard lock(node.mutex);
    node.device = st.st_dev;
    node.inode = st.st_ino;
    node.deviceSide = DescriptorsOn(node);
    node.refused = 0;
    node.active = true;
}

void EndExclusive() {
    std::lock_guard lock(Node().mutex);
    Node().active = false;
}

int Refused() {
    std::lock_guard lock(Node().mutex);
    return Node().refused;
}

int OpenUnlessHeld(const char* path, int flags, mode_t mode) {
    ExclusiveNode& node = Node();
    {
        std::lock_guard lock(node.mutex);
        struct stat st {};
        if (node.active && path != nullptr && ::stat(path, &st) == 0 && IsNode(st, node)) {
            for (int fd : DescriptorsOn(node)) {
                if (node.deviceSide.count(fd) == 0) {
                    ++node.refused;
                    errno = EBUSY;
                    return -1;
                }
            }
        }
    }
    return static_cast<int>(::syscall(SYS_openat, AT_FDCWD, path, flags, mode));
}

mode_t ModeArgument(int flags, va_list args) {
    const bool takesMode = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    return takesMode ? static_cast<mode_t>(va_arg(args, unsigned)) : 0;
}

} // namespace
} // namespace zopra::test

extern "C" int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = zopra::test::ModeArgument(flags, args);
    va_end(args);
    return zopra::test::OpenUnlessHeld(path, flags, mode);
}

extern "C" int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = zopra::test::ModeArgument(flags, args);
    va_end(args);
    return zopra::test::OpenUnlessHeld(path, flags, mode);
}

namespace zopra {
namespace {

using namespace std::chrono_literals;

constexpr auto kBound = 5000ms;

class OneOpenNode : public ::testing::Test {
protected:
    void SetUp() override {
        vc::Options options;
        options.link = vc::Link::Printer;
        options.state.model = "Vantor II 24 PZ";
        FCutter = std::make_unique<vc::VirtualCutter>(options);
        FCutter->Start();
        test::MakeExclusive(FCutter->DevicePath().string());
    }
    void TearDown() override { test::EndExclusive(); }

    std::vector<ConnectionEntry> Discover() {
        FMessages.clear();
        return FLinks.RefreshConnections([this](const std::string& m) { FMessages.push_back(m); });
    }

    // Connects to the first entry, sends a query and gives back the answer the receive
    // thread's reads bring within the bound ("" when none).
    std::string ConnectAndAsk(const std::string& query) {
        if (FLinks.ChooseLinkKind(0, FLinks.Entries().at(0).text) != kLinkPrinterClass ||
            FLinks.OpenConnection(0, FLinks.Entries().at(0).text) != 1)
            return "connect failed";
        const LinkWriteResult written = FLinks.WriteToLink(query);
        if (!written)
            return "write failed: " + written.reason;
        char buffer[256];
        const auto deadline = std::chrono::steady_clock::now() + kBound;
        while (std::chrono::steady_clock::now() < deadline) {
            const int got = FLinks.PrinterRead(buffer, static_cast<int>(sizeof buffer));
            if (got > 0)
                return std::string(buffer, static_cast<std::size_t>(got));
            if (got < 0)
                return "read failed";
        }
        return "";
    }

    test::PrivateRuntimeDir FRuntime;
    test::ScratchDir FNoUsblp; // a sysfs without any usblp interface
    std::unique_ptr<vc::VirtualCutter> FCutter;
    CutterConnections FLinks{
        std::make_unique<CUsbIF>(
            platform::MakeSysfsPrinterClassDevices({FNoUsblp.Path() / "sys", "/dev"})),
        platform::MakePosixUsbApi(false),
        std::make_shared<testing::FakeSerialDriver>(std::make_shared<testing::FakeSerial>()),
        [] { return std::vector<std::string>{}; }};
    std::vector<std::string> FMessages;
};

TEST_F(OneOpenNode, TheStandInRefusesASecondOpenUntilTheFirstIsClosed) {
    const std::string node = FCutter->DevicePath().string();
    const int first = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(first, 0);
    const int copy = ::dup(first);
    ::close(first);
    errno = 0;
    EXPECT_EQ(::open(node.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC), -1); // the copy holds it
    EXPECT_EQ(errno, EBUSY);
    ::close(copy);
    const int again = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    EXPECT_GE(again, 0);
    ::close(again);
}

TEST_F(OneOpenNode, DiscoveryFindsTheCutterAndEveryConnectionReachesIt) {
    Discover();
    EXPECT_EQ(FMessages, std::vector<std::string>{});
    ASSERT_EQ(FLinks.Entries().size(), 1u);
    EXPECT_EQ(FLinks.Entries()[0].text, "Vantor II 24 PZ");
    EXPECT_EQ(FLinks.Entries()[0].kind, kLinkPrinterClass);

    // Connect to the device discovery has just probed, then once more.
    EXPECT_EQ(ConnectAndAsk("\x1b.R3:"), "R3,10000,10000;");
    EXPECT_EQ(ConnectAndAsk("\x1b.R3:"), "R3,10000,10000;");

    // Discovery while connected probes the connected device again, and connecting works.
    Discover();
    EXPECT_EQ(FMessages, std::vector<std::string>{});
    ASSERT_EQ(FLinks.Entries().size(), 1u);
    EXPECT_EQ(FLinks.Entries()[0].text, "Vantor II 24 PZ");
    EXPECT_EQ(ConnectAndAsk("\x1b.R3:"), "R3,10000,10000;");

    EXPECT_EQ(test::Refused(), 0);
    // The bytes on the wire are those of two handles: the probe, then the queries.
    ASSERT_TRUE(FCutter->WaitForCommands(5, kBound));
    EXPECT_EQ(FCutter->Commands(), (std::vector<std::string>{"\x1b.R4:", "\x1b.R3:", "\x1b.R3:",
                                                             "\x1b.R4:", "\x1b.R3:"}));
}

} // namespace
} // namespace zopra
