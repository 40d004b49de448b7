// The "Test Cut" page against a cutter with a material loaded: a person reads what each cut
// looks like (the cutter's log) and says so on the page, until the cut is clean.
#include "FormFixture.h"

#include "protocol/Ladder.h"
#include "protocol/TestCut.h"

#include <utility>

namespace zopra::testing {
namespace {

class TestCutPageTest : public FormTest, public ::testing::WithParamInterface<bool> {};

// What the cutter's log says of a cut, as the entry of "What do you see?" a person picks.
int SightEntry(const std::string& logLine) {
    const std::pair<const char*, int> sights[] = {{": clean", 0},
                                                  {": not cut through", 1},
                                                  {": cut into the backing", 2},
                                                  {": corners rounded", 3},
                                                  {": corners overcut", 4}};
    for (const auto& [words, entry] : sights)
        if (logLine.find(words) != std::string::npos)
            return entry;
    ADD_FAILURE() << "no sight in '" << logLine << "'";
    return 0;
}

TEST_P(TestCutPageTest, LoopFromABadStartEndsClean) {
    const bool inches = GetParam();
    vc::Options options;
    options.state.force = 60;
    options.state.bladeOffset = 0;
    options.material = vc::Material{90, 110, 250};
    auto cutter = StartCutter(options);
    W.ShowPage(C::TSSetting, 2);
    EXPECT_FALSE(W.EnabledOf(C::BuCutTest)) << "nothing to cut on before a read";
    ConnectTo(*cutter);
    if (inches)
        W.Choose(C::CoUnit, 1);
    EXPECT_EQ(Text(C::EdCutSize), inches ? "0.394" : "10.0");
    EXPECT_EQ(Text(C::LaCutForce), inches ? "2.12 oz" : "60 g");

    // A size outside 5 to 50 mm is refused at the field, and nothing goes out.
    W.Edit(C::EdCutSize).SetText(inches ? "2" : "51");
    W.Click(C::BuCutTest);
    const std::string refused = inches
                                    ? "The size must be from 0.197 to 1.969 Inch; nothing was sent."
                                    : "The size must be from 5.0 to 50.0 mm; nothing was sent.";
    EXPECT_EQ(Text(C::LaCutSizeNote), refused);
    EXPECT_EQ(Text(C::StatusLine), refused);
    W.Edit(C::EdCutSize).SetText(inches ? "0.394" : "10.0");

    W.Click(C::BuCutTest);
    EXPECT_EQ(Text(C::StatusLine), "Test cut: " + std::string(inches ? "0.394 Inch" : "10.0 mm") +
                                       " square beside the last one");
    // The cutter reads each HP-GL instruction as a command of its own.
    const std::vector<std::string> pattern = cutter->Commands();
    std::string patternText;
    for (const std::string& instruction : pattern)
        patternText += instruction;
    EXPECT_EQ(patternText, TestCutText(400));

    int cuts = 1;
    for (;; ++cuts) {
        ASSERT_TRUE(W.RunUntil([&] { return Log.Count("test cut 10.0 mm:") == cuts; }));
        const int seen = SightEntry(Log.Last("test cut 10.0 mm:"));
        cutter->ClearHistory();
        W.Choose(C::CBCutSeen, seen);
        W.Click(C::BuCutFix);
        if (seen == 0)
            break;
        ASSERT_LT(cuts, 8) << "the loop does not end";
        if (cuts == 1) {
            // The whole update with the force one step up, its read-back, and the next cut.
            std::vector<std::string> first = {
                Esc + ".C1;16;0:", Esc + ".C1;17;1:", Esc + ".C1;18;0:",  Esc + ".C1;19;0:",
                Esc + ".C1;20;0:", Esc + ".C1;21;1:", Esc + ".C1;22;70:", Esc + ".C1;0;:",
                Esc + ".C1;32;0:", Esc + ".R1:"};
            first.insert(first.end(), pattern.begin(), pattern.end());
            EXPECT_EQ(cutter->Commands(), first);
            EXPECT_EQ(Text(C::StatusLine), std::string("Blade force ") +
                                               (inches ? "2.47 oz" : "70 g") +
                                               " written and read back; cutting again");
        }
    }
    // 60 and 70 g do not cut through, the step grows to 20 g; then the offset goes one entry
    // up, two more (overcut) and one back.
    EXPECT_EQ(cuts, 6);
    EXPECT_TRUE(cutter->Commands().empty()) << "a clean cut changes nothing";
    EXPECT_EQ(cutter->State().force, 90);
    EXPECT_EQ(cutter->State().bladeOffset, 250);
    const std::vector<std::string> steps =
        inches ? std::vector<std::string>{"2: 2.47 oz, 0.000 Inch, not cut through",
                                          "3: 3.17 oz, 0.000 Inch, corners rounded",
                                          "4: 3.17 oz, 0.007 Inch, corners rounded",
                                          "5: 3.17 oz, 0.011 Inch, corners overcut",
                                          "6: 3.17 oz, 0.010 Inch, clean"}
               : std::vector<std::string>{
                     "2: 70 g, 0.000 mm, not cut through", "3: 90 g, 0.000 mm, corners rounded",
                     "4: 90 g, 0.175 mm, corners rounded", "5: 90 g, 0.275 mm, corners overcut",
                     "6: 90 g, 0.250 mm, clean"};
    EXPECT_EQ(
        (std::vector<std::string>{Text(C::LaCutStep1), Text(C::LaCutStep2), Text(C::LaCutStep3),
                                  Text(C::LaCutStep4), Text(C::LaCutStep5)}),
        steps);
    const std::string clean = inches ? "Clean cut: blade force 3.17 oz, blade offset 0.010 Inch."
                                     : "Clean cut: blade force 90 g, blade offset 0.250 mm.";
    EXPECT_EQ(Text(C::LaCutOutcome), clean);
    EXPECT_EQ(Text(C::StatusLine), clean + " \"Save As...\" keeps them as a preset.");
    // The offer: a name is ready beside "Save As...", which keeps the values that cut clean.
    const std::string offered = inches ? "Clean: 3.17 oz, 0.010 Inch" : "Clean: 90 g, 0.250 mm";
    EXPECT_EQ(Text(C::CBPreset), offered);
    W.Click(C::BuSavePreset);
    EXPECT_EQ(Text(C::StatusLine), "Preset '" + offered + "' saved");
    // The "Setting" page shows what the cutter holds now.
    EXPECT_EQ(W.BarOf(C::SBForce).Position(), 90);
    EXPECT_EQ(W.ListOf(C::CBOffset).Position(), 2);
    EXPECT_TRUE(W.Messages.empty());
}

// What the cutter's log says of a strip's cell, as the entry a person picks in its list:
// depth for a force ladder, corners for an offset ladder.
int CellEntry(const std::string& logLine, LadderKind kind) {
    const char* const words[2][3] = {
        {"not cut through", "cut through cleanly", "cut into the backing"},
        {"corners rounded", "corners sharp", "corners overcut"}};
    for (int entry = 0; entry < 3; ++entry)
        if (logLine.find(words[kind == LadderKind::Force ? 0 : 1][entry]) != std::string::npos)
            return entry;
    ADD_FAILURE() << "no sight in '" << logLine << "'";
    return 0;
}

// Card from the cutter's default force: a force strip, a test cut at the force it chose, an
// offset strip, and the test cut after it is clean: three rounds.
TEST_F(FormTest, LaddersReachACleanCutInThreeRounds) {
    vc::Options options;
    options.state.force = 120;
    options.material = vc::Material{250, 290, 500};
    auto cutter = StartCutter(options);
    W.ShowPage(C::TSSetting, 2);
    ConnectTo(*cutter);
    const ControlId cells[] = {C::CBLadderSeen1, C::CBLadderSeen2, C::CBLadderSeen3,
                               C::CBLadderSeen4, C::CBLadderSeen5, C::CBLadderSeen6,
                               C::CBLadderSeen7, C::CBLadderSeen8};
    // Cuts the strip the page shows and answers each cell as the cutter's log judges it.
    const auto cutAndAnswer = [&](LadderKind kind, int count) {
        const int before = Log.Count(" of " + std::to_string(count) + " (");
        W.Click(C::BuCutTest);
        ASSERT_TRUE(W.RunUntil(
            [&] { return Log.Count(" of " + std::to_string(count) + " (") == before + count; }));
        EXPECT_TRUE(W.VisibleOf(cells[count - 1]));
        if (count < 8) {
            EXPECT_FALSE(W.VisibleOf(cells[count]));
        }
        for (int cell = 1; cell <= count; ++cell)
            W.Choose(cells[cell - 1], CellEntry(Log.Last("test cut " + std::to_string(cell) +
                                                         " of " + std::to_string(count)),
                                                kind));
        W.Click(C::BuCutFix);
    };

    W.Choose(C::CBCutMode, 1);
    EXPECT_EQ(Text(C::EdLadderFrom), "5");
    EXPECT_EQ(Text(C::EdLadderTo), "350");
    EXPECT_EQ(Text(C::EdCutSize), "8.0");
    EXPECT_FALSE(W.VisibleOf(C::LaCutStep1));
    // Fix before a strip is cut sends nothing.
    W.Click(C::BuCutFix);
    EXPECT_TRUE(cutter->Commands().empty());
    cutAndAnswer(LadderKind::Force, 5);
    EXPECT_EQ(Text(C::LaLadderCell3), "3: 178 g");
    EXPECT_EQ(Text(C::LaCutOutcome), "Ladder answer: 264 g written");
    EXPECT_EQ(Text(C::StatusLine),
              "Blade force 264 g written and read back; a test cut beside the strip");
    EXPECT_EQ(cutter->State().force, 264);
    ASSERT_TRUE(W.RunUntil([&] { return Log.Count("test cut 8.0 mm:") == 1; }));
    EXPECT_EQ(Log.Count("test cut 8.0 mm: corners rounded (offset 0.250 mm)"), 1);

    W.Choose(C::CBCutMode, 2);
    EXPECT_EQ(Text(C::EdLadderFrom), "0.000");
    EXPECT_EQ(Text(C::EdLadderTo), "1.000");
    cutAndAnswer(LadderKind::Offset, 8);
    EXPECT_EQ(Text(C::LaLadderCell6), "6: 0.500 mm");
    EXPECT_EQ(cutter->State().bladeOffset, 500);
    ASSERT_TRUE(W.RunUntil([&] { return Log.Count("test cut 8.0 mm:") == 2; }));
    EXPECT_EQ(Log.Count("test cut 8.0 mm: clean"), 1);
    // The Setting page shows what the cutter holds now.
    EXPECT_EQ(W.BarOf(C::SBForce).Position(), 264);
    EXPECT_EQ(W.ListOf(C::CBOffset).Position(), 5);
    // Every strip and answer is in the journal.
    std::vector<std::string> actions;
    for (const settings::JournalEntry& entry : Presets.Journal().Read().entries)
        actions.push_back(entry.action);
    EXPECT_EQ(actions, (std::vector<std::string>{"Force ladder 5-350 g, 5 cells",
                                                 "Ladder answer: 264 g written",
                                                 "Offset ladder 0.000-1.000 mm, 8 cells",
                                                 "Ladder answer: 0.500 mm written"}));
    EXPECT_TRUE(W.Messages.empty());
}

// One click must never write a force and cut on a cutter no test cut was seen on: a new
// connection ends the loop (its answer and steps go), and the clean cut's preset name goes
// once the page no longer shows the values it names.
TEST_F(FormTest, TuningStateDoesNotOutliveItsConnectionOrUnit) {
    vc::Options options;
    options.state.force = 90;
    options.state.bladeOffset = 250;
    options.material = vc::Material{90, 110, 250};
    auto cutter = StartCutter(options);
    ConnectTo(*cutter);
    const auto cleanCut = [&] {
        W.Click(C::BuCutTest);
        W.Choose(C::CBCutSeen, 0);
        W.Click(C::BuCutFix);
    };
    cleanCut();
    EXPECT_EQ(Text(C::CBPreset), "Clean: 90 g, 0.250 mm");
    EXPECT_EQ(Text(C::LaCutStep1), "1: 90 g, 0.250 mm, clean");
    W.Choose(C::CBCutSeen, 1); // an answer about the cut on this cutter

    ConnectTo(*cutter);
    EXPECT_EQ(W.ListOf(C::CBCutSeen).Position(), -1);
    EXPECT_EQ(Text(C::LaCutStep1), "");
    EXPECT_EQ(Text(C::CBPreset), "");
    W.Click(C::BuCutFix);
    EXPECT_EQ(Text(C::StatusLine), "Choose what you see on the test cut first; nothing was sent.");
    EXPECT_TRUE(cutter->Commands().empty());

    // Another unit: the name in grams and millimetres names no value the page shows.
    cleanCut();
    EXPECT_EQ(Text(C::CBPreset), "Clean: 90 g, 0.250 mm");
    W.Choose(C::CoUnit, 1);
    EXPECT_EQ(Text(C::CBPreset), "");
    EXPECT_EQ(Text(C::LaCutStep1), "");
    // A cut made waits for its own answer.
    W.Choose(C::CBCutSeen, 1);
    W.Click(C::BuCutTest);
    EXPECT_EQ(W.ListOf(C::CBCutSeen).Position(), -1);
    EXPECT_TRUE(W.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Units, TestCutPageTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Inches" : "Millimetres"; });

} // namespace
} // namespace zopra::testing
