// The termios driver and the component over real pseudo-terminals: line settings read back,
// transfers, the queue counts, the refused modem lines, the open errors and the event wait.
#include "support/BoundedWait.h"
#include "support/ErrorOf.h"
#include "link/SerialComponent.h"
#include "platform/posix/SerialTermios.h"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace zopra {
namespace {

using testing::ErrorOf;
using testing::Eventually;
using testing::ReturnsInTime;
namespace pf = platform;

// A pseudo-terminal: the test holds the master, the component opens the slave path.
class Pty {
public:
    Pty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            return;
        slave_ = ptsname(master_);
        // Keep a slave open so that the master does not see a hang-up between opens.
        holder_ = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    }
    ~Pty() {
        CloseMaster();
        if (holder_ >= 0)
            close(holder_);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool Ok() const { return master_ >= 0 && holder_ >= 0 && !slave_.empty(); }
    const std::string& Slave() const { return slave_; }

    void Send(const std::string& bytes) {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Reads until count bytes came or the bound passed.
    std::string Receive(size_t count) {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + testing::kBound;
        while (got.size() < count && std::chrono::steady_clock::now() < end) {
            pollfd pfd{master_, POLLIN, 0};
            if (poll(&pfd, 1, 50) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = read(master_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0)
                break;
            got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }
    termios SlaveAttributes() const {
        termios tio{};
        tcgetattr(holder_, &tio);
        return tio;
    }
    void CloseMaster() {
        if (master_ >= 0)
            close(master_);
        master_ = -1;
    }
    void CloseHolder() {
        if (holder_ >= 0)
            close(holder_);
        holder_ = -1;
    }

private:
    int master_ = -1;
    int holder_ = -1;
    std::string slave_;
};

class PtyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.Ok()) << "no pseudo-terminal: " << strerror(errno);
        comm.SetDeviceName(pty.Slave());
        comm.SetBaudRate(br57600);
        comm.SetFlowControl(fcNone);
    }

    Pty pty;
    TComm comm;
};

TEST_F(PtyTest, OpenSetsTheLineTo57600EightNoneOne) {
    comm.Open();
    ASSERT_TRUE(comm.Enabled());
    const termios tio = pty.SlaveAttributes();
    EXPECT_EQ(cfgetospeed(&tio), B57600);
    EXPECT_EQ(cfgetispeed(&tio), B57600);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u) << "XON/XOFF or CR mapping left on";
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u) << "not raw";
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    const pf::SerialControlBlock& block = comm.DataControlBlock();
    EXPECT_EQ(block.baudRate, 57600u);
    EXPECT_EQ(block.byteSize, 8);
    EXPECT_EQ(block.xonLim, 1024);
}

struct LineCase {
    uint32_t rate;
    uint8_t byteSize, parity, stopBits;
    bool ctsFlow, xonXoff;
};

const LineCase kLineCases[] = {
    {57600, 8, pf::kNoParity, pf::kOneStopBit, false, false},
    {9600, 7, pf::kEvenParity, pf::kTwoStopBits, false, false},
    {115200, 8, pf::kOddParity, pf::kOneStopBit, true, false},
    {56000, 8, pf::kMarkParity, pf::kOneStopBit, false, true}, // no termios constant
    {256000, 6, pf::kSpaceParity, pf::kTwoStopBits, false, false},
    {110, 5, pf::kNoParity, pf::kOne5StopBits, false, false},
};

pf::SerialControlBlock BlockOf(const LineCase& c, pf::SerialControlBlock block) {
    block.baudRate = c.rate;
    block.byteSize = c.byteSize;
    block.parity = c.parity;
    block.stopBits = c.stopBits;
    block.fOutxCtsFlow = c.ctsFlow;
    block.fRtsControl = c.ctsFlow ? pf::kRtsControlHandshake : pf::kRtsControlEnable;
    block.fOutX = block.fInX = c.xonXoff;
    block.fParity = c.parity != pf::kNoParity;
    block.xonChar = 0x11;
    block.xoffChar = 0x13;
    block.xonLim = block.xoffLim = 1024;
    return block;
}

