// Console events on Windows: Ctrl-Break reaches zopra-cli's interrupt handler as Ctrl-C
// does, so the series under way finishes, instead of ending the process on the spot.
#include "cli/Interrupt.h"
#include "support/BoundedWait.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace zopra::cli {
namespace {

TEST(ConsoleEvents, CtrlBreakRaisesTheInterruptAndTheProgramGoesOn) {
    InstallInterruptHandler();
    ASSERT_FALSE(InterruptRequested());
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0)) << GetLastError();
    EXPECT_TRUE(testing::Eventually([] { return InterruptRequested(); }));
}

} // namespace
} // namespace zopra::cli
