// The program's Linux device code, unchanged, against the kernel's view of a cutter as
// umockdev emulates it: sysfs discovery of usblp nodes and serial ports, the usblp node,
// libusb over usbfs, the open hints, and a cutter unplugged in the middle of a series. Each
// case drives the command line's workflows (the window's, without the window) in this
// process, so that every open, read and ioctl goes through umockdev's preload library.
#include "EmulatedCutter.h"
#include "KernelTestbed.h"

#include "cli/Workflows.h"
#include "settings/Doctor.h"
#include "support/UsbTestSupport.h"

#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include "platform/posix/AccountNames.h"

namespace zopra::test {

const char* NameOf(CutterKind kind) {
    switch (kind) {
    case CutterKind::Printer:
        return "Printer";
    case CutterKind::Vendor:
        return "Vendor";
    case CutterKind::Serial:
        break;
    }
    return "Serial";
}

// Beside the type, where GoogleTest looks for it.
void PrintTo(CutterKind kind, std::ostream* out) {
    *out << NameOf(kind);
}

namespace {

namespace fs = std::filesystem;
using Workflow = std::function<void(std::ostream& out, std::ostream& err)>;

struct CliRun {
    std::string out;
    std::string err;
    std::string failure; // what the command ended with; "" when it was done
};

CliRun RunCli(const Workflow& workflow) {
    CliRun run;
    std::ostringstream out, err;
    try {
        workflow(out, err);
    } catch (const std::exception& error) {
        run.failure = error.what();
    }
    run.out = out.str();
    run.err = err.str();
    return run;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class KernelDevices : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PreloadActive())
            GTEST_SKIP() << "umockdev's preload library (package umockdev) is not loaded, so "
                            "no kernel device can be emulated here";
        testbed_ = std::make_unique<KernelTestbed>();
    }

    EmulatedCutter Cutter(CutterKind kind) {
        return EmulatedCutter(*testbed_, kind, cutters_.Path() / "announced");
    }

    CliRun List() {
        return RunCli(
            [&](std::ostream& out, std::ostream& err) { cli::RunList(options_, out, err); });
    }
    CliRun Read(const std::string& device) {
        return RunCli([&](std::ostream& out, std::ostream& err) {
            cli::RunRead(device, options_, out, err);
        });
    }

    // Nothing announced: the program finds the cutters through the emulated kernel only.
    PrivateRuntimeDir runtime_;
    ScratchDir cutters_;
    std::unique_ptr<KernelTestbed> testbed_;
    cli::Options options_;
};

TEST_F(KernelDevices, PrinterClassCutterIsListedByItsModelConnectedAndRead) {
    EmulatedCutter cutter = Cutter(CutterKind::Printer);
    cutter.Plug();

    const CliRun list = List();
    EXPECT_EQ(list.out, "0  Vantor II 24 PZ (/dev/usb/lp0)\n") << list.err;
    const CliRun read = Read("Vantor II 24 PZ");
    EXPECT_EQ(read.failure, "");
    EXPECT_TRUE(Has(read.out, "Vantor II 24 PZ")) << read.out;
    EXPECT_TRUE(Has(read.out, "120")) << read.out; // the cutter's blade force
    // Each discovery probed the node once; the read asked its queries after it.
    const auto commands = cutter.Cutter().Commands();
    ASSERT_GE(commands.size(), 3u);
    EXPECT_EQ(commands[0], "\x1b.R4:");
    EXPECT_EQ(commands[1], "\x1b.R4:");
    EXPECT_EQ(commands[2], "OH;");
}

TEST_F(KernelDevices, VendorCutterIsListedReadAndUpdatedOverBulkTransfers) {
    EmulatedCutter cutter = Cutter(CutterKind::Vendor);
    cutter.Plug();

    const CliRun list = List();
    EXPECT_EQ(list.out, "0  QRM USB0\n") << list.err;
    const CliRun set = RunCli([&](std::ostream& out, std::ostream& err) {
        cli::RunSet("QRM USB0", {"force=150", "quality=draft"}, options_, out, err);
    });
    EXPECT_EQ(set.failure, "") << set.err;
    EXPECT_EQ(cutter.Cutter().State().force, 150);
    EXPECT_EQ(cutter.Cutter().State().vectorQuality, 3);
    // Every write went out as one bulk OUT transfer and reached the cutter as one command,
    // the update's nine among them.
    const std::vector<std::string> writes = cutter.Bridge()->BulkWrites();
    EXPECT_EQ(writes, cutter.Cutter().Commands());
    EXPECT_NE(std::find(writes.begin(), writes.end(), "\x1b.C1;22;150:"), writes.end());
}

TEST_F(KernelDevices, UsbSerialAdapterIsListedReadAndShownByTheDoctor) {
    EmulatedCutter cutter = Cutter(CutterKind::Serial);
    cutter.Plug();

    const CliRun list = List();
    EXPECT_EQ(list.out, "0  /dev/ttyUSB0\n") << list.err;
    const CliRun read = Read("/dev/ttyUSB0");
    EXPECT_EQ(read.failure, "");
    EXPECT_TRUE(Has(read.out, "Vantor II 24 PZ")) << read.out;

    struct stat node {};
    ASSERT_EQ(::stat(cutter.NodeTarget().c_str(), &node), 0);
    std::ostringstream doctor;
    doctor << settings::DoctorText(settings::RunDoctor());
    // A node of this user's own shows "you": the findings go into reports that name no user.
    const std::string owner = platform::ShownOwner(node.st_uid, ::geteuid()) + ":" +
                              platform::ShownGroup(node.st_gid, ::getegid());
    EXPECT_TRUE(Has(doctor.str(), "/dev/ttyUSB0  driver ftdi_sio  " + owner)) << doctor.str();
    EXPECT_TRUE(Has(doctor.str(), "can open")) << doctor.str();
}