TEST(TermiosMapping, EveryLineSettingSurvivesTheRoundTrip) {
    for (const LineCase& c : kLineCases) {
        const pf::SerialControlBlock block = BlockOf(c, {});
        // Whatever the tty held before must not leak into the new settings.
        termios tio{};
        tio.c_iflag = ~tcflag_t{0};
        tio.c_lflag = ~tcflag_t{0};
        tio.c_oflag = ~tcflag_t{0};
        bool custom = false;
        ASSERT_EQ(pf::ControlBlockToTermios(block, tio, custom), 0) << c.rate;
        EXPECT_EQ(custom, c.rate == 56000 || c.rate == 256000) << c.rate;
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_NE(tio.c_cflag & CREAD, 0u);
        pf::SerialControlBlock back = block;
        back.baudRate = 0;
        pf::TermiosToControlBlock(tio, back);
        if (custom)
            back.baudRate = c.rate; // set through termios2, not in this record
        back.fBinary = false;
        EXPECT_EQ(back, block) << c.rate;
    }
    struct Bad {
        uint8_t byteSize, parity, stopBits;
        uint32_t rate;
    };
    for (const Bad& bad :
         {Bad{4, 0, 0, 9600}, Bad{8, 5, 0, 9600}, Bad{8, 0, 3, 9600}, Bad{8, 0, 0, 0}}) {
        pf::SerialControlBlock block;
        block.byteSize = bad.byteSize;
        block.parity = bad.parity;
        block.stopBits = bad.stopBits;
        block.baudRate = bad.rate;
        termios tio{};
        bool custom = false;
        EXPECT_EQ(pf::ControlBlockToTermios(block, tio, custom), EINVAL);
    }
}

TEST_F(PtyTest, LineSettingsReadBackFromTheDevice) {
    // A pty keeps eight data bits and no parity whatever it is told; rates, stop bits and
    // the handshakes it keeps.
    int error = 0;
    std::shared_ptr<pf::SerialPort> port = pf::SystemSerialDriver()->Open(pty.Slave(), error);
    ASSERT_TRUE(port) << error;
    for (const LineCase& c : kLineCases) {
        pf::SerialControlBlock block;
        ASSERT_EQ(port->GetState(block), 0);
        block = BlockOf(c, block);
        ASSERT_EQ(port->SetState(block), 0) << c.rate;
        pf::SerialControlBlock back;
        ASSERT_EQ(port->GetState(back), 0);
        EXPECT_EQ(back.baudRate, c.rate);
        EXPECT_EQ(back.stopBits, c.stopBits);
        EXPECT_EQ(back.fOutxCtsFlow, c.ctsFlow);
        EXPECT_EQ(back.fOutX, c.xonXoff);
        EXPECT_EQ(back.fInX, c.xonXoff);
        EXPECT_EQ(back.xonLim, 1024);
    }
}

TEST_F(PtyTest, WriteAndReadExactlyTheQueuedBytes) {
    comm.Open();
    EXPECT_EQ(comm.Write("\x1b.R4:", 5), 5);
    EXPECT_EQ(pty.Receive(5), "\x1b.R4:");

    pty.Send("Vantor,II\r");
    ASSERT_TRUE(Eventually([&] { return comm.InQueCount() == 10; }));
    EXPECT_EQ(comm.OutQueCount(), 0);
    char buffer[32] = {};
    EXPECT_EQ(comm.Read(buffer, 10), 10);
    EXPECT_EQ(std::string(buffer, 10), "Vantor,II\r");
    EXPECT_EQ(comm.InQueCount(), 0);
}

