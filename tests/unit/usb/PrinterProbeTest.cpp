// The identification probe and the printer-class handles, against a pty standing in for
// the device.
#include "link/PrinterProbe.h"
#include "platform/posix/PrinterClassSysfs.h"

#include "PtyPeer.h"

#include <fcntl.h>
#include <future>
#include <thread>
#include <gtest/gtest.h>

namespace zopra {
namespace {

using namespace std::chrono_literals;

constexpr auto kPeerBound = 5s;
const std::string kProbeBytes("\x1b\x2e\x52\x34\x3a\x0d\x0a", 7);

TEST(ModelNameFromProbeAnswer, CutsTheThirdPieceAndTrimsIt) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a,b, Vantor II 24 PZ ,c", "Vantor II 24 PZ"},
        {"Cutter,2.10,QT-24,1,2\r", "QT-24"},
        {"a,b,\t\r\n Vantor II 24 PZ\x01\x7f,c", "Vantor II 24 PZ"},
        {"a,b,,c", ""},
        {"a,b,   ,c", ""},
        {"", ""},
        {"no comma at all", ""},
        {"one,comma", ""},
        {"two,commas,no third", ""},
        {",,X,", "X"},
        {"a,b,c,d,e", "c"},
    };
    for (const auto& [answer, model] : cases)
        EXPECT_EQ(ModelNameFromProbeAnswer(answer), model) << answer;
}

class ProbeOverPty : public ::testing::Test {
protected:
    platform::PrinterHandle OpenSlave() { return FDevices->Open(FPeer.SlavePath()); }

    test::PtyPeer FPeer;
    std::shared_ptr<platform::PrinterClassDevices> FDevices =
        platform::MakeSysfsPrinterClassDevices();
};

TEST_F(ProbeOverPty, SendsTheSevenProbeBytesAndReadsTheAnswer) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Cutter,1.00, Vantor II 24 PZ ,x", "Cutter,1.00, Vantor II 24 PZ ,x"},
        {"a,b,QT-24,c\r", "a,b,QT-24,c\r"},            // the answer's CR stays in the text
        {std::string("a,b,X,c\0junk", 12), "a,b,X,c"}, // a 0 byte ends the text
    };
    for (const auto& [reply, answer] : cases) {
        SCOPED_TRACE(answer);
        auto read = OpenSlave();
        auto write = OpenSlave();
        ASSERT_TRUE(read.Valid());
        ASSERT_TRUE(write.Valid());
        auto peer = std::async(std::launch::async, [&, reply = reply] {
            std::string probe = FPeer.Read(kProbeBytes.size(), kPeerBound);
            FPeer.Write(reply);
            return probe;
        });
        EXPECT_EQ(ProbePrinterAnswer(write, read), answer);
        EXPECT_EQ(peer.get(), kProbeBytes);
    }
}

// An answer longer than one read, after bytes that an earlier answer left: the probe takes
// the whole answer and none of the old bytes, and leaves nothing for the next use.
TEST_F(ProbeOverPty, TakesTheWholeAnswerAndNothingOfAnEarlierOne) {
    auto read = OpenSlave();
    auto write = OpenSlave();
    FPeer.Write("V2.10,2023-11-08,14:05;\r");
    auto peer = std::async(std::launch::async, [&] {
        FPeer.Read(kProbeBytes.size(), kPeerBound);
        FPeer.Write("R4,QRM-CT,Vant");
        std::this_thread::sleep_for(300ms);
        FPeer.Write("or 24,V2.10,2023-11-08,14:05;\r");
    });
    EXPECT_EQ(ModelNameFromProbeAnswer(ProbePrinterAnswer(write, read)), "Vantor 24");
    peer.get();
    char buffer[64];
    EXPECT_EQ(read.Read(buffer, sizeof buffer, 100ms), 0);
}

TEST_F(ProbeOverPty, ASilentDeviceGivesAnEmptyAnswer) {
    auto read = OpenSlave();
    auto write = OpenSlave();
    EXPECT_EQ(ProbePrinterAnswer(write, read), "");
    EXPECT_EQ(FPeer.Read(kProbeBytes.size(), kPeerBound), kProbeBytes);
}

TEST_F(ProbeOverPty, WithoutAReadHandleTheProbeGoesOutAndTheAnswerIsEmpty) {
    platform::PrinterHandle read;
    auto write = OpenSlave();
    EXPECT_EQ(ProbePrinterAnswer(write, read), "");
    EXPECT_EQ(FPeer.Read(kProbeBytes.size(), kPeerBound), kProbeBytes);
}

TEST_F(ProbeOverPty, ReadAndWriteGoThroughTwoHandles) {
    auto read = OpenSlave();
    auto write = OpenSlave();
    char buffer[256];
    // Nothing there: the read comes back empty instead of waiting for ever.
    EXPECT_EQ(read.Read(buffer, sizeof buffer, 0ms), 0);

    FPeer.Write("A,B\r");
    const auto got = read.Read(buffer, sizeof buffer, 5000ms);
    ASSERT_EQ(got, 4);
    EXPECT_EQ(std::string(buffer, 4), "A,B\r");

    EXPECT_EQ(write.Write("OH;", 3), 3);
    EXPECT_EQ(FPeer.Read(3, kPeerBound), "OH;");

    // The device vanishes: both handles report failure.
    FPeer.Close();
    EXPECT_EQ(read.Read(buffer, sizeof buffer, 1000ms), -1);
    EXPECT_EQ(write.Write("OH;", 3), -1);
}

TEST(PrinterHandle, IsClosedWhenReplacedOrDestroyedAndNotWhenReleased) {
    test::PtyPeer peer;
    auto devices = platform::MakeSysfsPrinterClassDevices();
    auto isOpen = [](platform::PrinterHandle::Native fd) {
        return ::fcntl(static_cast<int>(fd), F_GETFD) != -1;
    };

    auto first = devices->Open(peer.SlavePath());
    const auto firstFd = first.NativeHandle();
    ASSERT_TRUE(isOpen(firstFd));
    first = devices->Open(peer.SlavePath()); // the newer open replaces the older
    EXPECT_FALSE(isOpen(firstFd));

    const auto secondFd = first.NativeHandle();
    platform::PrinterHandle moved(std::move(first));
    EXPECT_FALSE(first.Valid());
    EXPECT_EQ(moved.NativeHandle(), secondFd);
    { platform::PrinterHandle gone(std::move(moved)); }
    EXPECT_FALSE(isOpen(secondFd));

    auto kept = devices->Open(peer.SlavePath());
    const auto keptFd = kept.Release();
    EXPECT_FALSE(kept.Valid());
    EXPECT_TRUE(isOpen(keptFd));
    ::close(static_cast<int>(keptFd));

    platform::PrinterHandle invalid;
    char byte = 0;
    EXPECT_EQ(invalid.Read(&byte, 1, 0ms), -1);
    EXPECT_EQ(invalid.Write(&byte, 1), -1);
}

} // namespace
} // namespace zopra
