// The doctor judges a serial port as Connect does, so that the two never disagree; it names
// the port zopra itself holds as such; and the owners and groups it shows name no person.
#include "settings/Doctor.h"

#include "link/Connections.h"
#include "platform/posix/AccountNames.h"
#include "support/FakeSerialDriver.h"

#include <gtest/gtest.h>

#include <grp.h>
#include <unistd.h>

#include <fstream>

namespace zopra::settings {
namespace {

namespace fs = std::filesystem;
using testing::FakeSerial;
using testing::FakeSerialDriver;

class DoctorPorts : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zopra-doctor-ports-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        fs::create_directories(root_ / "sys");
        port_ = (root_ / "ttyFAKE0").string();
        std::ofstream(port_).put('x');
    }
    void TearDown() override { fs::remove_all(root_); }

    // The doctor over an empty device tree, with `port` as the connection list's one port.
    DoctorRoots Roots(std::shared_ptr<FakeSerial> fake) const {
        DoctorRoots roots;
        roots.Devices = {root_ / "sys", root_ / "dev"};
        roots.RulesFolders = {};
        roots.ListSerialPorts = [port = port_] { return std::vector<std::string>{port}; };
        roots.SerialDriver = std::make_shared<FakeSerialDriver>(fake);
        return roots;
    }
    // The doctor's line of the port.
    std::string PortLine(const DoctorRoots& roots) const {
        const std::string text = DoctorText(RunDoctor(roots));
        const auto at = text.find("  " + port_ + "  ");
        return at == std::string::npos ? text : text.substr(at, text.find('\n', at) - at);
    }

    fs::path root_;
    std::string port_;
};

struct PortCase {
    const char* name;
    bool exists;
    int typeError;          // the driver's answer to "is this a serial port?" (0: it is)
    std::uint32_t modem;    // the modem lines the port reports
    const char* connect;    // what Connect comes to: "opened", "no modem line", or its error
    const char* doctorSays; // in the doctor's line of the port
};

// COM7 mapped to a device that does not exist opens as a file but is no serial port: Connect
// says "Port not open (Error: 1)", and so must the doctor.
const PortCase kPortCases[] = {
    {"Missing", false, 0, 0, "Port not open (Error: 2)",
     "cannot open: No such file or directory (Port not open (Error: 2))"},
    {"NoSerialPortBehindIt", true, 1, 0, "Port not open (Error: 1)", "(Port not open (Error: 1))"},
    {"NoModemLine", true, 0, 0, "no modem line", "opens, but none of its modem lines is active"},
    {"ACutterOnIt", true, 0, platform::kMsDsrOn, "opened", "can open"},
};

class DoctorAndConnect : public DoctorPorts, public ::testing::WithParamInterface<PortCase> {};

TEST_P(DoctorAndConnect, JudgeThePortTheSameWay) {
    const PortCase& c = GetParam();
    auto fake = std::make_shared<FakeSerial>();
    fake->existing = c.exists ? std::set<std::string>{port_} : std::set<std::string>{};
    fake->typeError = c.typeError;
    fake->isCharacter = c.typeError == 0;
    fake->modemStatus = c.modem;

    std::string connect;
    {
        CutterConnections links(std::make_unique<CUsbIF>(), platform::OpenUsbApi(),
                                std::make_shared<FakeSerialDriver>(fake),
                                [this] { return std::vector<std::string>{port_}; });
        links.SetLinkKind(kLinkSerial);
        try {
            connect = links.OpenConnection(-1, port_) == 1 ? "opened" : "no modem line";
        } catch (const ECommError& error) {
            connect = std::string(error.what()).substr(0, std::string(error.what()).find('\n'));
        }
    }
    EXPECT_EQ(connect, c.connect);
    const std::string line = PortLine(Roots(fake));
    EXPECT_NE(line.find(c.doctorSays), std::string::npos) << line;
    if (connect != "opened") {
        EXPECT_EQ(line.find("can open"), std::string::npos) << line;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, DoctorAndConnect, ::testing::ValuesIn(kPortCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DoctorPorts, ThePortZopraHoldsIsNamedAndNotOpened) {
    auto fake = std::make_shared<FakeSerial>();
    fake->existing = {port_};
    DoctorRoots roots = Roots(fake);
    roots.HeldDevice = port_;
    roots.HeldModel = "Vantor II 24 PZ";
    const std::string line = PortLine(roots);
    EXPECT_NE(line.find("open in zopra: connected to Vantor II 24 PZ"), std::string::npos) << line;
    EXPECT_EQ(fake->opens, 0) << "the held port was opened";
}

// A node chowned to a person (the usual forum "fix", or a desktop user's node seen under
// sudo) shows "a user", or "you" for the caller; system accounts and groups keep their names.
TEST_F(DoctorPorts, OwnersAndGroupsThatArePeopleAreNotNamed) {
    struct Owner {
        uid_t uid;
        gid_t gid;
        std::string shown;
    };
    const group* dialout = ::getgrgid(20);
    std::vector<Owner> owners = {{1234, 1234, "a user:a user"}, {0, 0, "root:root"}};
    if (dialout != nullptr)
        owners.push_back({1234, 20, std::string("a user:") + dialout->gr_name});
    for (const Owner& owner : owners) {
        std::ofstream(port_).put('x');
        if (::chown(port_.c_str(), owner.uid, owner.gid) != 0)
            GTEST_SKIP() << "only root can give a node to another user";
        auto fake = std::make_shared<FakeSerial>();
        fake->existing = {port_};
        const std::string line = PortLine(Roots(fake));
        EXPECT_NE(line.find("  " + owner.shown + " 0"), std::string::npos) << line;
        EXPECT_EQ(line.find("1234"), std::string::npos) << line;
    }
    // The caller's own account and group.
    EXPECT_EQ(platform::ShownOwner(1234, 1234), "you");
    EXPECT_EQ(platform::ShownGroup(1234, 1234), "you");
    EXPECT_EQ(platform::ShownGroup(65534, 65534), platform::GroupName(65534));
}

} // namespace
} // namespace zopra::settings
