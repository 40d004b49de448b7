#include "link/Connections.h"
#include "link/CutterSession.h"

#include "support/FakeSerialDriver.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <map>
#include <optional>

namespace zopra {
namespace {

namespace pf = zopra::platform;
using namespace std::chrono_literals;

// Printer-class interfaces by path; opening a path gives a handle on /dev/null unless
// the path is told to refuse its n-th open (with refuseError).
class FakePrinters final : public pf::PrinterClassDevices {
public:
    std::vector<std::string> paths;
    std::map<std::string, int> refuseOpenNumber; // 1-based count of opens to refuse
    int refuseError = EACCES;
    std::vector<std::string> opened;

    std::unique_ptr<pf::PrinterInterfaceList>
    PresentInterfaces(const pf::InterfaceClassGuid&) override {
        return std::make_unique<List>(paths);
    }
    pf::PrinterHandle Open(const std::string& name) override {
        opened.push_back(name);
        const int number = static_cast<int>(std::count(opened.begin(), opened.end(), name));
        if (refuseOpenNumber.count(name) && refuseOpenNumber[name] == number)
            return pf::PrinterHandle::Failed(refuseError);
        return pf::PrinterHandle(::open("/dev/null", O_RDWR | O_CLOEXEC));
    }

private:
    class List final : public pf::PrinterInterfaceList {
    public:
        explicit List(std::vector<std::string> paths) : paths_(std::move(paths)) {}
        pf::InterfaceQuery DevicePath(int index, std::string& path) override {
            if (index >= static_cast<int>(paths_.size()))
                return pf::InterfaceQuery::NoMoreItems;
            path = paths_[index];
            return pf::InterfaceQuery::Found;
        }
        std::optional<std::uint32_t> PortNumber(int) override { return std::nullopt; }

    private:
        std::vector<std::string> paths_;
    };
};

// Vendor-library devices present at some numbers; records every call.
class FakeUsbApi final : public pf::UsbApi {
public:
    std::vector<int> present;
    std::vector<std::string> calls;
    std::optional<std::int32_t> writeResult; // unset: every byte written

    std::int32_t UsbOpenDevice(std::int32_t index) override {
        calls.push_back("open " + std::to_string(index));
        const bool found = std::find(present.begin(), present.end(), index) != present.end();
        return found ? 100 + index : kNoDevice;
    }
    std::int32_t UsbCloseDevice(std::int32_t handle) override {
        calls.push_back("close " + std::to_string(handle));
        return 0;
    }
    std::int32_t UsbWrite(std::int32_t handle, const void*, std::int32_t count) override {
        calls.push_back("write " + std::to_string(handle) + " " + std::to_string(count));
        return writeResult.value_or(count);
    }
    std::int32_t UsbQueryInput(std::int32_t, std::int32_t*) override { return -1; }
    std::int32_t UsbRead(std::int32_t, void*, std::int32_t, std::int32_t*) override { return -1; }
};

struct ConnectionsTest : ::testing::Test {
    std::shared_ptr<FakePrinters> printers = std::make_shared<FakePrinters>();
    FakeUsbApi* usb = nullptr;
    std::shared_ptr<testing::FakeSerial> serial = std::make_shared<testing::FakeSerial>();
    std::vector<std::string> messages;
    std::unique_ptr<CutterConnections> links;

    void Make(std::vector<std::string> ports = {"COM3", "/dev/ttyS0"}) {
        auto api = std::make_unique<FakeUsbApi>();
        usb = api.get();
        links = std::make_unique<CutterConnections>(
            std::make_unique<CUsbIF>(printers), std::move(api),
            std::make_shared<testing::FakeSerialDriver>(serial), [ports] { return ports; });
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const ConnectionEntry& e :
             links->RefreshConnections([this](const std::string& m) { messages.push_back(m); }))
            texts.push_back(e.text);
        return texts;
    }
};

TEST_F(ConnectionsTest, ListsPrinterThenSerialThenVendorEntries) {
    printers->paths = {"\\\\?\\usb#vid_7a3c&pid_0001#1#{x}"};
    Make();
    usb->present = {0, 2};
    // The probe reads nothing from /dev/null: the entry is empty.
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{"", "COM3", "/dev/ttyS0", "QRM USB0", "QRM USB2"}));
    EXPECT_TRUE(messages.empty());
    // Each vendor device that opened is closed again.
    EXPECT_EQ(usb->calls, (std::vector<std::string>{"open 0", "close 100", "open 1", "open 2",
                                                    "close 102", "open 3"}));
}

