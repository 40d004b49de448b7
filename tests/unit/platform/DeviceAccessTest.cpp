// The group read from a device node, which the hint for a refused port names.
#include "platform/DeviceAccess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <grp.h>
#include <unistd.h>

namespace zopra::platform {
namespace {

TEST(DeviceGroup, IsTheGroupOfTheNodeAndEmptyWhenThereIsNone) {
    const auto node = std::filesystem::temp_directory_path() /
                      ("zopra-group-" + std::to_string(::getpid()));
    std::ofstream(node).put('x');
    const group* own = ::getgrgid(::getegid());
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(DeviceGroup(node.string()), own->gr_name);
    // A printer-class device path carries ids after the node.
    EXPECT_EQ(DeviceGroup(node.string() + "#vid_7a3c&pid_0001\\"), own->gr_name);
    std::filesystem::remove(node);
    EXPECT_EQ(DeviceGroup(node.string()), "");
}

} // namespace
} // namespace zopra::platform
