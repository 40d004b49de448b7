#include "protocol/Calibration.h"
#include "protocol/ParameterDisplay.h"

#include "protocol/Numbers.h"

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

TEST(AasAdjustment, OffsetsSentFromAdjustmentAndLabel) {
    struct Case {
        const char *adjustX, *adjustY, *currentX, *currentY;
        bool inches;
        std::int64_t x, y;
    };
    const Case cases[] = {
        {"0.1", "0", "0.075", "0", false, 7, 0},           // 4 + 3
        {"-0.03", "0.02", "0.075", "0", false, 2, 0},      // -1 and 0 from the truncation
        {"0.0", "0.0", "-1", "3", false, -40, 120},        // the labels come back whole
        {"0.001", "0.003", "0.003", "-0.001", true, 4, 2}, // 1000 units an inch
        {"1e6", "0", "0", "0", false, 40000000, 0},        // no range check
    };
    for (const Case& c : cases) {
        const AasOffsetPair p =
            AdjustedAasOffsets(c.adjustX, c.adjustY, c.currentX, c.currentY, c.inches);
        EXPECT_EQ(p.x, c.x) << c.adjustX << " + " << c.currentX;
        EXPECT_EQ(p.y, c.y) << c.adjustY << " + " << c.currentY;
    }
    // The texts are read adjustment X, Y, then current X, Y: the first bad one is reported.
    try {
        AdjustedAasOffsets("0", "y?", "x?", "0", false);
        FAIL();
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'y?' is not a valid floating point value");
    }
    EXPECT_THROW(AdjustedAasOffsets("1e300", "0", "0", "0", false), ConversionError);
}

TEST(AasAdjustment, AnUnadjustedOffsetGoesBackAsTheCutterReportedIt) {
    // Its label is turned back into units: in inches 0.04 is 39.999... units, which
    // truncated lost one unit on every update.
    for (const bool inches : {false, true})
        for (int units = -3000; units <= 3000; ++units) {
            const std::string shown = AasOffsetText(units, inches);
            const AasOffsetPair p = AdjustedAasOffsets("0", "0.000", shown, shown, inches);
            ASSERT_EQ(p.x, units) << shown << (inches ? " inch" : " mm");
            ASSERT_EQ(p.y, units) << shown << (inches ? " inch" : " mm");
        }
}

TEST(AasAdjustment, EverySpinnerPositionSendsItsOwnUnits) {
    // The spinner shows its position in mm, then in inches (0.005, 0.01, ...): either text
    // adds exactly that many plotter units, though x 40 x 25 of 0.005 lands below 5 in binary.
    for (int position = -100; position <= 100; ++position) {
        const std::string mm = AasStepText(position);
        const std::string inch = AasAdjustmentInInches(mm);
        EXPECT_EQ(AdjustedAasOffsets(mm, "0", "0", "0", false).x, position) << mm << " mm";
        EXPECT_EQ(AdjustedAasOffsets(inch, "0", "0", "0", true).x, position) << inch << " inch";
    }
}

TEST(AasAdjustment, ASumBeyondTheCuttersIntegerIsRefused) {
    // Each part fits the cutter's 32-bit integer (2147483640 units), the sum does not.
    struct Case {
        const char *adjust, *current;
        bool inches;
    };
    for (const Case& c : {Case{"53687091", "1", false}, Case{"-53687091", "-1.025", false},
                          Case{"2147483.64", "1", true}})
        EXPECT_THROW(AdjustedAasOffsets(c.adjust, "0", c.current, "0", c.inches), ConversionError)
            << c.adjust << " + " << c.current;
}

} // namespace
} // namespace zopra
