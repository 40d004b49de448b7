// The Win32 serial driver and port list, run under Wine with a COM port that the leg's
// script maps to a pty served by a virtual cutter (its name in ZOPRA_WIN_COM).
//
// Wine on a pty refuses some calls that a real port accepts: WaitCommEvent fails at once
// (995), the modem-line calls fail (50), and a read on an empty queue may time out (1460).
// The tests accept either answer where Wine and Windows differ.
#include "link/SerialComponent.h"
#include "platform/SerialPortList.h"
#include "platform/win32/SerialRegistry.h"
#include "support/BoundedWait.h"
#include "support/ErrorOf.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace zopra {
namespace {

namespace pf = platform;

using testing::ErrorOf;

std::string MappedPort() {
    const char* name = std::getenv("ZOPRA_WIN_COM");
    return name != nullptr ? name : "";
}

#define REQUIRE_MAPPED_PORT()                                                                      \
    if (MappedPort().empty())                                                                      \
    GTEST_SKIP() << "ZOPRA_WIN_COM names no mapped port (run tests/win/run-windows-leg.sh)"

TEST(Win32PortList, ListsTheMappedPortFromTheRegistry) {
    REQUIRE_MAPPED_PORT();
    const std::vector<std::string> ports = pf::ListSerialPorts();
    EXPECT_NE(std::find(ports.begin(), ports.end(), MappedPort()), ports.end())
        << "registry lists " << ports.size() << " ports";
    for (const std::string& port : ports) {
        EXPECT_EQ(port.rfind("COM", 0), 0u) << port;
        EXPECT_EQ(port.find('\0'), std::string::npos);
    }
}

TEST(Win32PortList, LongNamesAndDataAreReadWhole) {
    // Longer than the 260-byte name and 440-byte data buffers a fixed size would give.
    const char* key = "Software\\ZopraTest\\SerialComm";
    const std::string longName = "\\Device\\" + std::string(300, 'n');
    const std::string longPort = "COM" + std::string(600, '7');
    HKEY created = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &created, nullptr),
              ERROR_SUCCESS);
    auto setText = [&](const std::string& name, const std::string& data) {
        return RegSetValueExA(created, name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(data.c_str()),
                              static_cast<DWORD>(data.size() + 1));
    };
    EXPECT_EQ(setText("\\Device\\Serial0", "COM3"), ERROR_SUCCESS);
    EXPECT_EQ(setText(longName, longPort), ERROR_SUCCESS);
    const DWORD number = 5;
    EXPECT_EQ(RegSetValueExA(created, "NotAPort", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&number), sizeof number),
              ERROR_SUCCESS);
    EXPECT_EQ(setText("\\Device\\Serial9", "COM10"), ERROR_SUCCESS);
    RegCloseKey(created);

    std::vector<std::string> ports = pf::ReadPortValues(HKEY_CURRENT_USER, key);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\ZopraTest");
    std::sort(ports.begin(), ports.end());
    EXPECT_EQ(ports, (std::vector<std::string>{"COM10", "COM3", longPort}));
    EXPECT_TRUE(pf::ReadPortValues(HKEY_CURRENT_USER, "Software\\ZopraTest\\None").empty());
}

TEST(Win32PortList, DeviceNameCarriesTheDevicePrefix) {
    EXPECT_EQ(pf::SerialDeviceName("COM12"), "\\\\.\\COM12");
    EXPECT_EQ(pf::SerialDeviceName("COM1"), "\\\\.\\COM1");
}

TEST(Win32Driver, OpenOfAMissingPortFailsWithErrorTwo) {
    int error = 0;
    EXPECT_EQ(pf::SystemSerialDriver()->Open("\\\\.\\COM97", error), nullptr);
    EXPECT_EQ(error, 2);
    TComm comm;
    comm.SetDeviceName("\\\\.\\COM97");
    EXPECT_EQ(ErrorOf([&] { comm.Open(); }), "Port not open (Error: 2)");
    EXPECT_FALSE(comm.Enabled());
}

// Neither a disk file nor a pipe is a port: each opens, has no communications properties,
// and is closed again with the system's reason (never "Error: 0").
TEST(Win32Driver, AFileOrAPipeIsNoPort) {
    const std::string file = "zopra-not-a-port.txt";
    std::ofstream(file) << "plain file";
    const std::string pipeName =
        "\\\\.\\pipe\\zopra-not-a-port-" + std::to_string(GetCurrentProcessId());
    const HANDLE pipe =
        CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                         PIPE_TYPE_BYTE | PIPE_WAIT, 4, 64, 64, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    for (const std::string& path : {file, pipeName}) {
        SCOPED_TRACE(path);
        int error = 0;
        std::shared_ptr<pf::SerialPort> port = pf::SystemSerialDriver()->Open(path, error);
        ASSERT_NE(port, nullptr) << error;
        int typeError = 0;
        EXPECT_FALSE(port->IsSerialPort(typeError));
        EXPECT_NE(typeError, 0);
        port.reset();

        TComm comm;
        comm.SetDeviceName(path);
        const std::string raised = ErrorOf([&] { comm.Open(); });
        EXPECT_EQ(raised.rfind("Port not open (Error: ", 0), 0u) << raised;
        EXPECT_EQ(raised.find("(Error: 0)"), std::string::npos) << raised;
        EXPECT_FALSE(comm.Enabled());
    }
    // The component closed the file again: it opens without sharing.
    int error = 0;
    EXPECT_NE(pf::SystemSerialDriver()->Open(file, error), nullptr) << error;
    CloseHandle(pipe);
    std::remove(file.c_str());
}

class Win32PortTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (MappedPort().empty())
            GTEST_SKIP() << "ZOPRA_WIN_COM names no mapped port";
        device = pf::SerialDeviceName(MappedPort());
    }
    std::string device;
};

