// The vendor USB library on Linux, with the USB bus left out: devices announced in the
// runtime directory as SOCK_SEQPACKET sockets, played here by the test itself.
#include "platform/posix/UsbApiPosix.h"
#include "link/UsbApiLink.h"

#include "support/UsbTestSupport.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>

namespace zopra {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using platform::UsbApi;

constexpr auto kBound = 5000ms;

// A vendor-library device as virtual-cutter presents one: a listening socket announced by
// a symlink. Connections queue in the backlog, so the test can accept after the open.
class SocketDevice {
public:
    SocketDevice(const fs::path& socketPath, const fs::path& announcement) : FPath(socketPath) {
        FListen = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
        if (FListen < 0 ||
            ::bind(FListen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(FListen, 8) != 0)
            throw std::runtime_error("cannot listen on " + socketPath.string());
        fs::create_symlink(socketPath, announcement);
    }
    ~SocketDevice() {
        Drop();
        ::close(FListen);
    }
    SocketDevice(const SocketDevice&) = delete;
    SocketDevice& operator=(const SocketDevice&) = delete;

    bool Accept() {
        Drop();
        if (!Ready(FListen))
            return false;
        FConnection = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
        return FConnection >= 0;
    }

    // One message; nullopt when none came in time or the program closed its end.
    std::optional<std::string> Receive() {
        if (FConnection < 0 || !Ready(FConnection))
            return std::nullopt;
        char buffer[4096];
        const ssize_t n = ::recv(FConnection, buffer, sizeof buffer, 0);
        if (n <= 0)
            return std::nullopt;
        return std::string(buffer, static_cast<std::size_t>(n));
    }

    void Send(const std::string& message) {
        if (::send(FConnection, message.data(), message.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(message.size()))
            throw std::runtime_error("send failed");
    }

    // True when the program closed its end of the connection.
    bool SawClose() {
        if (FConnection < 0 || !Ready(FConnection))
            return false;
        char byte;
        return ::recv(FConnection, &byte, 1, 0) == 0;
    }

    // The device goes away mid-session.
    void Drop() {
        if (FConnection >= 0)
            ::close(FConnection);
        FConnection = -1;
    }

private:
    static bool Ready(int fd) {
        pollfd pfd{fd, POLLIN, 0};
        return ::poll(&pfd, 1, static_cast<int>(kBound.count())) > 0;
    }

    fs::path FPath;
    int FListen = -1;
    int FConnection = -1;
};

class UsbApiPosix : public ::testing::Test {
protected:
    std::unique_ptr<SocketDevice> Announce(const std::string& entry) {
        return std::make_unique<SocketDevice>(FScratch.Path() / ("sock-" + entry),
                                              FRuntime.Announcements("usbapi") / entry);
    }

    // Asks until the library reports input, as the receive thread does every 20 ms.
    std::int32_t QueryUntilInput(std::int32_t handle, std::int32_t& count) {
        const auto deadline = std::chrono::steady_clock::now() + kBound;
        std::int32_t result = -1;
        while ((result = FApi->UsbQueryInput(handle, &count)) < 0 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        return result;
    }

    test::PrivateRuntimeDir FRuntime;
    test::ScratchDir FScratch;
    std::unique_ptr<UsbApi> FApi = platform::MakePosixUsbApi(false);
};

TEST_F(UsbApiPosix, AMissingDeviceGivesMinusOneAndEveryOperationOnItFails) {
    for (std::int32_t index : {0, 1, 2, 3, 4, -1})
        EXPECT_EQ(FApi->UsbOpenDevice(index), -1) << index;
    EXPECT_TRUE(PresentUsbApiDevices(*FApi).empty());

    for (std::int32_t handle : {-1, 0, 12345}) {
        SCOPED_TRACE(handle);
        std::int32_t count = 77;
        char buffer[UsbApi::kReadCapacity];
        EXPECT_LT(FApi->UsbQueryInput(handle, &count), 0);
        EXPECT_LT(FApi->UsbRead(handle, buffer, UsbApi::kReadCapacity, &count), 0);
        EXPECT_EQ(count, 77); // not used, so not touched
        EXPECT_LT(FApi->UsbWrite(handle, "OH;", 3), 0);
        EXPECT_LT(FApi->UsbCloseDevice(handle), 0);
    }
}

TEST_F(UsbApiPosix, AnnouncedDevicesAreNumberedInEntryOrder) {
    auto second = Announce("b");
    auto first = Announce("a");

    const std::int32_t h0 = FApi->UsbOpenDevice(0);
    const std::int32_t h1 = FApi->UsbOpenDevice(1);
    ASSERT_NE(h0, -1);
    ASSERT_NE(h1, -1);
    EXPECT_NE(h0, h1);
    EXPECT_EQ(FApi->UsbOpenDevice(2), -1);
    ASSERT_TRUE(first->Accept());
    ASSERT_TRUE(second->Accept());
    EXPECT_EQ(FApi->UsbWrite(h0, "to-a", 4), 4);
    EXPECT_EQ(FApi->UsbWrite(h1, "to-b", 4), 4);
    EXPECT_EQ(first->Receive(), "to-a");
    EXPECT_EQ(second->Receive(), "to-b");

    // Discovery opens each number and closes it again at once.
    EXPECT_EQ(PresentUsbApiDevices(*FApi), (std::vector<int>{0, 1}));
    for (auto* device : {first.get(), second.get()}) {
        ASSERT_TRUE(device->Accept());
        EXPECT_TRUE(device->SawClose());
    }
}

TEST_F(UsbApiPosix, EachReadDeliversOneReplyAndTheQueryIsNegativeWhenNothingWaits) {
    auto device = Announce("cutter");
    const std::int32_t handle = FApi->UsbOpenDevice(0);
    ASSERT_NE(handle, -1);
    ASSERT_TRUE(device->Accept());

    std::int32_t count = -5;
    EXPECT_LT(FApi->UsbQueryInput(handle, &count), 0);

    ASSERT_EQ(FApi->UsbWrite(handle, "\x1b.R4:", 5), 5);
    EXPECT_EQ(device->Receive(), "\x1b.R4:");

    device->Send("12,34");
    device->Send("56\r");
    for (const std::string reply : {"12,34", "56\r"}) {
        SCOPED_TRACE(reply);
        char buffer[UsbApi::kReadCapacity + 1] = {};
        ASSERT_GE(QueryUntilInput(handle, count), 0);
        const std::int32_t got = FApi->UsbRead(handle, buffer, UsbApi::kReadCapacity, &count);
        ASSERT_EQ(got, static_cast<std::int32_t>(reply.size()));
        EXPECT_EQ(count, got);
        EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(got)), reply);
    }
    EXPECT_LT(FApi->UsbQueryInput(handle, &count), 0);
}

TEST_F(UsbApiPosix, AReplyLongerThanTheReadCapacityComesOverSeveralReads) {
    auto device = Announce("cutter");
    const std::int32_t handle = FApi->UsbOpenDevice(0);
    ASSERT_TRUE(device->Accept());
    std::string reply;
    for (int i = 0; i < 300; ++i)
        reply += static_cast<char>('a' + i % 26);
    device->Send(reply);

    std::string taken;
    std::vector<std::int32_t> sizes;
    std::int32_t count = 0;
    while (taken.size() < reply.size() && QueryUntilInput(handle, count) >= 0) {
        char buffer[UsbApi::kReadCapacity];
        const std::int32_t got = FApi->UsbRead(handle, buffer, UsbApi::kReadCapacity, &count);
        ASSERT_GE(got, 0);
        sizes.push_back(got);
        taken.append(buffer, static_cast<std::size_t>(got));
    }
    EXPECT_EQ(sizes, (std::vector<std::int32_t>{128, 128, 44}));
    EXPECT_EQ(taken, reply);
}

TEST_F(UsbApiPosix, AClosedHandleAndAVanishedDeviceFailHarmlessly) {
    auto device = Announce("cutter");
    const std::int32_t closed = FApi->UsbOpenDevice(0);
    ASSERT_TRUE(device->Accept());
    EXPECT_EQ(FApi->UsbCloseDevice(closed), 0);
    EXPECT_TRUE(device->SawClose());
    std::int32_t count = 0;
    EXPECT_LT(FApi->UsbQueryInput(closed, &count), 0);
    EXPECT_LT(FApi->UsbWrite(closed, "OH;", 3), 0);

    const std::int32_t handle = FApi->UsbOpenDevice(0);
    ASSERT_TRUE(device->Accept());
    device->Drop();
    char buffer[UsbApi::kReadCapacity];
    EXPECT_LT(FApi->UsbQueryInput(handle, &count), 0);
    EXPECT_LT(FApi->UsbRead(handle, buffer, UsbApi::kReadCapacity, &count), 0);
    // Writing to a device that has gone must not end the program with SIGPIPE.
    EXPECT_LT(FApi->UsbWrite(handle, "OH;", 3), 0);
}

TEST_F(UsbApiPosix, WritesOnOneThreadWhileAnotherQueriesAndReads) {
    auto device = Announce("cutter");
    const std::int32_t handle = FApi->UsbOpenDevice(0);
    ASSERT_TRUE(device->Accept());
    constexpr int kRounds = 40;

    std::thread cutter([&] {
        for (int i = 0; i < kRounds; ++i) {
            auto command = device->Receive();
            if (!command)
                return;
            device->Send("re:" + *command);
        }
    });
    std::vector<std::string> replies;
    std::thread receiver([&] {
        const auto deadline = std::chrono::steady_clock::now() + kBound;
        while (replies.size() < kRounds && std::chrono::steady_clock::now() < deadline) {
            std::int32_t count = 0;
            char buffer[UsbApi::kReadCapacity];
            if (FApi->UsbQueryInput(handle, &count) < 0 ||
                FApi->UsbRead(handle, buffer, UsbApi::kReadCapacity, &count) < 0) {
                std::this_thread::sleep_for(1ms);
                continue;
            }
            replies.emplace_back(buffer, static_cast<std::size_t>(count));
        }
    });
    std::vector<std::string> expected;
    for (int i = 0; i < kRounds; ++i) {
        const std::string command = "cmd" + std::to_string(i);
        EXPECT_EQ(FApi->UsbWrite(handle, command.data(), static_cast<std::int32_t>(command.size())),
                  static_cast<std::int32_t>(command.size()));
        expected.push_back("re:" + command);
    }
    cutter.join();
    receiver.join();
    EXPECT_EQ(replies, expected);
}

TEST_F(UsbApiPosix, AHandleIsClosedWhenReplacedOrDestroyed) {
    auto device = Announce("cutter");
    UsbApiHandle handle = OpenUsbApiDevice(*FApi, 0);
    ASSERT_TRUE(handle.Valid());
    ASSERT_TRUE(device->Accept());

    handle = OpenUsbApiDevice(*FApi, 0); // the newer open replaces the older
    EXPECT_TRUE(device->SawClose());
    ASSERT_TRUE(handle.Valid());
    ASSERT_TRUE(device->Accept());
    const std::int32_t raw = handle.Get();
    {
        UsbApiHandle moved(std::move(handle));
        EXPECT_FALSE(handle.Valid());
        EXPECT_EQ(moved.Get(), raw);
    }
    EXPECT_TRUE(device->SawClose());

    UsbApiHandle none = OpenUsbApiDevice(*FApi, 3);
    EXPECT_FALSE(none.Valid());
    EXPECT_EQ(none.Get(), -1);
}

} // namespace
} // namespace zopra
