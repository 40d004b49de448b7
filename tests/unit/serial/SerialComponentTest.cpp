// The serial component's states, settings, errors and transfers, against the fake driver.
#include "link/SerialComponent.h"
#include "support/BoundedWait.h"
#include "support/ErrorOf.h"
#include "support/FakeSerialDriver.h"

#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace zopra {
namespace {

using testing::ErrorOf;
using testing::FakeSerial;
using testing::FakeSerialDriver;
using testing::ReturnsInTime;

class CommTest : public ::testing::Test {
protected:
    void OpenPort() {
        comm.SetDeviceName("COM2");
        comm.Open();
        ASSERT_TRUE(comm.Enabled());
    }

    std::shared_ptr<FakeSerial> fake = std::make_shared<FakeSerial>();
    TComm comm{std::make_shared<FakeSerialDriver>(fake)};
};

TEST(CommErrorText, ReplacesTheCodeAndKeepsIt) {
    try {
        RaiseCommError("Port not open (Error: %d)", 2);
        FAIL() << "no error raised";
    } catch (const ECommError& error) {
        EXPECT_STREQ(error.what(), "Port not open (Error: 2)");
        EXPECT_EQ(error.Code(), 2);
    }
    EXPECT_EQ(ErrorOf([] { RaiseCommError("a %d b %d", -1); }), "a -1 b -1");
}

// What an opened port ends up with, whatever the order of the calls that set it: every
// event watched, the queues sized, the line at 57600 8N1 in binary with no abort on error,
// reads returning what has arrived, and the event thread waiting.
TEST_F(CommTest, OpenLeavesThePortSetUp) {
    fake->driverState.fAbortOnError = true; // left by another program
    OpenPort();
    ASSERT_TRUE(fake->WaitFor([&] { return fake->inWait; }));
    std::lock_guard guard(fake->mutex);
    EXPECT_EQ(fake->eventMask, platform::kEvAll);
    EXPECT_EQ(fake->inQueue, 4096u);
    EXPECT_EQ(fake->outQueue, 2048u);
    const platform::SerialControlBlock& line = fake->driverState;
    EXPECT_EQ(line.baudRate, 57600u);
    EXPECT_EQ(line.byteSize, 8);
    EXPECT_EQ(line.parity, platform::kNoParity);
    EXPECT_EQ(line.stopBits, platform::kOneStopBit);
    EXPECT_TRUE(line.fBinary);
    EXPECT_FALSE(line.fAbortOnError);
    ASSERT_FALSE(fake->timeouts.empty());
    EXPECT_EQ(fake->timeouts.back().readIntervalTimeout, 0xFFFFFFFFu);
    EXPECT_EQ(fake->timeouts.back().readTotalTimeoutConstant, 1000u);
    EXPECT_EQ(fake->portsAlive, 1);
}

TEST_F(CommTest, OpenTwiceRaisesAndLeavesThePortOpen) {
    OpenPort();
    EXPECT_EQ(ErrorOf([&] { comm.Open(); }), "Port already assigned (open) (Error: -1)");
    EXPECT_EQ(ErrorOf([&] { comm.CheckOpen(); }), "Port already assigned (open) (Error: -1)");
    EXPECT_TRUE(comm.Enabled());
    EXPECT_EQ(fake->opens, 1);
    EXPECT_EQ(fake->portsAlive, 1);
}

TEST_F(CommTest, OpenOfAMissingPortRaisesErrorTwo) {
    comm.SetDeviceName("COM9");
    EXPECT_EQ(ErrorOf([&] { comm.Open(); }), "Port not open (Error: 2)");
    EXPECT_FALSE(comm.Enabled());
    EXPECT_EQ(ErrorOf([&] { comm.CheckOpen(); }), "(no error)");
}

TEST_F(CommTest, OpenOfANonCharacterFileClosesItAgain) {
    struct Case {
        int typeError;
        std::string raised;
    };
    for (const Case& c : {Case{25, "Port not open (Error: 25)"}, Case{0, "(no error)"}}) {
        fake->isCharacter = false;
        fake->typeError = c.typeError;
        comm.SetDeviceName("COM2");
        EXPECT_EQ(ErrorOf([&] { comm.Open(); }), c.raised);
        EXPECT_FALSE(comm.Enabled());
        EXPECT_EQ(fake->portsAlive, 0) << "the handle stays open";
        EXPECT_EQ(fake->CountCalls("SetTimeouts"), 0);
    }
}

// The queues' setup comes last: when it fails the port is closed again and no event thread
// waits on it. The earlier failures leave the port open until Close.
TEST_F(CommTest, FailuresInsideOpen) {
    struct Case {
        std::function<void(FakeSerial&)> arrange;
        std::string raised;
        bool leftOpen;
    };
    const Case cases[] = {
        {[](FakeSerial& f) { f.setTimeoutsError = 5; }, "Error updating CommTimeouts (Error: 5)",
         true},
        {[](FakeSerial& f) { f.setStateError = 87; }, "Error updating DataControlBlock (Error: 87)",
         true},
        {[](FakeSerial& f) { f.setupError = 1450; },
         "Error initializing Read/Write Buffers (Error: 1450)", false},
    };
    for (const Case& c : cases) {
        fake = std::make_shared<FakeSerial>();
        c.arrange(*fake);
        TComm port(std::make_shared<FakeSerialDriver>(fake));
        port.SetDeviceName("COM2");
        EXPECT_EQ(ErrorOf([&] { port.Open(); }), c.raised);
        EXPECT_EQ(port.Enabled(), c.leftOpen);
        EXPECT_EQ(fake->portsAlive, c.leftOpen ? 1 : 0);
        EXPECT_EQ(fake->waits, 0);
        port.Close();
        EXPECT_FALSE(port.Enabled());
        EXPECT_EQ(fake->portsAlive, 0);
    }
}

TEST_F(CommTest, FirstGroupSettersChangeNothingWhileOpen) {
    struct Case {
        const char* name;
        std::function<void(TComm&)> set;
        std::function<bool(TComm&)> changed;
    };
    const Case cases[] = {
        {"DeviceName", [](TComm& c) { c.SetDeviceName("COM7"); },
         [](TComm& c) { return c.DeviceName() == "COM7"; }},
        {"MonitorEvents", [](TComm& c) { c.SetMonitorEvents({evRxChar}); },
         [](TComm& c) { return c.MonitorEvents() == TCommEventTypes{evRxChar}; }},
        {"ReadBufSize", [](TComm& c) { c.SetReadBufSize(100); },
         [](TComm& c) { return c.ReadBufSize() == 100; }},
        {"WriteBufSize", [](TComm& c) { c.SetWriteBufSize(200); },
         [](TComm& c) { return c.WriteBufSize() == 200; }},
        {"SuspendTime", [](TComm& c) { c.SetSuspendTime(9); },
         [](TComm& c) { return c.SuspendTime() == 9u; }},
    };
    OpenPort();
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorOf([&] { c.set(comm); }), "(no error)") << c.name;
        EXPECT_FALSE(c.changed(comm)) << c.name << " changed while open";
    }
    comm.Close();
    for (const Case& c : cases) {
        c.set(comm);
        EXPECT_TRUE(c.changed(comm)) << c.name << " not stored while closed";
    }
}

