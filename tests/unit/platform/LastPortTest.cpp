// The last port on Linux: a one-line file in the user's configuration folder.
#include "platform/posix/LastPortPosix.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace zopra::platform {
namespace {

namespace fs = std::filesystem;

class LastPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(root_);
        ASSERT_EQ(setenv("XDG_CONFIG_HOME", root_.c_str(), 1), 0);
    }
    void TearDown() override { fs::remove_all(root_); }
    const fs::path root_ = fs::temp_directory_path() / ("zopra-cfg-" + std::to_string(getpid()));
};

TEST_F(LastPortTest, StoredInTheConfigFolderAndReadBack) {
    EXPECT_EQ(LastPortFilePath(), root_ / "zopra" / "last-port");
    EXPECT_EQ(UserLastPortStore()->Read(), "") << "nothing stored yet";
    UserLastPortStore()->Write("/dev/ttyUSB0");
    EXPECT_EQ(UserLastPortStore()->Read(), "/dev/ttyUSB0");
    UserLastPortStore()->Write("QRM USB1");
    EXPECT_EQ(UserLastPortStore()->Read(), "QRM USB1");
}

// What a stored file reads as: a port only when it is one printable line; a folder in the
// way is no port, and a write into it changes nothing.
TEST_F(LastPortTest, ReadsAPortOrNothing) {
    struct Case {
        std::string content;
        const char* read;
    };
    const Case cases[] = {{"COM3", "COM3"},
                          {"", ""},
                          {"COM3\nCOM4\n", ""},
                          {std::string("COM\0\x01"
                                       "3",
                                       5),
                           ""},
                          {std::string(2000, 'x'), ""}};
    fs::create_directories(root_ / "zopra");
    for (const Case& c : cases) {
        std::ofstream(root_ / "zopra" / "last-port", std::ios::binary) << c.content;
        EXPECT_EQ(UserLastPortStore()->Read(), c.read) << c.content.size() << " bytes";
    }
    fs::remove(root_ / "zopra" / "last-port");
    fs::create_directories(root_ / "zopra" / "last-port");
    UserLastPortStore()->Write("COM3");
    EXPECT_EQ(UserLastPortStore()->Read(), "");
}

} // namespace
} // namespace zopra::platform