TEST_F(ConnectionsTest, ARefusedDeviceKeepsLaterPositionsOnTheirDevices) {
    printers->paths = {"usb#vid_7a3c&pid_0001#a", "usb#vid_7a3c&pid_0001#b"};
    printers->refuseOpenNumber["usb#vid_7a3c&pid_0001#a"] = 1;
    Make({});
    EXPECT_EQ(Texts().size(), 1u);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].substr(0, 17), "Error Read Handle");
    EXPECT_EQ(messages[1].substr(0, 18), "Error Write Handle");

    EXPECT_EQ(links->ChooseLinkKind(0, ""), kLinkPrinterClass);
    printers->opened.clear();
    EXPECT_EQ(links->OpenConnection(0, ""), 1);
    EXPECT_EQ(printers->opened, (std::vector<std::string>{"usb#vid_7a3c&pid_0001#b"}));
}

// Only the cutter's vendor id, in any case, is opened and probed, once, by its bare path;
// another maker's printer is never opened (so never written to) nor listed, and a cutter in
// use elsewhere is passed over without a message.
TEST_F(ConnectionsTest, OnlyCuttersAreOpenedAndProbed) {
    struct Case {
        const char* path;
        bool busy;
        bool opened;
        bool listed;
    };
    const Case cases[] = {
        {"\\\\?\\usb#vid_04b8&pid_0005#office#{x}", false, false, false},
        {"\\\\?\\USB#VID_7A3C&PID_0001#upper#{x}", false, true, true},
        {"/dev/usb/lp2#vid_7a3c&pid_0002", false, true, true},
        {"/dev/usb/lp3", false, false, false},
        {"/dev/usb/lp4#vid_7a3d&pid_0001", false, false, false},
        {"\\\\?\\usb#vid_7a3c&pid_0003#busy#{x}", true, true, false},
    };
    std::vector<std::string> opens;
    std::size_t listed = 0;
    printers->refuseError = EBUSY;
    for (const Case& c : cases) {
        printers->paths.push_back(c.path);
        if (c.busy)
            printers->refuseOpenNumber[c.path] = 1;
        if (c.opened)
            opens.push_back(c.path);
        listed += c.listed ? 1 : 0;
    }
    Make({});
    EXPECT_EQ(Texts().size(), listed);
    EXPECT_EQ(printers->opened, opens);
    EXPECT_TRUE(messages.empty()) << messages.front();
}

TEST_F(ConnectionsTest, LinkKindFromPositionAndText) {
    printers->paths = {"usb#vid_7a3c&pid_0001#a"};
    Make();
    Texts();
    struct Case {
        int position;
        const char* text;
        LinkKind kind;
    };
    // Each case starts from the kind the one before left.
    const Case cases[] = {
        {-1, "COM3", kLinkSerial},
        {-1, "QRM USB2", kLinkVendorUsb},
        {-1, "anything", kLinkVendorUsb},
        {-1, "/dev/ttyUSB0", kLinkSerial},
        {0, "COM5 lookalike", kLinkPrinterClass},
        {-1, "typed", kLinkPrinterClass},
        {1, "COM3", kLinkSerial},
        // A typed port name in any case; a listed entry by its own kind, whatever its text.
        {-1, "QRM USB2", kLinkVendorUsb},
        {-1, "com7", kLinkSerial},
        {-1, "QRM USB2", kLinkVendorUsb},
        {2, "QRM USB lookalike", kLinkSerial},
        {-1, "QRM USB2", kLinkVendorUsb},
        {-1, "Com12", kLinkSerial},
    };
    for (const Case& c : cases)
        EXPECT_EQ(links->ChooseLinkKind(c.position, c.text), c.kind) << c.text;
}