TEST_F(CommTest, SecondGroupSettersReachAnOpenPortOnlyWhenTheValueChanges) {
    struct Case {
        const char* name;
        std::function<void(TComm&)> set;
        std::function<bool(const platform::SerialControlBlock&)> reached;
    };
    const Case cases[] = {
        {"BaudRate", [](TComm& c) { c.SetBaudRate(br115200); },
         [](const auto& b) { return b.baudRate == 115200; }},
        {"Parity", [](TComm& c) { c.SetParity(paEven); },
         [](const auto& b) { return b.parity == platform::kEvenParity; }},
        {"StopBits", [](TComm& c) { c.SetStopBits(sb20); },
         [](const auto& b) { return b.stopBits == platform::kTwoStopBits; }},
        {"DataBits", [](TComm& c) { c.SetDataBits(da7); },
         [](const auto& b) { return b.byteSize == 7; }},
        {"Options",
         [](TComm& c) {
             c.SetOptions({coParityCheck, coNullStrip});
         },
         [](const auto& b) { return b.fParity && b.fNull && !b.fErrorChar; }},
        {"FlowControl", [](TComm& c) { c.SetFlowControl(fcCTS); },
         [](const auto& b) { return b.fOutxCtsFlow; }},
    };
    OpenPort();
    for (const Case& c : cases) {
        fake->ClearCalls();
        c.set(comm);
        EXPECT_EQ(fake->CountCalls("SetState"), 1) << c.name;
        EXPECT_TRUE(c.reached(fake->driverState)) << c.name;
        fake->ClearCalls();
        c.set(comm);
        EXPECT_TRUE(fake->Calls().empty()) << c.name << " pushed an unchanged value";
    }
}

