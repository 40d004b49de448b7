// The hint line under the message of a device that would not open: the table of causes,
// and the three places where opening fails (a serial port, a printer-class device during
// discovery, a vendor-library device that is there but refused).
#include "link/OpenHint.h"
#include "link/Connections.h"

#include "support/FakeSerialDriver.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sys/file.h>
#include <unistd.h>

namespace zopra {
namespace {

namespace pf = zopra::platform;

struct HintCase {
    const char* name;
    int code; // errno of the failed open
    LinkKind kind;
    const char* group;               // the device node's group
    std::vector<const char*> saying; // what the hint must say; none: no hint
    std::vector<const char*> notSaying = {};
};

class OpenHintTable : public ::testing::TestWithParam<HintCase> {};

TEST_P(OpenHintTable, SaysWhatToDo) {
    const HintCase& c = GetParam();
    const std::string hint = OpenHint(pf::ClassifyOpenError(c.code), c.kind, c.group);
    if (c.saying.empty()) {
        EXPECT_EQ(hint, "");
    }
    for (const char* part : c.saying)
        EXPECT_NE(hint.find(part), std::string::npos) << "missing \"" << part << "\" in: " << hint;
    for (const char* part : c.notSaying)
        EXPECT_EQ(hint.find(part), std::string::npos)
            << "unexpected \"" << part << "\" in: " << hint;
    EXPECT_EQ(hint.find('\n'), std::string::npos) << "a hint is one line";
}

const std::string kRules = kUdevRulesPath;

INSTANTIATE_TEST_SUITE_P(
    Causes, OpenHintTable,
    ::testing::Values(
        HintCase{"SerialDenied",
                 EACCES,
                 kLinkSerial,
                 "dialout",
                 {"group dialout", "sudo usermod -aG dialout $USER", "log out"}},
        HintCase{"SerialDeniedOtherGroup",
                 EPERM,
                 kLinkSerial,
                 "uucp",
                 {"sudo usermod -aG uucp $USER"},
                 {"dialout"}},
        HintCase{
            "SerialDeniedRootGroup", EACCES, kLinkSerial, "root", {"administrator"}, {"usermod"}},
        HintCase{
            "SerialDeniedGroupUnknown", EACCES, kLinkSerial, "", {"administrator"}, {"usermod"}},
        HintCase{"PrinterDenied",
                 EACCES,
                 kLinkPrinterClass,
                 "lp",
                 {kRules.c_str(), "unplug the cutter and plug it in again"},
                 {"usermod"}},
        HintCase{"VendorDenied",
                 EACCES,
                 kLinkVendorUsb,
                 "",
                 {kRules.c_str(), "unplug the cutter and plug it in again"}},
        HintCase{"SerialBusy", EBUSY, kLinkSerial, "dialout", {"ModemManager"}, {"usermod"}},
        HintCase{"PrinterBusy", EBUSY, kLinkPrinterClass, "lp", {"spooler", "usblp"}},
        HintCase{"VendorBusy", EBUSY, kLinkVendorUsb, "", {"spooler"}, {"ModemManager"}},
        HintCase{"SerialMissing", ENOENT, kLinkSerial, "", {"No such port"}},
        HintCase{"UsbGone", ENODEV, kLinkVendorUsb, "", {"plugged in"}},
        HintCase{"OtherError", EIO, kLinkSerial, "dialout", {}},
        HintCase{"NoCode", 0, kLinkPrinterClass, "lp", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// On Windows no hint speaks of Linux's pieces, and each known cause says where to look.
TEST(OpenHint, WindowsHintsSpeakOfWindows) {
    using pf::OpenFailure;
    for (const OpenFailure cause :
         {OpenFailure::PermissionDenied, OpenFailure::Busy, OpenFailure::NotFound}) {
        for (const LinkKind kind : {kLinkSerial, kLinkPrinterClass, kLinkVendorUsb}) {
            const std::string hint = OpenHint(cause, kind, "dialout", pf::HostSystem::Windows);
            SCOPED_TRACE(hint);
            for (const char* word : {"udev", "usblp", "ModemManager", "CUPS", "usermod", "group"})
                EXPECT_EQ(hint.find(word), std::string::npos) << word;
            EXPECT_TRUE(hint.find("Device Manager") != std::string::npos ||
                        hint.find("Another program") != std::string::npos);
        }
    }
    EXPECT_EQ(OpenHint(OpenFailure::Unknown, kLinkSerial, "", pf::HostSystem::Windows), "");
}

TEST(OpenHint, TheMessageStaysFirstAndTheHintFollowsOnItsOwnLine) {
    EXPECT_EQ(WithOpenHint("Port not open (Error: 13)", "Do this."),
              "Port not open (Error: 13)\nDo this.");
    EXPECT_EQ(WithOpenHint("Error Read Handle", ""), "Error Read Handle");
    // -1 is the component's own code, not the system's: no hint.
    EXPECT_EQ(WithOpenHint("Port already assigned (open) (Error: -1)", -1, kLinkSerial, ""),
              "Port already assigned (open) (Error: -1)");
}

// --- where opening fails ----------------------------------------------------------------

class RefusingPrinters final : public pf::PrinterClassDevices {
public:
    int refuseWith = EACCES;
    std::unique_ptr<pf::PrinterInterfaceList>
    PresentInterfaces(const pf::InterfaceClassGuid&) override {
        return std::make_unique<OneDevice>();
    }
    pf::PrinterHandle Open(const std::string&) override {
        return pf::PrinterHandle::Failed(refuseWith);
    }

private:
    struct OneDevice final : pf::PrinterInterfaceList {
        pf::InterfaceQuery DevicePath(int index, std::string& path) override {
            if (index > 0)
                return pf::InterfaceQuery::NoMoreItems;
            path = "/dev/usb/lp0#vid_7a3c&pid_0001";
            return pf::InterfaceQuery::Found;
        }
        std::optional<std::uint32_t> PortNumber(int) override { return std::nullopt; }
    };
};

// A vendor library that finds a device at number 0 and cannot open it.
class RefusingUsbApi final : public pf::UsbApi {
public:
    int lastError = 0;
    std::int32_t UsbOpenDevice(std::int32_t index) override {
        lastError = index == 0 ? EACCES : 0;
        return kNoDevice;
    }
    std::int32_t UsbCloseDevice(std::int32_t) override { return 0; }
    std::int32_t UsbWrite(std::int32_t, const void*, std::int32_t) override { return -1; }
    std::int32_t UsbQueryInput(std::int32_t, std::int32_t*) override { return -1; }
    std::int32_t UsbRead(std::int32_t, void*, std::int32_t, std::int32_t*) override { return -1; }
    int LastOpenError() const override { return lastError; }
};

struct RefusedOpens : ::testing::Test {
    std::shared_ptr<RefusingPrinters> printers = std::make_shared<RefusingPrinters>();
    std::shared_ptr<testing::FakeSerial> serial = std::make_shared<testing::FakeSerial>();
    CutterConnections links{std::make_unique<CUsbIF>(printers), std::make_unique<RefusingUsbApi>(),
                            std::make_shared<testing::FakeSerialDriver>(serial),
                            [] { return std::vector<std::string>{}; }};
};

TEST_F(RefusedOpens, DiscoveryNamesTheCauseUnderEachMessage) {
    std::vector<std::string> messages;
    links.RefreshConnections([&](const std::string& m) { messages.push_back(m); });
    const std::string usbHint = OpenHint(pf::OpenFailure::PermissionDenied, kLinkPrinterClass, "");
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0], "Error Read Handle\n" + usbHint);
    EXPECT_EQ(messages[1], "Error Write Handle\n" + usbHint);
    EXPECT_EQ(messages[2], "Error Open QRM USB0\n" + usbHint);
    EXPECT_TRUE(links.Entries().empty());
}

TEST_F(RefusedOpens, ARefusedSerialPortNamesItsGroup) {
    // A real node, so that its group can be read: a file of ours has our own group.
    const auto node =
        std::filesystem::temp_directory_path() / ("zopra-hint-" + std::to_string(::getpid()));
    std::ofstream(node).put('x');
    const group* own = ::getgrgid(::getegid());
    ASSERT_NE(own, nullptr);
    serial->openError = EACCES;
    links.SetLinkKind(kLinkSerial);
    try {
        links.OpenConnection(-1, node.string());
        ADD_FAILURE() << "the refused port opened";
    } catch (const ECommError& error) {
        EXPECT_EQ(error.Code(), EACCES);
        EXPECT_EQ(std::string(error.what()),
                  "Port not open (Error: " + std::to_string(EACCES) + ")\n" +
                      OpenHint(pf::OpenFailure::PermissionDenied, kLinkSerial, own->gr_name));
    }
    std::filesystem::remove(node);
}

// The whole road on this system's own serial driver: a port that another program holds
// (here: this test, by the lock the driver takes) is refused as busy, and the hint says who
// usually holds a new port.
TEST(RefusedSystemPort, ABusyPortNamesModemManager) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string port = ::ptsname(master);
    const int holder = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);

    CutterConnections links;
    EXPECT_EQ(links.ChooseLinkKind(-1, port), kLinkSerial);
    std::string raised;
    try {
        links.OpenConnection(-1, port);
    } catch (const ECommError& error) {
        raised = error.what();
    }
    EXPECT_EQ(raised, "Port not open (Error: " + std::to_string(EBUSY) + ")\n" +
                          OpenHint(pf::OpenFailure::Busy, kLinkSerial, ""));
    ::close(holder);
    ::close(master);
}

} // namespace
} // namespace zopra
