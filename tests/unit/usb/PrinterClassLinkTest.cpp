// CUsbIF over a made-up sysfs tree (the Linux listing) and over a scripted device list
// (the walk's rules where the system answers as Windows does).
#include "link/PrinterClassLink.h"
#include "platform/posix/PrinterClassSysfs.h"

#include "support/UsbTestSupport.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace zopra {
namespace {

namespace fs = std::filesystem;
using platform::InterfaceQuery;

// --- a made-up sysfs tree ---------------------------------------------------------------

struct UsbIdTexts {
    std::string Vendor;  // as sysfs shows idVendor, e.g. "7a3c"
    std::string Product; // idProduct
};

// Lays out usblp interfaces as the kernel does: the class entry is a symlink into the
// device tree, /sys/devices/.../usb1/1-N/1-N:1.0/usbmisc/lpN, and the USB device 1-N above
// the interface holds idVendor and idProduct. The device node is a plain file.
class SysfsTree {
public:
    SysfsTree() {
        fs::create_directories(Sysfs() / "class");
        fs::create_directories(Dev() / "usb");
    }

    fs::path Sysfs() const { return FScratch.Path() / "sys"; }
    fs::path Dev() const { return FScratch.Path() / "dev"; }

    void CreateClassFolder() { fs::create_directories(Sysfs() / "class" / "usbmisc"); }

    // `ids` empty: an interface whose USB device is not found above it.
    void AddPrinter(int number, const std::optional<UsbIdTexts>& ids) {
        CreateClassFolder();
        const std::string port = "1-" + std::to_string(number + 1);
        const fs::path device = Sysfs() / "devices" / "pci0000:00" / "usb1" / port;
        const fs::path node = device / (port + ":1.0") / "usbmisc" / Lp(number);
        fs::create_directories(node);
        if (ids) {
            Write(device / "idVendor", ids->Vendor + "\n");
            Write(device / "idProduct", ids->Product + "\n");
        } else {
            fs::remove(device / "idVendor");
            fs::remove(device / "idProduct");
        }
        const fs::path link = Sysfs() / "class" / "usbmisc" / Lp(number);
        if (!fs::is_symlink(link))
            fs::create_symlink(node, link);
        Write(Dev() / "usb" / Lp(number), "");
    }

    std::string NodePath(int number) const { return (Dev() / "usb" / Lp(number)).string(); }

    std::shared_ptr<platform::PrinterClassDevices> Devices() const {
        return platform::MakeSysfsPrinterClassDevices({Sysfs(), Dev()});
    }

private:
    static std::string Lp(int number) { return "lp" + std::to_string(number); }
    static void Write(const fs::path& file, const std::string& text) {
        std::ofstream(file) << text;
    }