TEST_F(CommTest, BaudRateOnAClosedPortIsOnlyStored) {
    comm.SetBaudRate(br9600);
    EXPECT_EQ(comm.BaudRate(), br9600);
    EXPECT_TRUE(fake->Calls().empty());
    OpenPort();
    ASSERT_FALSE(fake->states.empty());
    EXPECT_EQ(fake->states.back().baudRate, 9600u);
}

TEST_F(CommTest, ClosedPortResults) {
    char buffer[8] = {};
    EXPECT_EQ(comm.Write("abc", 3), -1);
    EXPECT_EQ(comm.WriteEx("abc", 3, 1), -1);
    EXPECT_EQ(comm.Read(buffer, sizeof buffer), -1);
    EXPECT_EQ(comm.InQueCount(), -1);
    EXPECT_EQ(comm.OutQueCount(), -1);
    for (int n = 0; n <= 5; ++n) {
        EXPECT_TRUE(comm.GetModemState(n)) << n;
        EXPECT_FALSE(comm.GetComState(n)) << n;
    }
    comm.PurgeIn();
    comm.PurgeOut();
    comm.UpdateDataControlBlockLock();
    comm.UpdateCommTimeouts();
    EXPECT_TRUE(fake->Calls().empty());
}

TEST_F(CommTest, ReadOfZeroBytesReturnsZero) {
    OpenPort();
    fake->ClearCalls();
    char buffer[1] = {};
    EXPECT_EQ(comm.Read(buffer, 0), 0);
    EXPECT_EQ(fake->Calls(), (std::vector<std::string>{"ClearError", "ClearError"}));
}

TEST_F(CommTest, EventCharsAndLimitsGoIntoEveryUpdate) {
    OpenPort();
    comm.SetParity(paOdd);
    comm.EventChars().SetXOnChar('Q');
    comm.EventChars().SetEventChar(9, 'x'); // no such character: stores nothing, updates
    ASSERT_EQ(fake->states.size(), 4u);
    for (const platform::SerialControlBlock& block : fake->states) {
        EXPECT_EQ(block.xonLim, 1024);
        EXPECT_EQ(block.xoffLim, 1024);
        EXPECT_EQ(block.xoffChar, 19);
    }
    EXPECT_EQ(fake->states[0].xonChar, 17);
    EXPECT_EQ(fake->states[1].xonChar, 17);
    EXPECT_EQ(fake->states[2].xonChar, 'Q');
    EXPECT_EQ(fake->states[3].xonChar, 'Q');

    TCommEventChars other;
    other.SetEofChar(26);
    fake->ClearCalls();
    comm.EventChars().Assign(other);
    EXPECT_EQ(comm.EventChars().XOnChar(), 17);
    EXPECT_EQ(comm.EventChars().EofChar(), 26);
    EXPECT_TRUE(fake->Calls().empty()) << "Assign updated the port";
}

