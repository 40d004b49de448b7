// The doctor over a made-up sysfs tree and made-up device nodes in a folder of the
// test's own: which nodes it finds, what it says of each, the advice where a node cannot be
// opened, the udev rules, and the exit status. The doctor runs in a child process that is
// not root (root opens any node), so that a node of mode 0000 is refused as it is to a user.
#include "settings/Doctor.h"

#include "support/FakeSerialDriver.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

namespace zopra::settings {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text << "\n";
}

void Node(const fs::path& file, fs::perms mode) {
    Write(file, "");
    fs::permissions(file, mode);
}

void LinkTo(const fs::path& link, const fs::path& target) {
    fs::create_directories(target);
    fs::create_directories(link.parent_path());
    fs::create_directory_symlink(target, link);
}

// A USB device directory as sysfs shows it, with interface 1.0 bound to `driver` ("" none).
void UsbDevice(const fs::path& sys, const std::string& name, const char* vendor, int devnum,
               const std::string& driver) {
    const fs::path dir = sys / "bus/usb/devices" / name;
    Write(dir / "idVendor", vendor);
    Write(dir / "idProduct", "0001");
    Write(dir / "busnum", "1");
    Write(dir / "devnum", std::to_string(devnum));
    const fs::path interface = dir / (name + ":1.0");
    fs::create_directories(interface);
    if (!driver.empty())
        LinkTo(interface / "driver", sys / "bus/usb/drivers" / driver);
    if (driver == "usblp")
        fs::create_directories(interface / "usbmisc/lp0");
}

struct DoctorRun {
    int status = -1;
    std::string out;
};

// RunDoctor in a child that has given up root, if the test runs as root; bounded.
DoctorRun RunUnprivileged(const DoctorRoots& roots) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
             ::setresuid(65534, 65534, 65534) != 0))
            ::_exit(99);
        const DoctorFindings findings = RunDoctor(roots);
        const int status = findings.cutterBlocked ? 1 : 0;
        const std::string text = DoctorText(findings);
        const ssize_t written = ::write(pipeFds[1], text.data(), text.size());
        ::_exit(written == static_cast<ssize_t>(text.size()) ? status : 98);
    }
    ::close(pipeFds[1]);
    DoctorRun run;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (char buffer[4096];;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd entry{pipeFds[0], POLLIN, 0};
        if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0)
            break;
        const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        run.out.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeFds[0]);
    ::kill(child, SIGKILL); // already ended, unless it overran the bound
    int wstatus = 0;
    ::waitpid(child, &wstatus, 0);
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    return run;
}

enum class Rules { Installed, Missing, Masked };

struct DoctorCase {
    const char* name;
    bool refusedPrinter; // the second cutter (on usblp) is there, its nodes of mode 0000
    Rules rules;
    int exitStatus;                  // 1 when a cutter is blocked
    std::vector<std::string> lines;  // each must be in the report ({dev} stands for /dev)
    std::vector<std::string> absent; // none of these may be
};

void PrintTo(const DoctorCase& c, std::ostream* out) {
    *out << c.name;
}

class Doctor : public ::testing::TestWithParam<DoctorCase> {
protected:
    void SetUp() override {
        // The child that is not root must read the tree, whatever umask the test runs under.
        previousMask_ = ::umask(022);
        char pattern[] = "/tmp/zopra-doctor-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        // The child that is not root must reach the nodes.
        fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
    }
    void TearDown() override {
        fs::remove_all(root_);
        ::umask(previousMask_);
    }

    fs::path root_;
    mode_t previousMask_ = 022;
};

std::string Expand(std::string text, const std::string& dev) {
    for (auto at = text.find("{dev}"); at != std::string::npos; at = text.find("{dev}"))
        text.replace(at, 5, dev);
    return text;
}