// --- refused opens ------------------------------------------------------------------------

enum class Refusal { PermissionDenied, Busy };

struct RefusalCase {
    const char* name;
    CutterKind kind;
    Refusal refusal;
    std::vector<std::string> lines; // what the user is told; none: not listed, nothing said
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.name;
}

class RefusedOpen : public KernelDevices, public ::testing::WithParamInterface<RefusalCase> {};

// Holds a terminal in exclusive mode, as a program that took the device does: every
// further open fails with EBUSY, as usblp refuses a second open of its node.
class ExclusiveHolder {
public:
    explicit ExclusiveHolder(const fs::path& tty)
        : FFd(::open(tty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~ExclusiveHolder() {
        if (FFd >= 0)
            ::close(FFd);
    }
    // Straight to the kernel: umockdev's preload library would answer it for a /dev node.
    bool Exclusive() const { return FFd >= 0 && ::syscall(SYS_ioctl, FFd, TIOCEXCL) == 0; }

private:
    int FFd;
};

TEST_P(RefusedOpen, GivesTheSystemErrorAndWhatToDo) {
    const RefusalCase& c = GetParam();
    EmulatedCutter cutter = Cutter(c.kind);
    cutter.Plug();
    std::optional<ExclusiveHolder> holder;
    if (c.refusal == Refusal::PermissionDenied) {
        fs::permissions(cutter.NodeTarget(), fs::perms::none);
    } else if (c.kind == CutterKind::Vendor) {
        cutter.Bridge()->RefuseClaim(true);
    } else {
        holder.emplace(cutter.NodeTarget());
        ASSERT_TRUE(holder->Exclusive());
    }

    // A serial port is listed whatever its mode; the refusal comes when it is opened.
    const CliRun run = c.kind == CutterKind::Serial ? Read("/dev/ttyUSB0") : List();
    const std::string told = run.err + run.failure;
    for (const std::string& line : c.lines)
        EXPECT_TRUE(Has(told, line)) << "missing: " << line << "\nin:\n" << told;
    if (c.lines.empty()) {
        EXPECT_EQ(told, "");
        EXPECT_FALSE(Has(run.out, "Vantor II 24 PZ")) << run.out;
    }
    EXPECT_TRUE(cutter.Cutter().Commands().empty());
}

const RefusalCase kRefusals[] = {
    {"PrinterPermission",
     CutterKind::Printer,
     Refusal::PermissionDenied,
     {"Error Read Handle\n", "Error Write Handle\n",
      "Your user may not open this USB device. Install zopra's udev rules"}},
    // A printer-class cutter that another program holds is passed over while the list is
    // made (no probe is written into someone else's job): not listed, no box each time.
    {"PrinterBusy", CutterKind::Printer, Refusal::Busy, {}},
    {"VendorPermission",
     CutterKind::Vendor,
     Refusal::PermissionDenied,
     {"Error Open QRM USB0\n", "Your user may not open this USB device. Install zopra's udev"}},
    {"VendorBusy",
     CutterKind::Vendor,
     Refusal::Busy,
     {"Error Open QRM USB0\n", "Another program holds this USB device"}},
    {"SerialPermission",
     CutterKind::Serial,
     Refusal::PermissionDenied,
     {"(Error: 13)", "Your user may not open this port"}},
    {"SerialBusy",
     CutterKind::Serial,
     Refusal::Busy,
     {"(Error: 16)", "The port is in use by another program"}},
};

INSTANTIATE_TEST_SUITE_P(EachKind, RefusedOpen, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

// --- unplugged in the middle of a series ----------------------------------------------------

class Unplugged : public KernelDevices, public ::testing::WithParamInterface<CutterKind> {};

TEST_P(Unplugged, EndsTheSeriesAsLostAndConnectsOnceItIsBack) {
    const std::string device = GetParam() == CutterKind::Printer  ? "Vantor II 24 PZ"
                               : GetParam() == CutterKind::Vendor ? "QRM USB0"
                                                                  : "/dev/ttyUSB0";
    EmulatedCutter cutter = Cutter(GetParam());
    vc::Faults pulled;
    pulled.vanishAfter = 3; // the cable goes with the third command of the read
    cutter.Plug(pulled);

    const CliRun lost = Read(device);
    EXPECT_EQ(lost.failure, "The connection to the machine was lost.") << lost.err;
    ASSERT_TRUE(cutter.Cutter().Vanished());

    cutter.Unplug();
    cutter.Plug();
    const CliRun back = Read(device);
    EXPECT_EQ(back.failure, "") << back.err;
    EXPECT_TRUE(Has(back.out, "Vantor II 24 PZ")) << back.out;
}

INSTANTIATE_TEST_SUITE_P(EachKind, Unplugged,
                         ::testing::Values(CutterKind::Printer, CutterKind::Vendor,
                                           CutterKind::Serial),
                         [](const auto& info) { return std::string(NameOf(info.param)); });

} // namespace
} // namespace zopra::test
