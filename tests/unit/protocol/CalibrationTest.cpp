#include "protocol/Calibration.h"

#include <gtest/gtest.h>

namespace zopra {
namespace {

TEST(Calibration, MeasuredSizeAgainstTheBand) {
    struct Case {
        long double tx, ty, mx, my;
        bool accepted;
    };
    const Case cases[] = {
        {500, 500, 477, 500, true},  {500, 500, 526, 500, true},
        {500, 500, 476, 500, false}, {500, 500, 527, 500, false},
        {500, 500, 500, 476, false}, {500, 500, 505, 495, true},
        {0, 500, 500, 500, false}, // a test size of 0 is a ratio of 0
        {512, 500, 500, 500, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CalibrationSizesAccepted(c.tx, c.ty, c.mx, c.my), c.accepted)
            << c.tx << " " << c.ty << " measured " << c.mx << " " << c.my;
}

TEST(Calibration, MeasuredZeroIsADivisionByZero) {
    // Even when the other axis is already outside the band.
    EXPECT_THROW(CalibrationSizesAccepted(500, 500, 300, 0), DivisionByZeroError);
    try {
        CalibrationSizesAccepted(500, 500, 0, 500);
        FAIL();
    } catch (const DivisionByZeroError& e) {
        EXPECT_STREQ(e.what(), "Floating point division by zero");
    }
}

} // namespace
} // namespace zopra
