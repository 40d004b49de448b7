#include "platform/virtual/RuntimeDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace zopra::platform {
namespace {

namespace fs = std::filesystem;

TEST(RuntimeDir, OnlyLiveAnnouncementsInNameOrder) {
    const fs::path root = fs::temp_directory_path() / ("zopra-rt-" + std::to_string(getpid()));
    fs::remove_all(root);
    ASSERT_EQ(setenv("XDG_RUNTIME_DIR", root.c_str(), 1), 0);
    EXPECT_TRUE(AnnouncedDevices("serial").empty()) << "no folder yet";

    const fs::path dir = AnnouncementDir("serial");
    ASSERT_EQ(dir, root / "zopra" / "serial");
    fs::create_directories(dir);

    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0); // its pid now names no process
    const std::string self = std::to_string(getpid());

    fs::create_symlink("/dev/null", dir / ("b_cutter-" + self));
    fs::create_symlink("/dev/zero", dir / ("a_cutter-" + self + "_2"));
    fs::create_symlink("/dev/null", dir / ("dead-" + std::to_string(child)));
    fs::create_symlink(root / "missing", dir / ("gone-" + self));
    fs::create_symlink("/dev/full", dir / "handmade");
    std::ofstream(dir / "plain-file") << "not a link";

    EXPECT_EQ(AnnouncedDevices("serial"),
              (std::vector<fs::path>{"/dev/zero", "/dev/null", "/dev/full"}));
    EXPECT_TRUE(AnnouncedDevices("printer").empty());
    fs::remove_all(root);
}

} // namespace
} // namespace zopra::platform
