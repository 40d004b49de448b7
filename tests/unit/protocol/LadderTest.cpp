#include "protocol/Ladder.h"

#include <gtest/gtest.h>

namespace zopra {
namespace {

constexpr const char* kIi24 = "Vantor II 24 PZ"; // 5 to 350 g

std::vector<CellSeen> Answers(const char* letters) {
    std::vector<CellSeen> seen;
    for (const char* c = letters; *c != 0; ++c)
        seen.push_back(*c == 'n' ? CellSeen::Under : *c == 'c' ? CellSeen::Good : CellSeen::Over);
    return seen;
}

TEST(Ladder, CellsOfTheLadders) {
    EXPECT_EQ(DefaultForceLadder(kIi24).cells, (std::vector<std::int32_t>{5, 91, 178, 264, 350}));
    EXPECT_EQ(ForceLadder(kIi24, 100, 110, 3).cells, (std::vector<std::int32_t>{100, 105, 110}));
    EXPECT_EQ(DefaultOffsetLadder().cells, (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(LadderTitle(DefaultForceLadder(kIi24), false), "Force ladder 5-350 g, 5 cells");
    EXPECT_EQ(LadderMapText(ForceLadder(kIi24, 5, 178, 3), false), "1: 5 g  2: 92 g  3: 178 g");
    // A range field's text, in the unit shown.
    EXPECT_EQ(LadderEndFromText(LadderKind::Force, "12.35", true), 350); // ounces
    EXPECT_EQ(LadderEndFromText(LadderKind::Force, "12.5", false), std::nullopt);
    EXPECT_EQ(LadderEndFromText(LadderKind::Offset, "0.5", false), 5);
    EXPECT_EQ(LadderEndFromText(LadderKind::Offset, "0.26", false), std::nullopt);
    // Ranges outside the model's, ranges that do not rise, counts outside 3 to 8.
    EXPECT_THROW(ForceLadder(kIi24, 4, 350, 5), LadderError);
    EXPECT_THROW(ForceLadder(kIi24, 5, 351, 5), LadderError);
    EXPECT_THROW(ForceLadder(kIi24, 200, 100, 5), LadderError);
    EXPECT_THROW(ForceLadder(kIi24, 5, 350, 2), LadderError);
    EXPECT_THROW(ForceLadder(kIi24, 5, 350, 9), LadderError);
    EXPECT_THROW(OffsetLadder(2, 3), LadderError); // two entries
    EXPECT_THROW(LadderOfCells(kIi24, LadderKind::Force, {100, 100, 120}), LadderError);
}

TEST(Ladder, PlannerDecidesFromTheAnswers) {
    const Ladder force = DefaultForceLadder(kIi24);
    using Cells = std::vector<std::int32_t>;
    struct Case {
        const char* what;
        Ladder strip;
        const char* answers;
        LadderPlan::Kind kind;
        std::int32_t value; // Write
        Cells next;         // NextStrip
        std::string message;
    };
    const auto W = LadderPlan::Kind::Write;
    const auto N = LadderPlan::Kind::NextStrip;
    const auto L = LadderPlan::Kind::AtLimit;
    for (const Case& c : {
             Case{"one clean cell", force, "nnncb", W, 264, {}, "Blade force 264 g"},
             Case{"the middle of the run, rounded", force, "ncccb", W, 178, {}, ""},
             Case{"the widest run wins", force, "ncbcc", W, 307, {}, ""},
             Case{"all wrong: evenly inside the open interval", force, "nnnbb", N, 0,
                  Cells{192, 207, 221, 235, 250}, ""},
             Case{"unordered answers taken as they come", force, "nbnbb", N, 0,
                  Cells{106, 120, 135, 149, 164}, ""},
             Case{"all not through: up to the maximum, included", ForceLadder(kIi24, 5, 200, 5),
                  "nnnnn", N, 0, Cells{230, 260, 290, 320, 350}, ""},
             Case{"all into the backing: from the minimum, included",
                  ForceLadder(kIi24, 100, 300, 5), "bbbbb", N, 0, Cells{5, 24, 43, 62, 81}, ""},
             Case{"all not through at the maximum",
                  force,
                  "nnnnn",
                  L,
                  0,
                  {},
                  "The blade force is already at its maximum, 350 g, for this model; nothing "
                  "was sent."},
             Case{"all into the backing at the minimum",
                  force,
                  "bbbbb",
                  L,
                  0,
                  {},
                  "The blade force is already at its minimum, 5 g, for this model; nothing was "
                  "sent."},
             Case{"no whole gram between",
                  LadderOfCells(kIi24, LadderKind::Force, {100, 101, 102}),
                  "nbb",
                  L,
                  0,
                  {},
                  "No whole gram lies between 100 g and 101 g, where the cut goes from not "
                  "through to into the backing; nothing was sent."},
             Case{"offset: the lower of the two middle entries",
                  DefaultOffsetLadder(),
                  "nnnnccbb",
                  W,
                  4,
                  {},
                  "Blade offset 0.300 mm"},
             Case{"offset: the entries past the last rounded", OffsetLadder(0, 3), "nnnn", N, 0,
                  Cells{4, 5, 6, 7}, ""},
             Case{"offset: all rounded at the largest entry",
                  DefaultOffsetLadder(),
                  "nnnnnnnn",
                  L,
                  0,
                  {},
                  "The blade offset is already at its largest entry, 1.000 mm; nothing was "
                  "sent."},
             Case{"offset: no entry between",
                  OffsetLadder(2, 4),
                  "nbb",
                  L,
                  0,
                  {},
                  "No entry of the blade offset list lies between 0.250 mm (corners rounded) "
                  "and 0.275 mm (corners overcut); nothing was sent."},
         }) {
        const LadderPlan plan = PlanLadder(c.strip, Answers(c.answers), kIi24, false);
        EXPECT_EQ(plan.kind, c.kind) << c.what;
        if (c.kind == W) {
            EXPECT_EQ(plan.value, c.value) << c.what;
        }
        if (c.kind == N) {
            EXPECT_EQ(plan.next.cells, c.next) << c.what;
        }
        if (!c.message.empty()) {
            EXPECT_EQ(plan.message, c.message) << c.what;
        }
    }
    EXPECT_THROW(PlanLadder(force, Answers("ncb"), kIi24, false), std::invalid_argument);
}

TEST(Ladder, StripBytesAndTheSeriesThatStopsAtAFailedWrite) {
    MachineSettings before;
    before.FModelName = kIi24;
    before.FSpeed = 10;
    before.FBladeForce = 120;
    before.FBladeOffset = 250;
    before.FVectorQuality = 1;
    before.FMediaType = 3;
    before.FBladeHolder = 0;
    const std::int32_t side = TestCutSide(LadderDefaultSize(false), false);
    ASSERT_EQ(side, 320);
    const std::string e(1, '\x1b');
    // Each cell: the nine writes with only its own value changed, then its test cut.
    const auto update = [&](int offsetIndex, int force) {
        return std::vector<std::string>{e + ".C1;16;" + std::to_string(offsetIndex) + ":",
                                        e + ".C1;17;0:",
                                        e + ".C1;18;0:",
                                        e + ".C1;19;0:",
                                        e + ".C1;20;0:",
                                        e + ".C1;21;0:",
                                        e + ".C1;22;" + std::to_string(force) + ":",
                                        e + ".C1;0;:",
                                        e + ".C1;32;0:"};
    };
    const auto cell = [&](int offsetIndex, int force) {
        std::vector<std::string> writes = update(offsetIndex, force);
        writes.push_back(TestCutText(side));
        return writes;
    };
    struct Case {
        Ladder ladder;
        std::vector<std::vector<std::string>> cells;
    };
    for (const Case& c : {
             Case{ForceLadder(kIi24, 100, 300, 3), {cell(2, 100), cell(2, 200), cell(2, 300)}},
             Case{OffsetLadder(4, 6), {cell(4, 120), cell(5, 120), cell(6, 120)}},
         }) {
        const std::optional<LadderStrip> strip = MakeLadderStrip(before, c.ladder, side);
        ASSERT_TRUE(strip);
        EXPECT_EQ(strip->cells, c.cells);
        EXPECT_EQ(strip->restore, update(2, 120));
    }
    // A force no bar position sends cannot be written back: no strip.
    MachineSettings odd = before;
    odd.FBladeOffset = 260;
    EXPECT_FALSE(MakeLadderStrip(odd, DefaultOffsetLadder(), side));

    // The write that fails (counted from 0) stops the series; the old values still go out.
    const LadderStrip strip = *MakeLadderStrip(before, ForceLadder(kIi24, 100, 300, 3), side);
    struct Failure {
        int failing;
        int cellsCut;
        bool restoreWritten;
        const char* text;
    };
    for (const Failure& f : {
             Failure{-1, 3, true, ""},
             Failure{0, 0, true,
                     "The strip stopped before its first cell: The machine could not be written "
                     "to. gone The cutter's values from before were written back."},
             Failure{15, 1, false,
                     "The strip stopped after cell 1 of 3: The machine could not be written "
                     "to. gone The cutter's values from before could not be written back "
                     "either."},
             Failure{30, 3, false,
                     "The strip was cut, but writing the cutter's values from before failed: "
                     "The machine could not be written to. gone"},
         }) {
        int count = 0;
        const StripRun run = CutLadderStrip(strip, [&](const std::string&) {
            const int n = count++;
            // The second failure case keeps failing: the link is gone.
            return n == f.failing || (f.failing == 15 && n > 15) ? LinkWriteResult::Failed("gone")
                                                                 : LinkWriteResult::Done();
        });
        EXPECT_EQ(run.cellsCut, f.cellsCut) << f.failing;
        EXPECT_EQ(run.restoreWritten, f.restoreWritten) << f.failing;
        EXPECT_EQ(run.failure.has_value(), f.failing >= 0) << f.failing;
        if (run.failure) {
            EXPECT_EQ(StripFailureText(run, 3), f.text);
        }
        if (f.failing < 0) {
            EXPECT_EQ(run.sent.size(), 3u * 10 + 9);
        }
    }
}

TEST(Ladder, GuidedFixStepsGrowAndHalve) {
    using S = CutSeen;
    struct Case {
        const char* what;
        std::vector<TuneStep> earlier;
        CutValues now;
        CutSeen seen;
        CutValues next;
    };
    for (const Case& c : {
             Case{"first step 10 g", {}, {120, 2}, S::IntoBacking, {110, 2}},
             Case{"doubles on a repeat",
                  {{{130, 2}, S::IntoBacking}},
                  {120, 2},
                  S::IntoBacking,
                  {100, 2}},
             Case{"and again",
                  {{{140, 2}, S::NotThrough}, {{150, 2}, S::NotThrough}},
                  {170, 2},
                  S::NotThrough,
                  {210, 2}},
             Case{"a reversal halves",
                  {{{150, 2}, S::NotThrough}, {{170, 2}, S::NotThrough}},
                  {210, 2},
                  S::IntoBacking,
                  {190, 2}},
             Case{"never below 10 g",
                  {{{200, 2}, S::IntoBacking}, {{170, 2}, S::NotThrough}},
                  {182, 2},
                  S::NotThrough,
                  {192, 2}},
             Case{"halfway back, never onto a force seen not through",
                  {{{100, 2}, S::NotThrough}},
                  {110, 2},
                  S::IntoBacking,
                  {105, 2}},
             Case{"never onto a force seen on the other side",
                  {{{315, 2}, S::NotThrough}, {{350, 2}, S::IntoBacking}},
                  {333, 2},
                  S::NotThrough,
                  {343, 2}},
             Case{"offset one entry",
                  {{{90, 2}, S::NotThrough}},
                  {100, 2},
                  S::RoundedCorners,
                  {100, 3}},
             Case{"offset two on a repeat",
                  {{{100, 2}, S::RoundedCorners}},
                  {100, 3},
                  S::RoundedCorners,
                  {100, 5}},
             Case{"offset short of an entry seen overcut",
                  {{{100, 7}, S::OvercutCorners}, {{100, 3}, S::RoundedCorners}},
                  {100, 5},
                  S::RoundedCorners,
                  {100, 6}},
         }) {
        const GuidedFix fix = GuideFix(c.seen, kIi24, c.now, false, '.', c.earlier);
        EXPECT_EQ(fix.kind, GuidedFix::Kind::Change) << c.what;
        EXPECT_EQ(fix.next, c.next) << c.what;
    }
    // Clean right after a force step: a ladder one step each way is offered.
    const GuidedFix clean = GuideFix(S::Clean, kIi24, {110, 2}, false, '.',
                                     {{{130, 2}, S::IntoBacking}, {{120, 2}, S::IntoBacking}});
    ASSERT_TRUE(clean.ladderOffer);
    EXPECT_EQ(clean.ladderOffer->from, 100);
    EXPECT_EQ(clean.ladderOffer->to, 120);
    EXPECT_NE(clean.message.find("a force ladder from 100 to 120 g finds its middle"),
              std::string::npos);
    // After an offset step, no offer.
    EXPECT_FALSE(GuideFix(S::Clean, kIi24, {110, 2}, false, '.', {{{110, 1}, S::RoundedCorners}})
                     .ladderOffer);
}

} // namespace
} // namespace zopra
