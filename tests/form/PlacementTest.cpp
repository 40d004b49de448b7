// The window's first place on screens of several sizes and scales: centred on the work area,
// never beyond its edges.
#include "form/Placement.h"

#include <gtest/gtest.h>

namespace zopra::testing {
namespace {

struct PlacementCase {
    const char* name;
    Bounds area;
    int width;
    int height;
    ScreenPoint expected;
};

class PlacementTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(PlacementTest, CentredInsideTheWorkArea) {
    const PlacementCase& c = GetParam();
    const ScreenPoint at = CentredWithin(c.area, c.width, c.height);
    EXPECT_EQ(at.left, c.expected.left);
    EXPECT_EQ(at.top, c.expected.top);
    EXPECT_GE(at.left, c.area.left);
    EXPECT_GE(at.top, c.area.top);
}

INSTANTIATE_TEST_SUITE_P(
    Screens, PlacementTest,
    ::testing::Values(
        // 1280 x 800 at 1.5x, a task bar of 60: the window (620 x 657 with its frame) fits.
        PlacementCase{"Laptop150", {0, 0, 1280, 740}, 620, 657, {330, 41}},
        PlacementCase{"SecondMonitorLeftOfFirst", {-1920, 0, 1920, 1040}, 430, 450, {-1175, 295}},
        PlacementCase{"PanelAtTheTop", {0, 27, 1024, 741}, 430, 450, {297, 172}},
        // Taller than the area: the title bar stays on the screen.
        PlacementCase{"LargerThanTheArea", {0, 0, 800, 560}, 830, 657, {0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zopra::testing