TEST_F(CommTest, EventCharSetterRaisesWhenTheUpdateFails) {
    OpenPort();
    fake->setStateError = 31;
    EXPECT_EQ(ErrorOf([&] { comm.EventChars().SetEvtChar('\r'); }),
              "Error updating DataControlBlock (Error: 31)");
    EXPECT_EQ(comm.EventChars().EvtChar(), '\r');
}

TEST_F(CommTest, DeviceControlBlockFollowsFlowControl) {
    struct Case {
        TFlowControl flow;
        bool cts, dsr;
        uint8_t dtr, rts;
        bool xonXoff;
    };
    using namespace platform;
    const Case cases[] = {
        {fcNone, false, false, kDtrControlEnable, kRtsControlEnable, false},
        {fcCTS, true, false, kDtrControlEnable, kRtsControlHandshake, false},
        {fcDTR, false, true, kDtrControlHandshake, kRtsControlEnable, false},
        {fcSoftware, false, false, kDtrControlEnable, kRtsControlEnable, true},
        {fcDefault, false, false, kDtrControlEnable, kRtsControlEnable, false},
        {fcNone, false, false, kDtrControlEnable, kRtsControlEnable, false},
    };
    // What another program left in the port is not taken over: no abort on error, no
    // XON/XOFF but for fcSoftware, binary transfers.
    fake->driverState.fBinary = false;
    fake->driverState.fAbortOnError = true;
    fake->driverState.fOutX = fake->driverState.fInX = true;
    OpenPort();
    for (const Case& c : cases) {
        comm.SetFlowControl(c.flow);
        const SerialControlBlock& block = comm.DataControlBlock();
        EXPECT_EQ(block, fake->driverState);
        EXPECT_EQ(block.fOutxCtsFlow, c.cts) << int(c.flow);
        EXPECT_EQ(block.fOutxDsrFlow, c.dsr) << int(c.flow);
        EXPECT_EQ(block.fDtrControl, c.dtr) << int(c.flow);
        EXPECT_EQ(block.fRtsControl, c.rts) << int(c.flow);
        EXPECT_EQ(block.fOutX, c.xonXoff) << int(c.flow);
        EXPECT_EQ(block.fInX, c.xonXoff) << int(c.flow);
        EXPECT_TRUE(block.fBinary);
        EXPECT_FALSE(block.fAbortOnError);
        EXPECT_EQ(block.baudRate, 57600u);
        EXPECT_EQ(block.byteSize, 8);
        EXPECT_EQ(block.parity, kNoParity);
        EXPECT_EQ(block.stopBits, kOneStopBit);
    }
}

TEST_F(CommTest, CommTimeoutsFromBaudRateAndReadTimeout) {
    struct Case {
        TBaudRate rate;
        uint32_t multiplier;
    };
    // Ten bits a byte at the rate, in whole milliseconds rounded up.
    const Case cases[] = {{br110, 91}, {br300, 34}, {br9600, 2}, {br57600, 1}, {br256000, 1}};
    for (const Case& c : cases) {
        fake = std::make_shared<FakeSerial>();
        TComm port(std::make_shared<FakeSerialDriver>(fake));
        port.SetDeviceName("COM2");
        port.SetBaudRate(c.rate);
        port.SetReadTimeout(250);
        port.Open();
        ASSERT_EQ(fake->timeouts.size(), 1u);
        const platform::SerialTimeouts& t = fake->timeouts[0];
        EXPECT_EQ(t.readIntervalTimeout, 0xFFFFFFFFu);
        EXPECT_EQ(t.readTotalTimeoutMultiplier, 0u);
        EXPECT_EQ(t.readTotalTimeoutConstant, 250u);
        EXPECT_EQ(t.writeTotalTimeoutMultiplier, c.multiplier) << int(c.rate);
        EXPECT_EQ(t.writeTotalTimeoutConstant, 1000u);
    }
}

