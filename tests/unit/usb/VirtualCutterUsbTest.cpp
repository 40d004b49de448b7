// Both USB links against an in-process virtual cutter: the vendor library on its socket
// presentation, the printer-class table, probe and handles on its printer presentation.
#include "link/PrinterClassLink.h"
#include "link/PrinterProbe.h"
#include "link/UsbApiLink.h"
#include "platform/posix/PrinterClassSysfs.h"
#include "platform/posix/UsbApiPosix.h"
#include "virtual-cutter/VirtualCutter.h"

#include "support/UsbTestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <thread>

namespace zopra {
namespace {

using namespace std::chrono_literals;
using platform::UsbApi;

constexpr auto kBound = 5000ms;
const std::string kIdentity = "R4,QRM-CT,Vantor II 24 PZ,V2.10,2023-11-08,14:05;";

vc::Options CutterOn(vc::Link link, const std::string& model = "Vantor II 24 PZ") {
    vc::Options options;
    options.link = link;
    options.state.model = model;
    return options;
}

class VirtualCutterUsbApi : public ::testing::Test {
protected:
    // What one pass of the receive thread gets: query until input waits, then one read.
    std::optional<std::string> ReadReply(std::int32_t handle) {
        const auto deadline = std::chrono::steady_clock::now() + kBound;
        std::int32_t count = 0;
        while (FApi->UsbQueryInput(handle, &count) < 0) {
            if (std::chrono::steady_clock::now() >= deadline)
                return std::nullopt;
            std::this_thread::sleep_for(2ms);
        }
        char buffer[UsbApi::kReadCapacity];
        if (FApi->UsbRead(handle, buffer, UsbApi::kReadCapacity, &count) < 0)
            return std::nullopt;
        return std::string(buffer, static_cast<std::size_t>(count));
    }

