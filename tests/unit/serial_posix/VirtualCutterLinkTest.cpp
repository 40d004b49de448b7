// The serial component against a virtual cutter on a pty, as the window uses it: open at
// 57600 8N1 without handshake, ask for the identity, read exactly what has queued.
#include "support/BoundedWait.h"
#include "link/SerialComponent.h"
#include "platform/SerialPortList.h"
#include "virtual-cutter/VirtualCutter.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace zopra {
namespace {

using testing::Eventually;
using testing::ReturnsInTime;
namespace fs = std::filesystem;

const std::string kIdentityQuery = "\x1b.R4:";

class VirtualCutterLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A private runtime directory (short: the cutter's sockets must fit), so that the
        // announcements of other tests running at the same time stay apart.
        runtime = fs::path("/tmp") / ("zs-" + std::to_string(getpid()));
        fs::create_directories(runtime);
        const char* saved = std::getenv("XDG_RUNTIME_DIR");
        hadRuntime = saved != nullptr;
        previousRuntime = hadRuntime ? saved : "";
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

        vc::Options options;
        options.state.model = "Vantor II 24 PZ";
        cutter = std::make_unique<vc::VirtualCutter>(options);
        cutter->Start();

        comm.SetDeviceName(platform::SerialDeviceName(cutter->DevicePath().string()));
        comm.SetMonitorEvents(AllCommEvents);
        comm.SetBaudRate(br57600);
        comm.SetFlowControl(fcNone);
    }
    void TearDown() override {
        comm.Close();
        cutter.reset();
        if (hadRuntime)
            setenv("XDG_RUNTIME_DIR", previousRuntime.c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
        fs::remove_all(runtime);
    }

    // What the receive thread does: read what has queued until a CR ends the line.
    std::string ReadLine() {
        std::string line;
        Eventually([&] {
            const int queued = comm.InQueCount();
            if (queued > 0) {
                std::string chunk(static_cast<size_t>(queued), '\0');
                EXPECT_EQ(comm.Read(chunk.data(), static_cast<uint32_t>(queued)), queued);
                line += chunk;
            }
            return line.find('\r') != std::string::npos;
        });
        return line;
    }

    fs::path runtime;
    bool hadRuntime = false;
    std::string previousRuntime;
    std::unique_ptr<vc::VirtualCutter> cutter;
    TComm comm;
};

TEST_F(VirtualCutterLinkTest, TheAnnouncedPortIsListed) {
    const std::vector<std::string> ports = platform::ListSerialPorts();
    EXPECT_NE(std::find(ports.begin(), ports.end(), cutter->DevicePath().string()), ports.end());
}

TEST_F(VirtualCutterLinkTest, IdentityQueryAndReply) {
    comm.Open();
    ASSERT_TRUE(comm.Enabled());
    const platform::SerialControlBlock& block = comm.DataControlBlock();
    EXPECT_EQ(block.baudRate, 57600u);
    EXPECT_EQ(block.byteSize, 8);
    EXPECT_EQ(block.parity, platform::kNoParity);
    EXPECT_EQ(block.stopBits, platform::kOneStopBit);
    // The pty has no modem lines: they read as active, so the connection counts.
    EXPECT_TRUE(comm.GetModemState(2) || comm.GetModemState(1) || comm.GetModemState(3) ||
                comm.GetModemState(4));

    EXPECT_EQ(comm.Write(kIdentityQuery.data(), 5), 5);
    const std::string line = ReadLine();
    EXPECT_EQ(line, "R4,QRM-CT,Vantor II 24 PZ,V2.10,2023-11-08,14:05;\r");
    EXPECT_EQ(comm.InQueCount(), 0);
    ASSERT_TRUE(cutter->WaitForCommands(1, std::chrono::seconds(5)));
    EXPECT_EQ(cutter->Commands(), std::vector<std::string>{kIdentityQuery});
}

TEST_F(VirtualCutterLinkTest, CloseWhileTheEventThreadWaitsAndNoHandlerAfterIt) {
    // The window hands events to its own thread; here the test thread plays that part and
    // is busy closing the port.
    std::mutex mutex;
    std::vector<std::function<void()>> queued;
    comm.SetInterfaceInvoker([&](std::function<void()> task) {
        std::lock_guard guard(mutex);
        queued.push_back(std::move(task));
    });
    std::atomic<int> handled{0};
    std::atomic<bool> closed{false};
    std::atomic<bool> late{false};
    comm.OnComStatEvent = [&](TThreadComm*, uint32_t, TComStat) {
        if (closed)
            late = true;
        ++handled;
    };
    vc::Faults faults;
    faults.delayMs = 300; // the reply comes after the port has been closed
    cutter->SetFaults(faults);

    comm.Open();
    EXPECT_EQ(comm.Write(kIdentityQuery.data(), 5), 5);
    ASSERT_TRUE(cutter->WaitForCommands(1, std::chrono::seconds(5)));
    EXPECT_TRUE(ReturnsInTime([&] {
        comm.Close();
        closed = true;
    }));
    EXPECT_FALSE(comm.Enabled());
    // Let the late reply come, then run whatever the event thread had handed over.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    std::vector<std::function<void()>> tasks;
    {
        std::lock_guard guard(mutex);
        tasks.swap(queued);
    }
    for (auto& task : tasks)
        task();
    EXPECT_FALSE(late.load()) << "a handler ran after Close";
    EXPECT_EQ(handled.load(), 0);
}

} // namespace
} // namespace zopra