TEST_F(ConnectionsTest, VendorEntryOpensItsOwnDeviceAndClosesTheOldOne) {
    Make({});
    usb->present = {0, 2};
    Texts();
    links->ChooseLinkKind(1, "QRM USB2");
    usb->calls.clear();
    EXPECT_EQ(links->OpenConnection(1, "QRM USB2"), 1);
    EXPECT_EQ(links->OpenConnection(-1, "QRM USB0"), 1);
    EXPECT_EQ(usb->calls, (std::vector<std::string>{"open 2", "close 102", "open 0"}));
    EXPECT_TRUE(links->WriteToLink("OH;"));
    EXPECT_EQ(usb->calls.back(), "write 100 3");
}

TEST_F(ConnectionsTest, SerialPortWithoutActiveModemLineIsClosedAndNothingSent) {
    serial->existing = {"/dev/ttyFAKE"};
    Make({"/dev/ttyFAKE"});
    Texts();
    links->ChooseLinkKind(0, "/dev/ttyFAKE");
    EXPECT_EQ(links->OpenConnection(0, "/dev/ttyFAKE"), 0);
    EXPECT_FALSE(links->Comm2().Enabled());
    EXPECT_FALSE(links->WriteToLink("OH;"));
    EXPECT_TRUE(serial->written.empty());
}

TEST_F(ConnectionsTest, SerialPortWithAnActiveLineOpensAt57600) {
    serial->existing = {"/dev/ttyFAKE"};
    serial->modemStatus = 0x10; // DSR
    Make({"/dev/ttyFAKE"});
    links->ChooseLinkKind(-1, "/dev/ttyFAKE");
    ASSERT_EQ(links->OpenConnection(-1, "/dev/ttyFAKE"), 1);
    EXPECT_TRUE(links->Comm2().Enabled());
    EXPECT_EQ(links->Comm2().DataControlBlock().baudRate, 57600u);
    EXPECT_TRUE(links->WriteToLink("OH;"));
    EXPECT_EQ(serial->written, "OH;");
}

// A vendor library whose read takes the count it is given as the number of bytes to read,
// as the real one may: it answers only a caller that hands UsbRead what UsbQueryInput left.
class CountAsInputUsbApi final : public pf::UsbApi {
public:
    std::string reply;

    std::int32_t UsbOpenDevice(std::int32_t index) override { return index == 0 ? 7 : kNoDevice; }
    std::int32_t UsbCloseDevice(std::int32_t) override { return 0; }
    std::int32_t UsbWrite(std::int32_t, const void* bytes, std::int32_t count) override {
        if (std::string(static_cast<const char*>(bytes), count) == "\x1b.R4:")
            reply = "R4,QRM-CT,Vantor II 24 PZ,V2.10,2023-11-08,14:05;";
        return count;
    }
    std::int32_t UsbQueryInput(std::int32_t, std::int32_t* count) override {
        if (reply.empty())
            return -1;
        *count = static_cast<std::int32_t>(reply.size());
        return 0;
    }
    std::int32_t UsbRead(std::int32_t, void* buffer, std::int32_t capacity,
                         std::int32_t* count) override {
        if (*count <= 0 || reply.empty())
            return -1;
        const auto n = static_cast<std::size_t>(std::min({*count, capacity}));
        reply.copy(static_cast<char*>(buffer), n);
        reply.erase(0, n);
        *count = static_cast<std::int32_t>(n);
        return 0;
    }
};

TEST(VendorLibraryLink, ReadGetsTheCountTheQueryLeft) {
    auto links = std::make_unique<CutterConnections>(
        std::make_unique<CUsbIF>(std::make_shared<FakePrinters>()),
        std::make_unique<CountAsInputUsbApi>(),
        std::make_shared<testing::FakeSerialDriver>(std::make_shared<testing::FakeSerial>()),
        [] { return std::vector<std::string>{}; });
    CutterSession session(std::move(links));
    session.Dispatcher().SetReplyBound(5s);
    ASSERT_EQ(session.Links().ChooseLinkKind(-1, "QRM USB0"), kLinkVendorUsb);
    ASSERT_EQ(session.Links().OpenConnection(-1, "QRM USB0"), 1);
    session.SendCommand(kCmdReadIdentity);
    session.SendCommand(kCmdNone); // waits for the reply to be read
    EXPECT_EQ(session.Record().Read().FModelName, "Vantor II 24 PZ");
    EXPECT_EQ(session.Record().FIdentityReady, 1);
}

