#include "protocol/TestCut.h"

#include "protocol/Numbers.h"

#include <gtest/gtest.h>

namespace zopra {
namespace {

TEST(TestCut, PatternBytesForTypedSizes) {
    struct Case {
        const char* typed;
        bool inches;
        const char* text;
    };
    // Square, then the triangle a fifth in, then the pen up S + 5 mm to the right.
    for (const Case& c : {
             Case{"10.0", false,
                  "SP1;PR;PU0,0;PD400,0,0,400,-400,0,0,-400;PU80,80;PD240,0,-120,240,-120,-240;"
                  "PU520,-80;"},
             Case{"5", false,
                  "SP1;PR;PU0,0;PD200,0,0,200,-200,0,0,-200;PU40,40;PD120,0,-60,120,-60,-120;"
                  "PU360,-40;"},
             // An inch is 1015 units, truncated as for the test square; the odd side still
             // closes the triangle.
             Case{"1", true,
                  "SP1;PR;PU0,0;PD1015,0,0,1015,-1015,0,0,-1015;PU203,203;"
                  "PD609,0,-305,609,-304,-609;PU1012,-203;"},
         }) {
        EXPECT_EQ(TestCutText(TestCutSide(c.typed, c.inches)), c.text) << c.typed;
    }
    EXPECT_EQ(TestCutSide("50", false), 2000);
    EXPECT_EQ(TestCutSide("0,197", true, ','), 200);
    for (const char* outside : {"4.9", "50.1", "0", "-10", "1e30"})
        EXPECT_THROW(TestCutSide(outside, false), TestCutSizeError) << outside;
    for (const char* outside : {"0.19", "1.97"})
        EXPECT_THROW(TestCutSide(outside, true), TestCutSizeError) << outside;
    EXPECT_THROW(TestCutSide("ten", false), ConversionError);
}

TEST(TestCut, GuidedFixForEachSight) {
    const char* ii24 = "Vantor II 24 PZ"; // force up to 350 g
    const char* other = "Cutter 3000";    // outside the table: up to 400 g
    struct Change {
        CutSeen seen;
        const char* model;
        CutValues now;
        CutValues next;
        const char* message;
    };
    for (const Change& c : {
             Change{CutSeen::NotThrough, ii24, {80, 2}, {90, 2}, "Blade force 90 g"},
             Change{CutSeen::NotThrough, ii24, {345, 2}, {350, 2}, "Blade force 350 g"},
             Change{CutSeen::NotThrough, other, {390, 2}, {400, 2}, "Blade force 400 g"},
             Change{CutSeen::IntoBacking, ii24, {12, 2}, {5, 2}, "Blade force 5 g"},
             Change{CutSeen::RoundedCorners, ii24, {90, 0}, {90, 1}, "Blade offset 0.175 mm"},
             Change{CutSeen::OvercutCorners, ii24, {90, 3}, {90, 2}, "Blade offset 0.250 mm"},
         }) {
        const GuidedFix fix = GuideFix(c.seen, c.model, c.now, false);
        EXPECT_EQ(fix.kind, GuidedFix::Kind::Change) << c.message;
        EXPECT_EQ(fix.next, c.next) << c.message;
        EXPECT_EQ(fix.message, c.message);
    }
    // At a limit nothing changes, and the message names the limit.
    struct Limit {
        CutSeen seen;
        const char* model;
        CutValues now;
        const char* limit;
    };
    for (const Limit& c : {
             Limit{CutSeen::NotThrough,
                   other,
                   {400, 2},
                   "force is already at its maximum, 400 g, for this model"},
             Limit{CutSeen::IntoBacking,
                   ii24,
                   {5, 2},
                   "force is already at its minimum, 5 g, for this model"},
             Limit{CutSeen::RoundedCorners,
                   ii24,
                   {90, 7},
                   "offset is already at its largest entry, 1.000 mm"},
             Limit{CutSeen::OvercutCorners,
                   ii24,
                   {90, 0},
                   "offset is already at its smallest entry, 0.000 mm"},
         }) {
        const GuidedFix fix = GuideFix(c.seen, c.model, c.now, false);
        EXPECT_EQ(fix.kind, GuidedFix::Kind::AtLimit) << c.limit;
        EXPECT_EQ(fix.next, c.now) << c.limit;
        EXPECT_EQ(fix.message, "The blade " + std::string(c.limit) + "; nothing was sent.");
    }
    const GuidedFix clean = GuideFix(CutSeen::Clean, ii24, {90, 2}, false);
    EXPECT_EQ(clean.kind, GuidedFix::Kind::Clean);
    EXPECT_EQ(clean.message, "Clean cut: blade force 90 g, blade offset 0.250 mm.");
    EXPECT_THROW(GuideFix(CutSeen::Clean, ii24, {90, -1}, false), std::invalid_argument);
}

TEST(TestCut, UpdateWritesTheCuttersValuesWithTheOneChange) {
    MachineSettings read;
    read.FModelName = "Cutter 3000"; // outside the table: the force goes out x 0.64
    read.FSpeed = 10;                // heavy
    read.FBladeForce = 64;           // sent by position 100
    read.FBladeOffset = 250;
    read.FVectorQuality = 3;
    read.FMediaType = 3;
    read.FBladeHolder = 1;
    ASSERT_EQ(CutValuesOf(read), (CutValues{100, 2}));
    const std::optional<SettingsUpdate> update = TuneSettingsUpdate(read, {110, 2});
    ASSERT_TRUE(update);
    EXPECT_EQ(update->forceValue, 70); // 110 x 0.64, rounded
    EXPECT_EQ(update->weightIndex, 0);
    EXPECT_EQ(update->accelIndex, 1);
    EXPECT_EQ(update->mediaIndex, 0);
    EXPECT_EQ(update->bladeHolderIndex, 1);

    MachineSettings after = read;
    after.FBladeForce = 70;
    EXPECT_TRUE(ReadBackMatches(after, read.FModelName, {110, 2}));
    after.FBladeOffset = 175;
    EXPECT_FALSE(ReadBackMatches(after, read.FModelName, {110, 2}));
    // An offset that is none of the entries cannot be stepped.
    read.FBladeOffset = 260;
    EXPECT_EQ(CutValuesOf(read), std::nullopt);
}

} // namespace
} // namespace zopra