    test::ScratchDir FScratch;
};

class EnumerateOverSysfs : public ::testing::Test {
protected:
    test::PrivateRuntimeDir FRuntime; // no virtual cutter of the machine joins the list
    SysfsTree FTree;
};

TEST_F(EnumerateOverSysfs, NoInterfacesGiveCountZeroAndNothingOpens) {
    const std::vector<std::pair<const char*, std::function<void(SysfsTree&)>>> cases = {
        {"no usbmisc class (usblp not loaded)", [](SysfsTree&) {}},
        {"empty usbmisc class", [](SysfsTree& tree) { tree.CreateClassFolder(); }},
        {"only other usbmisc devices",
         [](SysfsTree& tree) {
             tree.CreateClassFolder();
             fs::create_directories(tree.Sysfs() / "class" / "usbmisc" / "hiddev0");
         }},
    };
    for (const auto& [name, prepare] : cases) {
        SCOPED_TRACE(name);
        SysfsTree tree;
        prepare(tree);
        CUsbIF usb(tree.Devices());
        EXPECT_EQ(usb.EnumerateDevices(), 0);
        EXPECT_EQ(usb.Count(), 0);
        EXPECT_EQ(usb.DevicePath(0), "");
        EXPECT_FALSE(usb.OpenDevicePath(0, "").Valid());
    }
}

TEST_F(EnumerateOverSysfs, EverySlotHoldsItsPathAndOnlyTheCutterGetsAProductId) {
    struct Case {
        std::optional<UsbIdTexts> Ids;
        std::string PathEnd; // after the node
        std::string ProductId;
    };
    const std::vector<Case> cases = {
        {UsbIdTexts{"7a3c", "0001"}, "#vid_7a3c&pid_0001", "0001"},
        {UsbIdTexts{"04b8", "0005"}, "#vid_04b8&pid_0005", ""},     // another maker's printer
        {std::nullopt, "", ""},                                     // no "vid" at all
        {UsbIdTexts{"7A3C", "00AB"}, "#vid_7a3c&pid_00ab", "00ab"}, // written lower-case
        {UsbIdTexts{"7a3c", "1f2e"}, "#vid_7a3c&pid_1f2e", "1f2e"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        FTree.AddPrinter(static_cast<int>(i), cases[i].Ids);

    CUsbIF usb(FTree.Devices());
    ASSERT_EQ(usb.EnumerateDevices(), static_cast<int>(cases.size()));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        const int slot = static_cast<int>(i);
        EXPECT_EQ(usb.DevicePath(slot), FTree.NodePath(slot) + cases[i].PathEnd);
        EXPECT_EQ(usb.ProductId(slot), cases[i].ProductId);
        // Linux has no "Port Number"; an unreadable value leaves port 0.
        EXPECT_EQ(usb.PortNumber(slot), 0);
    }
}

TEST_F(EnumerateOverSysfs, InterfacesAreNumberedInNodeOrder) {
    // Directory order is arbitrary; lp10 must come after lp2.
    for (int number : {10, 2, 0})
        FTree.AddPrinter(number, UsbIdTexts{"7a3c", "000" + std::to_string(number % 10)});
    CUsbIF usb(FTree.Devices());
    ASSERT_EQ(usb.EnumerateDevices(), 3);
    EXPECT_EQ(platform::DeviceNodeOfPath(usb.DevicePath(0)), FTree.NodePath(0));
    EXPECT_EQ(platform::DeviceNodeOfPath(usb.DevicePath(1)), FTree.NodePath(2));
    EXPECT_EQ(platform::DeviceNodeOfPath(usb.DevicePath(2)), FTree.NodePath(10));
}

TEST_F(EnumerateOverSysfs, AnInterfaceOfAnotherVendorKeepsTheEarlierProductId) {
    FTree.AddPrinter(0, UsbIdTexts{"7a3c", "0042"});
    CUsbIF usb(FTree.Devices());
    ASSERT_EQ(usb.EnumerateDevices(), 1);
    ASSERT_EQ(usb.ProductId(0), "0042");

    // The cutter is unplugged and another maker's printer takes its place.
    FTree.AddPrinter(0, UsbIdTexts{"04b8", "0005"});
    ASSERT_EQ(usb.EnumerateDevices(), 1);
    EXPECT_EQ(usb.DevicePath(0), FTree.NodePath(0) + "#vid_04b8&pid_0005");
    EXPECT_EQ(usb.ProductId(0), "0042");
}

TEST_F(EnumerateOverSysfs, TwoEnumerationsInARowAgree) {
    FTree.AddPrinter(0, UsbIdTexts{"7a3c", "0001"});
    FTree.AddPrinter(1, std::nullopt);
    FTree.AddPrinter(2, UsbIdTexts{"7a3c", "0002"});
    CUsbIF usb(FTree.Devices());
    const int first = usb.EnumerateDevices();
    std::vector<std::string> paths, ids;
    for (int slot = 0; slot < first; ++slot) {
        paths.emplace_back(usb.DevicePath(slot));
        ids.emplace_back(usb.ProductId(slot));
    }
    ASSERT_EQ(first, 3);
    EXPECT_EQ(usb.EnumerateDevices(), first);
    for (int slot = 0; slot < first; ++slot) {
        EXPECT_EQ(usb.DevicePath(slot), paths[static_cast<std::size_t>(slot)]);
        EXPECT_EQ(usb.ProductId(slot), ids[static_cast<std::size_t>(slot)]);
    }
}

TEST_F(EnumerateOverSysfs, MoreThan32InterfacesCapAt32) {
    for (int number = 0; number < 40; ++number)
        FTree.AddPrinter(number, UsbIdTexts{"7a3c", "0001"});
    CUsbIF usb(FTree.Devices());
    EXPECT_EQ(usb.EnumerateDevices(), 32);
    EXPECT_EQ(usb.Count(), 32);
    EXPECT_EQ(platform::DeviceNodeOfPath(usb.DevicePath(31)), FTree.NodePath(31));
    EXPECT_EQ(usb.DevicePath(32), "");
}

TEST_F(EnumerateOverSysfs, OnlyTheCuttersNodeOpens) {
    FTree.AddPrinter(0, UsbIdTexts{"7a3c", "0001"});
    FTree.AddPrinter(1, std::nullopt);
    FTree.AddPrinter(2, UsbIdTexts{"04b8", "0005"});
    CUsbIF usb(FTree.Devices());
    ASSERT_EQ(usb.EnumerateDevices(), 3);
    auto read = usb.OpenDevicePath(0, std::nullopt);
    auto write = usb.OpenDevicePath(0, "suffix");
    ASSERT_TRUE(read.Valid());
    ASSERT_TRUE(write.Valid());
    EXPECT_NE(read.NativeHandle(), write.NativeHandle());
    // A node without ids, or with another vendor's, is never opened.
    for (int slot : {1, 2}) {
        EXPECT_FALSE(usb.OpenDevicePath(slot, std::nullopt).Valid()) << slot;
        EXPECT_FALSE(usb.OpenDevicePair(slot, std::nullopt).Read.Valid()) << slot;
    }
    // A node that has gone away since the walk, and slots outside the table.
    read.Close();
    write.Close();
    fs::remove(FTree.NodePath(0));
    EXPECT_FALSE(usb.OpenDevicePath(0, std::nullopt).Valid());
    EXPECT_FALSE(usb.OpenDevicePath(-1, std::nullopt).Valid());
    EXPECT_FALSE(usb.OpenDevicePath(CUsbIF::kSlots, std::nullopt).Valid());
}

TEST(DeviceNodeOfPath, CutsTheIdsAndTheSuffix) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/dev/usb/lp0#vid_7a3c&pid_0001", "/dev/usb/lp0"},
        {"/dev/usb/lp0#vid_7a3c&pid_0001\\", "/dev/usb/lp0"},
        {"/dev/usb/lp0#vid_7a3c&pid_0001\\any", "/dev/usb/lp0"},
        {"/dev/usb/lp3", "/dev/usb/lp3"},
        {"/dev/usb/lp3\\", "/dev/usb/lp3"},
        {"", ""},
    };
    for (const auto& [path, node] : cases)
        EXPECT_EQ(platform::DeviceNodeOfPath(path), node) << path;
}