TEST_F(CommTest, CloseTwiceDoesNothingTheSecondTime) {
    OpenPort();
    comm.Close();
    EXPECT_FALSE(comm.Enabled());
    EXPECT_EQ(fake->portsAlive, 0);
    const std::vector<std::string> afterFirst = fake->Calls();
    EXPECT_EQ(afterFirst.back(), "CloseHandle");
    EXPECT_EQ(fake->CountCalls("Purge 15"), 1) << "Close purges both directions";
    comm.Close();
    EXPECT_EQ(fake->Calls(), afterFirst);
}

TEST_F(CommTest, LineControlOnAClosedPortRaises) {
    const std::function<void(TComm&)> calls[] = {
        [](TComm& c) { c.EscapeComm(5); },      [](TComm& c) { c.SetDTRState(true); },
        [](TComm& c) { c.SetRTSState(false); }, [](TComm& c) { c.SetBREAKState(true); },
        [](TComm& c) { c.SetXONState(true); },
    };
    for (const auto& call : calls)
        EXPECT_EQ(ErrorOf([&] { call(comm); }), "Port not open (Error: -1)");
    EXPECT_TRUE(fake->Calls().empty());
}

TEST_F(CommTest, LineControlSendsTheEscapeCodes) {
    struct Case {
        std::function<void(TComm&)> call;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {[](TComm& c) { c.SetDTRState(true); }, {"Escape 5"}},
        {[](TComm& c) { c.SetDTRState(false); }, {"Escape 6"}},
        {[](TComm& c) { c.SetRTSState(true); }, {"Escape 3"}},
        {[](TComm& c) { c.SetRTSState(false); }, {"Escape 4"}},
        {[](TComm& c) { c.SetXONState(true); }, {"Escape 2"}},
        {[](TComm& c) { c.SetXONState(false); }, {"Escape 1"}},
        {[](TComm& c) { c.SetBREAKState(true); }, {"Escape 8", "Purge 15"}},
        {[](TComm& c) { c.SetBREAKState(false); }, {"Escape 9", "Purge 15"}},
    };
    OpenPort();
    for (const Case& c : cases) {
        fake->ClearCalls();
        c.call(comm);
        EXPECT_EQ(fake->Calls(), c.expected);
    }
    fake->escapeError = 25;
    EXPECT_EQ(ErrorOf([&] { comm.SetDTRState(true); }), "EscapeCommFunction failure (Error: 25)");
}

TEST_F(CommTest, ModemStateOfAnOpenPort) {
    struct Case {
        uint32_t status;
        int error;
        bool expected[6]; // n = 0 .. 5
    };
    using namespace platform;
    const Case cases[] = {
        {0, 0, {false, false, false, false, false, false}},
        {kMsCtsOn, 0, {false, true, false, false, false, false}},
        {kMsDsrOn, 0, {false, false, true, false, false, false}},
        {kMsRingOn, 0, {false, false, false, true, false, false}},
        {kMsRlsdOn, 0, {false, false, false, false, true, false}},
        {0xFF, 0, {false, true, true, true, true, false}},
        // A port that refuses the query (a pty) reads as active on every line.
        {0, 25, {true, true, true, true, true, true}},
    };
    OpenPort();
    for (const Case& c : cases) {
        fake->modemStatus = c.status;
        fake->modemError = c.error;
        for (int n = 0; n <= 5; ++n)
            EXPECT_EQ(comm.GetModemState(n), c.expected[n]) << "status " << c.status << " n " << n;
    }
}

TEST_F(CommTest, ComStateReadsOneHoldFlag) {
    OpenPort();
    struct Case {
        int n;
        bool platform::SerialComStat::*flag;
    };
    const Case cases[] = {
        {1, &platform::SerialComStat::fCtsHold},  {2, &platform::SerialComStat::fDsrHold},
        {3, &platform::SerialComStat::fRlsdHold}, {4, &platform::SerialComStat::fXoffHold},
        {5, &platform::SerialComStat::fXoffSent}, {0, &platform::SerialComStat::fCtsHold},
        {6, &platform::SerialComStat::fCtsHold}};
    for (const Case& c : cases) {
        fake->comStat = {};
        EXPECT_FALSE(comm.GetComState(c.n)) << c.n;
        fake->comStat.*c.flag = true;
        EXPECT_TRUE(comm.GetComState(c.n)) << c.n;
    }
}

