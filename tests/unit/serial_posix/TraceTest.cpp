// ZOPRA_DEBUG: a failure the termios driver goes on from is traced with its call and the
// system's error, and nothing at all is traced without it. The flag is read once per process,
// so each case runs in a child that runs this test program afresh (a death test in the
// threadsafe style) and reports what it wrote to stderr.
#include "platform/SerialDriver.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace zopra {
namespace {

namespace pf = platform;

// Opens a pty through the driver and reads the port's state twice. A pty has no modem lines,
// so the driver's read of them fails with ENOTTY and it goes on without; the read itself
// succeeds. Ends the process: 0 when both reads succeeded.
[[noreturn]] void ReadAPtysStateTwice(const char* debug) {
    if (debug != nullptr)
        setenv("ZOPRA_DEBUG", debug, 1);
    else
        unsetenv("ZOPRA_DEBUG");
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        std::_Exit(2);
    int error = 0;
    const auto port = pf::SystemSerialDriver()->Open(ptsname(master), error);
    if (!port)
        std::_Exit(3);
    std::uint32_t errors = 0;
    pf::SerialComStat status;
    const bool ok = port->ClearError(errors, status) == 0 && port->ClearError(errors, status) == 0;
    std::_Exit(ok ? 0 : 1);
}

TEST(TraceDeathTest, AnIgnoredModemLineReadIsTracedOnlyWithZopraDebug) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The whole of stderr: one line, traced once although the state was read twice.
    const std::string traced = "^zopra: ioctl TIOCMGET \\(CTS hold; not traced again for this "
                               "port\\) failed: [^\n]+ \\(error " +
                               std::to_string(ENOTTY) + "\\)\n$";
    const struct {
        const char* debug;
        std::string stderrPattern;
    } cases[] = {{nullptr, "^$"}, {"", "^$"}, {"0", "^$"}, {"1", traced}, {"yes", traced}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.debug != nullptr ? c.debug : "(unset)");
        EXPECT_EXIT(ReadAPtysStateTwice(c.debug), ::testing::ExitedWithCode(0),
                    c.stderrPattern.c_str());
    }
}

} // namespace
} // namespace zopra