TEST_P(Doctor, SaysWhoMayOpenEachNode) {
    const DoctorCase& c = GetParam();
    const fs::path sys = root_ / "sys", dev = root_ / "dev";
    const auto anyone = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                        fs::perms::group_write | fs::perms::others_read | fs::perms::others_write;

    // A USB serial adapter, and a built-in UART that is not there (type 0: not listed).
    LinkTo(sys / "class/tty/ttyUSB0/device", sys / "devices/usbserial");
    LinkTo(sys / "devices/usbserial/driver", sys / "bus/usb-serial/drivers/ftdi_sio");
    Node(dev / "ttyUSB0", anyone);
    fs::create_directories(sys / "devices/platform/serial8250");
    LinkTo(sys / "class/tty/ttyS0/device", sys / "devices/platform/serial8250/tty");
    Write(sys / "class/tty/ttyS0/type", "0");
    // The cutter on the vendor library, open to anyone; a mouse of another vendor.
    UsbDevice(sys, "1-2", "7a3c", 4, "");
    Node(dev / "bus/usb/001/004", anyone);
    UsbDevice(sys, "1-1", "046d", 3, "usbhid");
    Node(dev / "bus/usb/001/003", anyone);
    if (c.refusedPrinter) {
        UsbDevice(sys, "1-3", "7a3c", 5, "usblp");
        Node(dev / "bus/usb/001/005", fs::perms::none);
        Node(dev / "usb/lp0", fs::perms::none);
    }
    const fs::path etcRules = root_ / "etc-rules", libRules = root_ / "lib-rules";
    fs::create_directories(etcRules);
    if (c.rules == Rules::Installed)
        Write(libRules / "70-zopra.rules",
              "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"7a3c\", TAG+=\"uaccess\"");
    if (c.rules == Rules::Masked) {
        Write(libRules / "70-zopra.rules",
              "SUBSYSTEM==\"usb\", ATTR{idVendor}==\"7a3c\", TAG+=\"uaccess\"");
        Write(etcRules / "70-zopra.rules", "");
    }

    // The serial port opens as Connect opens it, on a driver that says a cutter is there.
    auto serial = std::make_shared<testing::FakeSerial>();
    serial->existing = {(dev / "ttyUSB0").string()};
    serial->modemStatus = platform::kMsDsrOn;
    DoctorRoots roots;
    roots.Devices = {sys, dev};
    roots.RulesFolders = {etcRules, libRules};
    roots.ListSerialPorts = [] { return std::vector<std::string>{}; };
    roots.SerialDriver = std::make_shared<testing::FakeSerialDriver>(serial);
    const DoctorRun run = RunUnprivileged(roots);
    ASSERT_NE(run.status, 99) << "could not give up root";
    EXPECT_EQ(run.status, c.exitStatus) << run.out;
    for (const std::string& line : c.lines)
        EXPECT_NE(run.out.find(Expand(line, dev.string())), std::string::npos)
            << "missing: " << Expand(line, dev.string()) << "\nin:\n"
            << run.out;
    for (const std::string& line : c.absent)
        EXPECT_EQ(run.out.find(Expand(line, dev.string())), std::string::npos)
            << "unexpected: " << Expand(line, dev.string()) << "\nin:\n"
            << run.out;
}

const DoctorCase kCases[] = {
    {"OneCutterOpensTheOtherIsRefused",
     true,
     Rules::Installed,
     1,
     {"Serial ports:\n  {dev}/ttyUSB0  driver ftdi_sio  ",
      "0666  can open\nThe cutter maker's USB devices:\n  {dev}/bus/usb/001/004  driver none ",
      // The usbfs node of the printer-class cutter, then its usblp node, each with advice.
      "{dev}/bus/usb/001/005  driver usblp  ",
      "0000  cannot open: Permission denied\n    Your user may not open this USB device. "
      "Install zopra's udev rules",
      "{dev}/usb/lp0          driver usblp  ", "udev rules: installed ("},
     {"ttyS0", "001/003", "usbhid"}},
    {"EveryCutterOpensWithoutRules",
     false,
     Rules::Missing,
     0,
     {"{dev}/bus/usb/001/004  driver none  ", "can open\nudev rules: not installed"},
     {"cannot open", "lp0"}},
    {"AnEmptiedRulesFileMasksThePackagesFile",
     true,
     Rules::Masked,
     1,
     {"etc-rules/70-zopra.rules is there but gives no access to the cutter maker's USB devices"},
     {"udev rules: installed"}},
};

INSTANTIATE_TEST_SUITE_P(Table, Doctor, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zopra::settings