TEST_F(ConnectionsTest, EntriesFoundElsewhereOpenTheirDevicesWithoutAProbe) {
    printers->paths = {"usb#vid_7a3c&pid_0001#a", "usb#vid_7a3c&pid_0001#b"};
    Make({});
    usb->present = {1};
    links->UseEntries({{"Vantor 52", kLinkPrinterClass, 1}, {"QRM USB1", kLinkVendorUsb, 1}});
    // Walking the table opens nothing and asks no vendor device.
    EXPECT_TRUE(printers->opened.empty());
    EXPECT_TRUE(usb->calls.empty());

    ASSERT_EQ(links->ChooseLinkKind(0, "Vantor 52"), kLinkPrinterClass);
    EXPECT_EQ(links->OpenConnection(0, "Vantor 52"), 1);
    EXPECT_EQ(printers->opened, (std::vector<std::string>{"usb#vid_7a3c&pid_0001#b"}));
    ASSERT_EQ(links->ChooseLinkKind(1, "QRM USB1"), kLinkVendorUsb);
    EXPECT_EQ(links->OpenConnection(1, "QRM USB1"), 1);
    EXPECT_EQ(usb->calls, (std::vector<std::string>{"open 1"}));
}

TEST_F(ConnectionsTest, WriteToLinkTellsWhetherEveryByteWentOutAndWhyNot) {
    serial->existing = {"/dev/ttyFAKE"};
    serial->modemStatus = 0x10;
    Make({"/dev/ttyFAKE"});
    usb->present = {0};
    Texts();
    const auto failure = [this](const std::string& bytes) {
        const LinkWriteResult result = links->WriteToLink(bytes);
        EXPECT_EQ(result.written, result.reason.empty()) << result.reason;
        return result.reason;
    };

    // Nothing opened yet on the printer class; then the serial port before and after opening.
    EXPECT_EQ(failure("OH;"), "No USB printer-class device is open.");
    links->ChooseLinkKind(-1, "/dev/ttyFAKE");
    EXPECT_EQ(failure("OH;"), "The serial port is not open.");
    ASSERT_EQ(links->OpenConnection(-1, "/dev/ttyFAKE"), 1);
    EXPECT_EQ(failure("OH;"), "");
    EXPECT_EQ(failure(""), "") << "a command without text writes zero bytes, all of them";
    serial->writePending = 1;
    // One byte moved, then the write failed (with an error that says nothing of the device
    // being gone, on either system).
    serial->writeWaitError = 13;
    EXPECT_EQ(failure("OH;"), "The serial port took 1 of 3 bytes.");

    links->ChooseLinkKind(-1, "QRM USB0");
    EXPECT_EQ(failure("OH;"), "No USB device is open.");
    ASSERT_EQ(links->OpenConnection(-1, "QRM USB0"), 1);
    EXPECT_EQ(failure("OH;"), "");
    usb->writeResult = -1;
    EXPECT_EQ(failure("OH;"), "The USB device refused the write.");
    usb->writeResult = 2;
    EXPECT_EQ(failure("OH;"), "The USB device took 2 of 3 bytes.");

    links->SetLinkKind(static_cast<LinkKind>(7));
    EXPECT_EQ(failure("OH;"), "No link is open.");
}

TEST(VendorDeviceNumber, FromListText) {
    EXPECT_EQ(VendorDeviceNumber("QRM USB3"), 3);
    EXPECT_EQ(VendorDeviceNumber("QRM USB"), 0);
    EXPECT_EQ(VendorDeviceNumber("x QRM USB12 y"), 12);
    EXPECT_EQ(VendorDeviceNumber("COM1"), 0);
}

} // namespace
} // namespace zopra
