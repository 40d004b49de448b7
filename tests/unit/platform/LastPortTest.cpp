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

struct FileCase {
    const char* name;
    std::string content;
    const char* read;
};

class LastPortFileTest : public LastPortTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(LastPortFileTest, ReadsAPortOrNothing) {
    fs::create_directories(root_ / "zopra");
    std::ofstream(root_ / "zopra" / "last-port", std::ios::binary) << GetParam().content;
    EXPECT_EQ(UserLastPortStore()->Read(), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(Files, LastPortFileTest,
                         ::testing::Values(FileCase{"WithoutLineEnd", "COM3", "COM3"},
                                           FileCase{"Empty", "", ""},
                                           FileCase{"TwoLines", "COM3\nCOM4\n", ""},
                                           FileCase{"Binary",
                                                    std::string("COM\0\x01"
                                                                "3",
                                                                5),
                                                    ""},
                                           FileCase{"TooLong", std::string(2000, 'x'), ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LastPortTest, AFolderInTheWayIsNoPortAndNoError) {
    fs::create_directories(root_ / "zopra" / "last-port");
    EXPECT_EQ(UserLastPortStore()->Read(), "");
    UserLastPortStore()->Write("COM3"); // cannot be stored: nothing else happens
    EXPECT_EQ(UserLastPortStore()->Read(), "");
}

} // namespace
} // namespace zopra::platform