TEST_F(CommTest, QueueCounts) {
    OpenPort();
    fake->comStat.cbInQue = 7;
    fake->comStat.cbOutQue = 3;
    EXPECT_EQ(comm.InQueCount(), 7);
    EXPECT_EQ(comm.OutQueCount(), 3);
    fake->clearErrorError = 5;
    EXPECT_EQ(comm.InQueCount(), 0);
    EXPECT_EQ(comm.OutQueCount(), 0);
}

TEST_F(CommTest, WriteResults) {
    struct Case {
        const char* name;
        int waitMode;
        std::function<void(FakeSerial&)> arrange;
        int result;
        long long bound; // of the one wait; -1: no wait
        bool cancelled;
        bool cleared;
    };
    // 57600 bit/s: 1 ms a byte, 1000 ms, and the margin of 500 ms.
    const Case cases[] = {
        {"at once", 0, [](FakeSerial&) {}, 6, -1, false, false},
        {"pending", 0, [](FakeSerial& f) { f.writePending = 1; }, 6, 1506, false, false},
        {"start fails", 0, [](FakeSerial& f) { f.writeStartError = 5; }, 0, -1, false, true},
        {"wait fails", 0,
         [](FakeSerial& f) {
             f.writePending = 1;
             f.writeWaitError = 22;
         },
         1, 1506, false, true},
        // A driver that stops taking data: one bounded wait, then the write is cancelled
        // before the record is reused, and the result is what the cancelled write moved.
        {"never ends", 0, [](FakeSerial& f) { f.writePending = -1; }, 3, 1506, true, false},
        {"bounded, in time", 1, [](FakeSerial& f) { f.writePending = 1; }, 6, 4, false, false},
        {"bounded, too slow", 1, [](FakeSerial& f) { f.writePending = -1; }, 3, 4, true, false},
    };
    for (const Case& c : cases) {
        fake = std::make_shared<FakeSerial>();
        c.arrange(*fake);
        TComm port(std::make_shared<FakeSerialDriver>(fake));
        port.SetDeviceName("COM2");
        port.SetWriteTimeout(4);
        port.Open();
        fake->ClearCalls();
        int result = -9;
        ASSERT_TRUE(ReturnsInTime([&] { result = port.WriteEx("abcdef", 6, c.waitMode); }))
            << c.name;
        EXPECT_EQ(result, c.result) << c.name;
        EXPECT_EQ(fake->writeBounds,
                  c.bound < 0 ? std::vector<long long>{} : std::vector<long long>{c.bound})
            << c.name;
        EXPECT_EQ(fake->CountCalls("CancelWrite"), c.cancelled ? 1 : 0) << c.name;
        EXPECT_EQ(fake->CountCalls("ClearError"), c.cleared ? 1 : 0) << c.name;
        EXPECT_EQ(fake->written, "abcdef");
        EXPECT_EQ(fake->transfers.load(), 0) << c.name << ": a write is still under way";
    }
}

TEST_F(CommTest, ReadResults) {
    OpenPort();
    char buffer[16] = {};
    fake->readable = "hello";
    EXPECT_EQ(comm.Read(buffer, 5), 5);
    EXPECT_EQ(std::string(buffer, 5), "hello");

    fake->readable = "abc";
    fake->readPending = true;
    fake->ClearCalls();
    EXPECT_EQ(comm.Read(buffer, 8), 3);
    EXPECT_EQ(fake->Calls(), (std::vector<std::string>{"ClearError", "StartRead", "WaitRead"}));

    // Wine fails a read on an empty queue with a time-out: nothing read, line errors cleared.
    fake->readWaitError = 1460;
    fake->ClearCalls();
    EXPECT_EQ(comm.Read(buffer, 8), 0);
    EXPECT_EQ(fake->Calls(),
              (std::vector<std::string>{"ClearError", "StartRead", "WaitRead", "ClearError"}));
}

