// The suite's main(): the test program starts itself once more with umockdev's preload
// library in LD_PRELOAD (it must be loaded before the C library's first call, so setting it
// later is no use), then gives up root, since root opens a node of mode 0000 and a terminal
// in exclusive mode, and the refusals a user meets could not be shown.
#include "KernelTestbed.h"

#include <cstdio>
#include <cstdlib>
#include <grp.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr const char* kStarted = "ZOPRA_UNDER_UMOCKDEV";
constexpr const char* kPreload = "libumockdev-preload.so.0";

std::string Joined(const char* name, const std::string& value, const char* separator) {
    const char* old = std::getenv(name);
    return old != nullptr && *old != '\0' ? value + separator + old : value;
}

void StartUnderPreload(char** argv) {
    ::setenv(kStarted, "1", 1);
    ::setenv("LD_PRELOAD", Joined("LD_PRELOAD", kPreload, ":").c_str(), 1);
    // AddressSanitizer wants its runtime first; the preload library only passes calls on.
    ::setenv("ASAN_OPTIONS", Joined("ASAN_OPTIONS", "verify_asan_link_order=0", ":").c_str(), 1);
    ::execv("/proc/self/exe", argv);
    std::perror("could not start again under umockdev's preload library");
}

bool GiveUpRoot() {
    if (::geteuid() != 0)
        return true;
    constexpr uid_t kNobody = 65534;
    if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
        ::setresuid(kNobody, kNobody, kNobody) != 0)
        return false;
    // A process that changed its user may not read its own /proc entries, which the preload
    // library reads to find the path of a descriptor.
    return ::prctl(PR_SET_DUMPABLE, 1) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv(kStarted) == nullptr)
        StartUnderPreload(argv); // returns only when that failed; the tests then skip
    if (!GiveUpRoot()) {
        std::perror("could not give up root");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