// --- a scripted device list -------------------------------------------------------------

struct ScriptedInterface {
    InterfaceQuery Result = InterfaceQuery::Found;
    std::string Path;
    std::optional<std::uint32_t> Port;
};

// Answers as the system's list would: the scripted interfaces, then `Beyond` for every
// index past them. Records every index asked and every name opened.
class ScriptedDevices final : public platform::PrinterClassDevices {
public:
    bool Refuse = false;
    std::vector<ScriptedInterface> Interfaces;
    ScriptedInterface Beyond{InterfaceQuery::NoMoreItems, "", std::nullopt};
    std::vector<int> Asked;
    std::vector<std::string> Opened;

    std::unique_ptr<platform::PrinterInterfaceList>
    PresentInterfaces(const platform::InterfaceClassGuid& interfaceClass) override {
        EXPECT_EQ(interfaceClass, platform::kUsbPrinterInterfaceClass);
        if (Refuse)
            return nullptr;
        return std::make_unique<List>(*this);
    }

    platform::PrinterHandle Open(const std::string& name) override {
        Opened.push_back(name);
        return platform::PrinterHandle();
    }

private:
    class List final : public platform::PrinterInterfaceList {
    public:
        explicit List(ScriptedDevices& owner) : FOwner(owner) {}
        InterfaceQuery DevicePath(int index, std::string& path) override {
            FOwner.Asked.push_back(index);
            const auto& item = At(index);
            if (item.Result == InterfaceQuery::Found)
                path = item.Path;
            return item.Result;
        }
        std::optional<std::uint32_t> PortNumber(int index) override { return At(index).Port; }

