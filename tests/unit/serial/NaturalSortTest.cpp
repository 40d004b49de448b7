// The natural order of port names in the connection list.
#include "platform/SerialPortList.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace zopra::platform {
namespace {

TEST(NaturalLess, OrdersNumbersByValue) {
    struct Case {
        const char* left;
        const char* right;
        bool less;
    };
    const Case cases[] = {
        {"ttyS2", "ttyS10", true},
        {"ttyS10", "ttyS2", false},
        {"COM9", "COM10", true},
        {"COM10", "COM10", false},
        {"ttyS", "ttyS0", true},
        {"ttyS0", "ttyS", false},
        {"ttyACM0", "ttyS0", true},
        {"/dev/pts/3", "/dev/pts/12", true},
        {"ttyS02", "ttyS2", false},
        {"ttyS2", "ttyS02", true},
        {"ttyUSB1a", "ttyUSB1b", true},
        {"a99999999999999999999", "a100000000000000000000", true},
        {"", "a", true},
        {"", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NaturalLess(c.left, c.right), c.less) << c.left << " < " << c.right;
}

TEST(NaturalLess, SortsAPortList) {
    std::vector<std::string> ports = {"/dev/ttyS10", "/dev/ttyUSB0",  "/dev/ttyS2",
                                      "/dev/ttyS1",  "/dev/ttyACM10", "/dev/ttyACM9"};
    std::sort(ports.begin(), ports.end(), NaturalLess);
    EXPECT_EQ(ports, (std::vector<std::string>{"/dev/ttyACM9", "/dev/ttyACM10", "/dev/ttyS1",
                                               "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0"}));
}

} // namespace
} // namespace zopra::platform