TEST_F(PtyTest, ReadOfMoreThanHasComeEndsAfterTheReadTimeout) {
    comm.SetReadTimeout(50);
    comm.Open();
    pty.Send("abc");
    ASSERT_TRUE(Eventually([&] { return comm.InQueCount() == 3; }));
    char buffer[16] = {};
    EXPECT_EQ(comm.Read(buffer, sizeof buffer), 3);
    EXPECT_EQ(comm.Read(buffer, sizeof buffer), 0);
}

TEST_F(PtyTest, PurgeInEmptiesTheInputQueue) {
    comm.Open();
    pty.Send("junk");
    ASSERT_TRUE(Eventually([&] { return comm.InQueCount() == 4; }));
    comm.PurgeIn();
    EXPECT_EQ(comm.InQueCount(), 0);
}

TEST_F(PtyTest, APtyRefusesTheModemLinesAndReadsAsConnected) {
    comm.Open();
    for (int n = 1; n <= 4; ++n)
        EXPECT_TRUE(comm.GetModemState(n)) << n;
    EXPECT_EQ(
        ErrorOf([&] { comm.SetDTRState(true); }).rfind("EscapeCommFunction failure (Error: ", 0),
        0u);
    EXPECT_FALSE(comm.GetComState(1));
}

TEST_F(PtyTest, OpenErrorsCarryTheSystemCode) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zopra-serial-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / "plain";
    std::ofstream(file) << "not a port";

    struct Case {
        std::string name;
        std::string raised;
    };
    const Case cases[] = {
        {"/dev/zopra-no-such-port", "Port not open (Error: 2)"},
        {file.string(), "Port not open (Error: " + std::to_string(ENOTTY) + ")"},
        {dir.string(), "Port not open (Error: " + std::to_string(EISDIR) + ")"},
    };
    for (const Case& c : cases) {
        TComm port;
        port.SetDeviceName(c.name);
        EXPECT_EQ(ErrorOf([&] { port.Open(); }), c.raised) << c.name;
        EXPECT_FALSE(port.Enabled());
    }
    std::filesystem::remove_all(dir);

    // A port is not shared, as on Windows.
    comm.Open();
    TComm second;
    second.SetDeviceName(pty.Slave());
    EXPECT_EQ(ErrorOf([&] { second.Open(); }),
              "Port not open (Error: " + std::to_string(EBUSY) + ")");
    comm.Close();
    EXPECT_EQ(ErrorOf([&] { second.Open(); }), "(no error)");
}

TEST_F(PtyTest, EventsArriveAndCloseEndsTheWaitAtOnce) {
    std::atomic<int> received{0};
    std::atomic<bool> closed{false};
    std::atomic<bool> lateHandler{false};
    comm.OnRxChar = [&](TThreadComm*, uint32_t count) {
        if (closed)
            lateHandler = true;
        received += static_cast<int>(count);
    };
    comm.Open();
    pty.Send("xyz");
    ASSERT_TRUE(Eventually([&] { return received.load() >= 3; }));
    char buffer[8];
    EXPECT_EQ(comm.Read(buffer, 3), 3);

    // The thread now waits in poll(); Close wakes it through the pipe.
    EXPECT_TRUE(ReturnsInTime([&] {
        comm.Close();
        closed = true;
    }));
    pty.Send("more");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(lateHandler.load());
}

TEST_F(PtyTest, AVanishedPeerDoesNotStopClose) {
    comm.Open();
    pty.CloseHolder();
    pty.CloseMaster(); // the cutter is gone: every wait now fails at once
    // A thread that spun on the failing wait would burn the whole pause in CPU time.
    const std::clock_t before = std::clock();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double cpuMs = 1000.0 * double(std::clock() - before) / CLOCKS_PER_SEC;
    EXPECT_LT(cpuMs, 150.0) << "the event thread spins on the hang-up";
    char buffer[4];
    EXPECT_LE(comm.Read(buffer, sizeof buffer), 0);
    EXPECT_TRUE(ReturnsInTime([&] { comm.Close(); }));
    EXPECT_FALSE(comm.Enabled());
}

} // namespace
} // namespace zopra