    private:
        const ScriptedInterface& At(int index) const {
            const auto i = static_cast<std::size_t>(index);
            return i < FOwner.Interfaces.size() ? FOwner.Interfaces[i] : FOwner.Beyond;
        }
        ScriptedDevices& FOwner;
    };
};

const std::string kWindowsPath =
    "\\\\?\\usb#vid_7a3c&pid_00a1#5&1e1d2a3b&0&2#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";

TEST(EnumerateScripted, ProductIdIsTheFourCharactersAfterPidAndOneSeparator) {
    struct Case {
        std::string Path;
        std::string ProductId;
    };
    const std::vector<Case> cases = {
        {kWindowsPath, "00a1"},
        {"usb#vid_7a3c&pid-B2C3#serial", "B2C3"}, // as written, whatever the separator
        {"usb#vid_7a3c&pid_12", "12"},            // the path ends sooner
        {"usb#vid_7a3c&pid_", ""},
        {"usb#vid_7a3c#no-product", ""},
        {"usb#pid_0a0b&vid_7a3c", "0a0b"}, // "pid" found wherever it stands
        {"usb#VID_7A3C&PID_0001", "0001"}, // the vendor test ignores case
        {"usb#vid_7a3", ""},               // too short to carry a vendor id
        {"usb#vid_04b8&pid_0005", ""},     // another vendor
    };
    auto devices = std::make_shared<ScriptedDevices>();
    for (const auto& c : cases)
        devices->Interfaces.push_back({InterfaceQuery::Found, c.Path, std::nullopt});
    CUsbIF usb(devices);
    ASSERT_EQ(usb.EnumerateDevices(), static_cast<int>(cases.size()));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(usb.DevicePath(static_cast<int>(i)), cases[i].Path);
        EXPECT_EQ(usb.ProductId(static_cast<int>(i)), cases[i].ProductId) << cases[i].Path;
    }
}

TEST(EnumerateScripted, PortNumberIsTheLowByteAndZeroWhenUnreadable) {
    auto devices = std::make_shared<ScriptedDevices>();
    devices->Interfaces = {{InterfaceQuery::Found, kWindowsPath, 0x0107},
                           {InterfaceQuery::Found, kWindowsPath, 0x0003},
                           {InterfaceQuery::Found, "usb#vid_04b8&pid_0005", 0x0009}};
    CUsbIF usb(devices);
    ASSERT_EQ(usb.EnumerateDevices(), 3);
    EXPECT_EQ(usb.PortNumber(0), 0x07);
    EXPECT_EQ(usb.PortNumber(1), 0x03);
    EXPECT_EQ(usb.PortNumber(2), 0); // not the cutter's vendor: not read

    // Next walk: slot 0's value cannot be read, slot 2 still belongs to another vendor.
    devices->Interfaces[0].Port = std::nullopt;
    devices->Interfaces[2].Port = 0x0011;
    ASSERT_EQ(usb.EnumerateDevices(), 3);
    EXPECT_EQ(usb.PortNumber(0), 0);
    EXPECT_EQ(usb.PortNumber(1), 0x03);
    EXPECT_EQ(usb.PortNumber(2), 0);
}

