#include "protocol/ParameterDisplay.h"
#include "protocol/ModelRules.h"

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
    v.FModelName = "Vantor II 24 PZ"; // a bar position is the force itself
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
    EXPECT_EQ(d.forcePosition, std::optional<std::int32_t>(120));
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

TEST(ParameterDisplay, ValueWithoutListPositionLeavesOnlyItsListUnselected) {
    const double huge = 1e300;
    struct Case {
        double unroll, smooth, force;
        int unrollIndex, smoothIndex;
        std::optional<std::int32_t> forcePosition;
        const char* unrollLabel;
    };
    const Case cases[] = {
        {7, 1, 120, -1, 1, 120, "7"},          {-1, 0, 120, -1, 0, 120, "-1"},
        {huge, 1, 120, -1, 1, 120, "1E300"},   {0, 2, 120, 0, -1, 120, "0"},
        {1, 1, huge, 1, 1, std::nullopt, "1"}, {1.9, -0.5, 400.9, 1, 0, 400, "1.9"},
    };
    for (const Case& c : cases) {
        MachineSettings v;
        v.FModelName = "Vantor II 24 PZ";
        v.FAutoUnroll = c.unroll;
        v.FVectorSmooth = c.smooth;
        v.FBladeForce = c.force;
        v.FMediaType = 3;
        v.FBladeOffset = 500;
        const ParameterDisplay d = MakeParameterDisplay(v);
        EXPECT_EQ(d.unrollIndex, c.unrollIndex) << c.unroll;
        EXPECT_EQ(d.smoothIndex, c.smoothIndex) << c.smooth;
        EXPECT_EQ(d.forcePosition, c.forcePosition) << c.force;
        EXPECT_EQ(d.unroll, c.unrollLabel);
        // The rest of the display is there whatever the odd value.
        EXPECT_EQ(d.mediaIndex, 0);
        EXPECT_EQ(d.offsetIndex, 5);
    }
}

TEST(ParameterDisplay, ForceBarStandsWhereUpdateSendsTheForceRead) {
    // Read then Update without a change writes back what was read: outside the model table
    // the bar's position is sent x 0.64, so 120 g read must not put the bar at 120.
    for (const auto& [model, force] : {std::pair{"Plotmaster 9", 120},
                                       {"Plotmaster 9", 77},
                                       {"", 256},
                                       {"Vantor II 24 PZ", 120},
                                       {"Vantor 24", 200}}) {
        MachineSettings v;
        v.FModelName = model;
        v.FBladeForce = force;
        const ParameterDisplay d = MakeParameterDisplay(v);
        ASSERT_TRUE(d.forcePosition);
        EXPECT_EQ(BladeForceValue(model, *d.forcePosition), force) << model << " " << force;
    }
}

} // namespace
} // namespace zopra