TEST_F(Win32PortTest, OpenCloseAndAnExclusiveHandle) {
    int error = 0;
    std::shared_ptr<pf::SerialPort> port = pf::SystemSerialDriver()->Open(device, error);
    ASSERT_NE(port, nullptr) << error;
    int typeError = 0;
    EXPECT_TRUE(port->IsSerialPort(typeError)) << typeError;
    port.reset();
    // Closed: it opens again.
    port = pf::SystemSerialDriver()->Open(device, error);
    EXPECT_NE(port, nullptr) << error;
}

TEST_F(Win32PortTest, ControlBlockReadsBackAfterSetCommState) {
    TComm comm;
    comm.SetDeviceName(device);
    comm.SetBaudRate(br57600);
    comm.SetFlowControl(fcNone);
    comm.SetMonitorEvents(AllCommEvents);
    ASSERT_EQ(ErrorOf([&] { comm.Open(); }), "(no error)");
    // What went to SetCommState.
    const pf::SerialControlBlock& set = comm.DataControlBlock();
    EXPECT_EQ(set.baudRate, 57600u);
    EXPECT_EQ(set.byteSize, 8);
    EXPECT_EQ(set.xonLim, 1024);
    EXPECT_EQ(set.xoffLim, 1024);
    EXPECT_EQ(set.fDtrControl, pf::kDtrControlEnable);
    EXPECT_EQ(set.fRtsControl, pf::kRtsControlEnable);
    comm.Close();

    // What the component wrote is what the port now reports.
    int error = 0;
    std::shared_ptr<pf::SerialPort> port = pf::SystemSerialDriver()->Open(device, error);
    ASSERT_NE(port, nullptr) << error;
    pf::SerialControlBlock block;
    ASSERT_EQ(port->GetState(block), 0);
    EXPECT_EQ(block.baudRate, 57600u);
    EXPECT_EQ(block.byteSize, 8);
    EXPECT_EQ(block.parity, pf::kNoParity);
    EXPECT_EQ(block.stopBits, pf::kOneStopBit);
    // Windows keeps the limits the component set; Wine reports a constant 10 of its own.
    EXPECT_TRUE(block.xonLim == 1024 || block.xonLim == 10) << block.xonLim;
    EXPECT_TRUE(block.xoffLim == 1024 || block.xoffLim == 10) << block.xoffLim;
    EXPECT_EQ(block.fDtrControl, pf::kDtrControlEnable);
    EXPECT_EQ(block.fRtsControl, pf::kRtsControlEnable);
    EXPECT_FALSE(block.fOutxCtsFlow);
    EXPECT_FALSE(block.fOutX);
    EXPECT_FALSE(block.fInX);
}

TEST_F(Win32PortTest, OverlappedWriteAndAReadOfExactlyTheQueuedBytes) {
    TComm comm;
    comm.SetDeviceName(device);
    comm.SetBaudRate(br57600);
    comm.SetFlowControl(fcNone);
    ASSERT_EQ(ErrorOf([&] { comm.Open(); }), "(no error)");
    // A pty has no modem lines: Wine fails the query and the port reads as connected.
    EXPECT_TRUE(comm.GetModemState(2) || comm.GetModemState(1));

    char buffer[512] = {};
    // Nothing has come yet: a read of an empty queue gives no bytes (Wine times it out).
    EXPECT_EQ(comm.Read(buffer, 8), 0);

    EXPECT_EQ(comm.Write("\x1b.R4:", 5), 5);
    // The identity line ends in CR; collect it the way the receive thread does.
    std::string reply;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (reply.find('\r') == std::string::npos && std::chrono::steady_clock::now() < end) {
        const int queued = comm.InQueCount();
        ASSERT_GE(queued, 0);
        if (queued == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            continue;
        }
        const int n = std::min<int>(queued, sizeof buffer);
        ASSERT_EQ(comm.Read(buffer, static_cast<uint32_t>(n)), n);
        reply.append(buffer, static_cast<size_t>(n));
    }
    ASSERT_NE(reply.find('\r'), std::string::npos) << "no identity line: '" << reply << "'";
    // The leg's virtual cutter plays this model.
    EXPECT_NE(reply.find(",Vantor II 24 PZ,"), std::string::npos) << reply;
    EXPECT_EQ(comm.InQueCount(), 0);
    comm.Close();
    EXPECT_FALSE(comm.Enabled());
}

TEST_F(Win32PortTest, TheEventThreadSurvivesAFailingWaitAndCloseEndsIt) {
    int error = 0;
    {
        std::shared_ptr<pf::SerialPort> port = pf::SystemSerialDriver()->Open(device, error);
        ASSERT_NE(port, nullptr) << error;
        ASSERT_EQ(port->SetEventMask(pf::kEvRxChar), 0);
        // Windows waits; Wine on a pty fails at once with 995. Either way the waiter comes
        // back when woken.
        port->WakeEventWait();
        const pf::SerialWaitResult result = port->WaitEvent();
        EXPECT_TRUE(result.state == pf::SerialWait::Woken ||
                    (result.state == pf::SerialWait::Failed && result.error == 995))
            << result.error;
        uint32_t lines = 0;
        const int modem = port->GetModemStatus(lines);
        EXPECT_TRUE(modem == 0 || modem == 50) << modem;
    }
    TComm comm;
    comm.SetDeviceName(device);
    std::atomic<int> events{0};
    comm.OnComStatEvent = [&](TThreadComm*, uint32_t, TComStat) { ++events; };
    ASSERT_EQ(ErrorOf([&] { comm.Open(); }), "(no error)");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(testing::ReturnsInTime([&] { comm.Close(); }));
    EXPECT_FALSE(comm.Enabled());
}

} // namespace
} // namespace zopra