TEST(EnumerateScripted, AFailedIndexIsPassedOverWithItsSlotUnchanged) {
    auto devices = std::make_shared<ScriptedDevices>();
    devices->Interfaces = {{InterfaceQuery::Found, "usb#vid_7a3c&pid_0001#a", std::nullopt},
                           {InterfaceQuery::Found, "usb#vid_7a3c&pid_0002#b", std::nullopt},
                           {InterfaceQuery::Found, "usb#vid_7a3c&pid_0003#c", std::nullopt}};
    CUsbIF usb(devices);
    ASSERT_EQ(usb.EnumerateDevices(), 3);

    devices->Interfaces = {{InterfaceQuery::Found, "usb#vid_7a3c&pid_0004#d", std::nullopt},
                           {InterfaceQuery::Failed, "", std::nullopt},
                           {InterfaceQuery::Found, "usb#vid_7a3c&pid_0006#f", std::nullopt}};
    EXPECT_EQ(usb.EnumerateDevices(), 3);
    EXPECT_EQ(usb.DevicePath(0), "usb#vid_7a3c&pid_0004#d");
    EXPECT_EQ(usb.DevicePath(1), "usb#vid_7a3c&pid_0002#b");
    EXPECT_EQ(usb.ProductId(1), "0002");
    EXPECT_EQ(usb.DevicePath(2), "usb#vid_7a3c&pid_0006#f");
}

TEST(EnumerateScripted, ARefusedListGivesCountZeroAndLeavesTheSlots) {
    auto devices = std::make_shared<ScriptedDevices>();
    devices->Interfaces = {{InterfaceQuery::Found, kWindowsPath, 0x05}};
    CUsbIF usb(devices);
    ASSERT_EQ(usb.EnumerateDevices(), 1);
    devices->Refuse = true;
    EXPECT_EQ(usb.EnumerateDevices(), 0);
    EXPECT_EQ(usb.Count(), 0);
    EXPECT_EQ(usb.DevicePath(0), kWindowsPath);
    EXPECT_EQ(usb.ProductId(0), "00a1");
    EXPECT_EQ(usb.PortNumber(0), 0x05);
}

TEST(EnumerateScripted, AListThatNeverEndsStopsAt32AndNoIndexPastTheTableIsAsked) {
    const std::vector<InterfaceQuery> endless = {InterfaceQuery::Found, InterfaceQuery::Failed};
    for (auto result : endless) {
        auto devices = std::make_shared<ScriptedDevices>();
        devices->Beyond = {result, kWindowsPath, 0x01};
        CUsbIF usb(devices);
        EXPECT_EQ(usb.EnumerateDevices(), CUsbIF::kSlots);
        ASSERT_FALSE(devices->Asked.empty());
        EXPECT_EQ(devices->Asked.back(), CUsbIF::kSlots - 1);
    }
}

TEST(EnumerateScripted, APathLongerThanTheSlotIsCutAt255Characters) {
    const std::string longPath = "usb#vid_7a3c&pid_0001#" + std::string(300, 'x');
    auto devices = std::make_shared<ScriptedDevices>();
    devices->Interfaces = {{InterfaceQuery::Found, longPath, std::nullopt}};
    CUsbIF usb(devices);
    ASSERT_EQ(usb.EnumerateDevices(), 1);
    EXPECT_EQ(usb.DevicePath(0), longPath.substr(0, CUsbIF::kPathSize - 1));
    EXPECT_EQ(usb.ProductId(0), "0001");
}

TEST(EnumerateScripted, OpenNamesWithAndWithoutSuffix) {
    auto devices = std::make_shared<ScriptedDevices>();
    devices->Interfaces = {{InterfaceQuery::Found, kWindowsPath, std::nullopt}};
    CUsbIF usb(devices);
    ASSERT_EQ(usb.EnumerateDevices(), 1);

    struct Case {
        std::optional<std::string_view> Suffix;
        std::string Name;
    };
    const std::vector<Case> cases = {
        {"", kWindowsPath + "\\"},
        {"", kWindowsPath + "\\"}, // the same name again: the stored path is unchanged
        {"print", kWindowsPath + "\\print"},
        {std::nullopt, kWindowsPath},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(usb.DeviceName(0, c.Suffix), c.Name);
        usb.OpenDevicePath(0, c.Suffix);
    }
    ASSERT_EQ(devices->Opened.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(devices->Opened[i], cases[i].Name);

    // A slot outside the table opens nothing.
    EXPECT_FALSE(usb.OpenDevicePath(-1, "").Valid());
    EXPECT_FALSE(usb.OpenDevicePath(CUsbIF::kSlots, "").Valid());
    EXPECT_EQ(devices->Opened.size(), cases.size());
}

} // namespace
} // namespace zopra