    test::PrivateRuntimeDir FRuntime;
    // The USB bus is left out, so a cutter plugged into the test machine changes nothing.
    std::unique_ptr<UsbApi> FApi = platform::MakePosixUsbApi(false);
};

TEST_F(VirtualCutterUsbApi, OpenZeroWriteTheIdentityQueryAndReadTheIdentityInOneRead) {
    vc::VirtualCutter cutter(CutterOn(vc::Link::UsbApi));
    cutter.Start();
    EXPECT_EQ(PresentUsbApiDevices(*FApi), (std::vector<int>{0}));

    UsbApiHandle handle = OpenUsbApiDevice(*FApi, 0);
    ASSERT_TRUE(handle.Valid());
    EXPECT_EQ(FApi->UsbWrite(handle.Get(), "\x1b.R4:", 5), 5);
    EXPECT_EQ(ReadReply(handle.Get()), kIdentity);
    std::int32_t count = 0;
    EXPECT_LT(FApi->UsbQueryInput(handle.Get(), &count), 0); // nothing more: one reply

    EXPECT_EQ(FApi->UsbWrite(handle.Get(), "\x1b.R1:", 5), 5);
    EXPECT_EQ(ReadReply(handle.Get()), "R1,60,120,250,1,0,0,1;");
    ASSERT_TRUE(cutter.WaitForCommands(2, kBound));
    EXPECT_EQ(cutter.Commands(), (std::vector<std::string>{"\x1b.R4:", "\x1b.R1:"}));
}

TEST_F(VirtualCutterUsbApi, AMissingDeviceGivesMinusOneAndAVanishedOneFailsHarmlessly) {
    vc::Options options = CutterOn(vc::Link::UsbApi);
    options.faults.vanishAfter = 1;
    vc::VirtualCutter cutter(options);
    cutter.Start();

    EXPECT_EQ(FApi->UsbOpenDevice(1), -1);
    std::int32_t count = 5;
    char buffer[UsbApi::kReadCapacity];
    EXPECT_LT(FApi->UsbQueryInput(-1, &count), 0);
    EXPECT_LT(FApi->UsbRead(-1, buffer, UsbApi::kReadCapacity, &count), 0);

    UsbApiHandle handle = OpenUsbApiDevice(*FApi, 0);
    ASSERT_TRUE(handle.Valid());
    EXPECT_EQ(FApi->UsbWrite(handle.Get(), "OH;", 3), 3);
    ASSERT_TRUE(cutter.WaitUntilVanished(kBound));
    EXPECT_LT(FApi->UsbQueryInput(handle.Get(), &count), 0);
    EXPECT_LT(FApi->UsbRead(handle.Get(), buffer, UsbApi::kReadCapacity, &count), 0);
    EXPECT_LT(FApi->UsbWrite(handle.Get(), "OH;", 3), 0);
    EXPECT_EQ(FApi->UsbOpenDevice(0), -1); // its announcement has gone with it
}

class VirtualCutterPrinter : public ::testing::Test {
protected:
    test::PrivateRuntimeDir FRuntime;
    test::ScratchDir FNoUsblp; // a sysfs without any usblp interface
    CUsbIF FUsb{platform::MakeSysfsPrinterClassDevices({FNoUsblp.Path() / "sys", "/dev"})};
};

TEST_F(VirtualCutterPrinter, ProbeThenReadAndWriteThroughTwoHandles) {
    vc::VirtualCutter cutter(CutterOn(vc::Link::Printer));
    cutter.Start();
    ASSERT_EQ(FUsb.EnumerateDevices(), 1);
    EXPECT_EQ(FUsb.DevicePath(0), cutter.DevicePath().string() + "#vid_7a3c&pid_0000");
    EXPECT_EQ(FUsb.ProductId(0), "0000");

    auto read = FUsb.OpenDevicePath(0, "");
    auto write = FUsb.OpenDevicePath(0, "");
    ASSERT_TRUE(read.Valid());
    ASSERT_TRUE(write.Valid());
    const std::string answer = ProbePrinterAnswer(write, read);
    EXPECT_EQ(answer, kIdentity);
    EXPECT_EQ(ModelNameFromProbeAnswer(answer), "Vantor II 24 PZ");

    // Connected: queries go out on the write handle, each answer is one read on the other.
    char buffer[256];
    EXPECT_EQ(read.Read(buffer, sizeof buffer, 50ms), 0); // nothing waits, and no hang
    ASSERT_EQ(write.Write("\x1b.R3:", 5), 5);
    const auto got = read.Read(buffer, sizeof buffer, kBound);
    ASSERT_GT(got, 0);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(got)), "R3,10000,10000;");
    ASSERT_TRUE(cutter.WaitForCommands(2, kBound));
    EXPECT_EQ(cutter.Commands(), (std::vector<std::string>{"\x1b.R4:", "\x1b.R3:"}));
}

TEST_F(VirtualCutterPrinter, TwoCuttersAreListedAndEachIsProbedForItsModel) {
    vc::VirtualCutter first(CutterOn(vc::Link::Printer, "Vantor II 24 PZ"));
    vc::VirtualCutter second(CutterOn(vc::Link::Printer, "QT-24"));
    first.Start();
    second.Start();
    ASSERT_EQ(FUsb.EnumerateDevices(), 2);
    EXPECT_EQ(FUsb.EnumerateDevices(), 2);

    std::vector<std::string> models;
    for (int slot = 0; slot < FUsb.Count(); ++slot) {
        auto read = FUsb.OpenDevicePath(slot, "");
        auto write = FUsb.OpenDevicePath(slot, "");
        models.push_back(ModelNameFromProbeAnswer(ProbePrinterAnswer(write, read)));
    }
    std::sort(models.begin(), models.end());
    EXPECT_EQ(models, (std::vector<std::string>{"QT-24", "Vantor II 24 PZ"}));
}

TEST_F(VirtualCutterPrinter, ASilentCutterGivesAnEmptyNameWithinTheBound) {
    vc::Options options = CutterOn(vc::Link::Printer);
    options.faults.silent = true;
    vc::VirtualCutter cutter(options);
    cutter.Start();
    ASSERT_EQ(FUsb.EnumerateDevices(), 1);
    auto read = FUsb.OpenDevicePath(0, "");
    auto write = FUsb.OpenDevicePath(0, "");
    EXPECT_EQ(ProbePrinterAnswer(write, read), "");
    EXPECT_TRUE(cutter.WaitForCommands(1, kBound));
}

} // namespace
} // namespace zopra
