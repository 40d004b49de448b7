#include "protocol/ParameterDisplay.h"

#include <gtest/gtest.h>

namespace zopra {
namespace {

TEST(ParameterDisplay, EmptyRecordShowsZerosLightRollMetalFirstOffset) {
    const ParameterDisplay d = MakeParameterDisplay({});
    EXPECT_EQ(d.length, "0");
    EXPECT_EQ(d.force, "0");
    EXPECT_EQ(d.weight, "Light");
    EXPECT_EQ(d.weightIndex, 1);
    EXPECT_EQ(d.mediaIndex, 1);
    EXPECT_EQ(d.bladeHolderIndex, 0);
    EXPECT_EQ(d.offsetIndex, 0);
    EXPECT_EQ(d.accelIndex, -1);
}

TEST(ParameterDisplay, MediaWeightFromSpeed) {
    struct Case {
        double speed;
        const char* weight;
    };
    for (const Case& c : {Case{0.5, "Light"}, Case{1, "Heavy"}, Case{29.9, "Heavy"},
                          Case{30, "Light"}, Case{-5, "Light"}}) {
        MachineSettings v;
        v.FSpeed = c.speed;
        const ParameterDisplay d = MakeParameterDisplay(v);
        EXPECT_EQ(d.weight, c.weight) << c.speed;
        EXPECT_EQ(d.weightIndex, std::string(c.weight) == "Heavy" ? 0 : 1);
    }
}

TEST(ParameterDisplay, ListPositionsFromCodes) {
    struct Case {
        double quality;
        int accel;
    };
    for (const Case& c : {Case{1, 0}, Case{2, 0}, Case{3, 1}, Case{5, 1}, Case{4, -1},
                          Case{0, -1}, Case{1.5, -1}}) {
        MachineSettings v;
        v.FVectorQuality = c.quality;
        EXPECT_EQ(MakeParameterDisplay(v).accelIndex, c.accel) << c.quality;
    }
    MachineSettings v;
    v.FMediaType = 3;
    v.FBladeHolder = 2;
    v.FAutoUnroll = 1.9;
    v.FVectorSmooth = 1;
    v.FBladeForce = 120.7;
    const ParameterDisplay d = MakeParameterDisplay(v);
    EXPECT_EQ(d.mediaIndex, 0);
    EXPECT_EQ(d.bladeHolderIndex, 1) << "any holder other than 0 is Plastic";
    EXPECT_EQ(d.unrollIndex, 1);
    EXPECT_EQ(d.smoothIndex, 1);
    EXPECT_EQ(d.forcePosition, 120);
    EXPECT_EQ(d.force, "120.7");
}

TEST(ParameterDisplay, BladeOffsetPositionsAndText) {
    struct Case {
        double micrometres;
        int index;
    };
    for (const Case& c : {Case{0, 0}, Case{-10, 1}, Case{1, 1}, Case{175, 1}, Case{176, 2},
                          Case{250, 2}, Case{275, 3}, Case{300, 4}, Case{500, 5}, Case{750, 6},
                          Case{751, 7}, Case{1000, 7}, Case{5000, 7}}) {
        EXPECT_EQ(BladeOffsetIndex(c.micrometres), c.index) << c.micrometres;
    }
    EXPECT_EQ(BladeOffsetText(250, false), "0.25");
    EXPECT_EQ(BladeOffsetText(250, true), "0.01");
    EXPECT_EQ(BladeOffsetText(250, false, ','), "0,25");
}

TEST(ParameterDisplay, AasOffsetLabels) {
    EXPECT_EQ(AasOffsetText(-40, false), "-1");
    EXPECT_EQ(AasOffsetText(-40, true), "-0.04");
    EXPECT_EQ(AasOffsetText(120, false), "3");
    EXPECT_EQ(AasOffsetText(120, true), "0.12");
}

TEST(ParameterDisplay, BladeOffsetEntryIndexFindsOnlyListEntries) {
    struct Case {
        long double micrometres;
        std::optional<int> index;
    };
    for (const Case& c : {Case{0, 0}, Case{0.175L * 1000, 1}, Case{250, 2}, Case{1000, 7},
                          Case{0.011L * 1000 * 25, 3}, Case{260, std::nullopt},
                          Case{-175, std::nullopt}, Case{1100, std::nullopt}}) {
        EXPECT_EQ(BladeOffsetEntryIndex(c.micrometres), c.index)
            << static_cast<double>(c.micrometres);
    }
}

TEST(ParameterDisplay, AasOffsetAfterAdjustmentAddsTheShownOffset) {
    struct Case {
        long double adjustment;
        double current;
        bool inches;
        std::int32_t expected;
    };
    for (const Case& c : {Case{0.1L, 3, false, 7}, Case{-0.03L, 3, false, 2},
                          Case{0.02L, 3, false, 3}, Case{0.1L, 0, true, 100},
                          Case{-0.05L, 120, false, 118}, Case{0.001L, -40, true, -38}}) {
        // -40 units show as -0.04 inch, which comes back as -39 units: the label loses one.
        EXPECT_EQ(AasOffsetAfterAdjustment(c.adjustment, c.current, c.inches), c.expected)
            << static_cast<double>(c.adjustment) << " + " << c.current;
    }
}

} // namespace
} // namespace zopra