// The lock keeps a write on one thread and a read on another from overlapping: the fake
// notes any transfer that starts while another is under way.
TEST_F(CommTest, WriteAndReadOnTwoThreadsNeverOverlap) {
    fake->writePending = 1;
    fake->readPending = true;
    OpenPort();
    std::thread reader([&] {
        char buffer[4];
        for (int i = 0; i < 300; ++i) {
            comm.InQueCount();
            EXPECT_GE(comm.Read(buffer, sizeof buffer), 0);
        }
    });
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(comm.Write("ESC.R4:", 7), 7);
    reader.join();
    EXPECT_FALSE(fake->overlapped.load());
    EXPECT_EQ(fake->written.size(), 300u * 7);
}

TEST(FakeSerialOverlap, TheFakeNoticesAnOverlap) {
    // The detector the test above relies on: a read started during a pending write.
    auto fake = std::make_shared<FakeSerial>();
    fake->writePending = 1;
    testing::FakeSerialPort port(fake);
    char buffer[4];
    EXPECT_EQ(port.StartWrite("ab", 2).state, platform::SerialIo::Pending);
    port.StartRead(buffer, 4);
    EXPECT_TRUE(fake->overlapped.load());
}

TEST_F(CommTest, HandleCommEventCallsTheHandlersInOrder) {
    std::vector<std::string> order;
    comm.OnBreak = [&](TThreadComm* s) { order.push_back(s == &comm ? "Break" : "?"); };
    comm.OnCts = [&](TThreadComm*) { order.push_back("Cts"); };
    comm.OnDsr = [&](TThreadComm*) { order.push_back("Dsr"); };
    comm.OnError = [&](TThreadComm*, int errors) {
        order.push_back("Error " + std::to_string(errors));
    };
    comm.OnRing = [&](TThreadComm*) { order.push_back("Ring"); };
    comm.OnRlsd = [&](TThreadComm*) { order.push_back("Rlsd"); };
    comm.OnRxChar = [&](TThreadComm*, uint32_t count) {
        order.push_back("RxChar " + std::to_string(count));
    };
    comm.OnRxFlag = [&](TThreadComm*) { order.push_back("RxFlag"); };
    comm.OnTxEmpty = [&](TThreadComm*) { order.push_back("TxEmpty"); };
    comm.OnComStatEvent = [&](TThreadComm*, uint32_t status, TComStat stat) {
        order.push_back("ComStat " + std::to_string(status) + " " + std::to_string(stat.cbInQue));
    };
    comm.SetMonitorEvents({});
    OpenPort();
    fake->lineErrors = platform::kCeFrame;

    struct Case {
        uint32_t mask;
        uint32_t inQueue;
        std::vector<std::string> expected;
    };
    using namespace platform;
    const Case cases[] = {
        {kEvAll,
         0,
         {"Break", "Cts", "Dsr", "Error 8", "Ring", "Rlsd", "RxFlag", "TxEmpty", "ComStat 511 0"}},
        {kEvAll,
         5,
         {"Break", "Cts", "Dsr", "Error 8", "Ring", "Rlsd", "RxChar 5", "RxFlag", "TxEmpty",
          "ComStat 511 5"}},
        {kEvRxChar, 0, {"ComStat 1 0"}}, // no character waiting: no OnRxChar
        {kEvRxChar | kEvTxEmpty, 2, {"RxChar 2", "TxEmpty", "ComStat 5 2"}},
        {0, 0, {"ComStat 0 0"}},
    };
    for (const Case& c : cases) {
        order.clear();
        fake->comStat.cbInQue = c.inQueue;
        comm.HandleCommEvent(nullptr, c.mask);
        EXPECT_EQ(order, c.expected) << "mask " << c.mask;
    }
}

} // namespace
} // namespace zopra
