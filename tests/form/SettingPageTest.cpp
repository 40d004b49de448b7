// The "Setting" page against a cutter in this process: Update and Read Parameters, the blade
// force rule by model, what is refused instead of sent, the display of values that have no
// list position, and the switch between "mm/g" and "Inch/oz".
#include "FormFixture.h"

#include <clocale>
#include <initializer_list>
#include <string>

namespace zopra::testing {
namespace {

class SettingPageTest : public FormTest {};

class UpdateThenReadTest : public FormTest, public ::testing::WithParamInterface<vc::Link> {};

TEST_P(UpdateThenReadTest, ShowsTheChoices) {
    vc::Options options;
    options.link = GetParam();
    auto cutter = ConnectTo(options);
    // The cutter starts at offset 0.250, light media, fine, no smoothing, no unroll, roll,
    // 120 g, metal; choose the other value everywhere.
    W.Choose(C::CBOffset, 5);
    W.Choose(C::CBWeight, 0);
    W.Choose(C::CBAccel, 1);
    W.Choose(C::CBSmooth, 1);
    W.Choose(C::CBUnroll, 1);
    W.ListOf(C::CBMedia).SetPosition(0); // disabled for the table's models; the update sends it
    W.Scroll(C::SBForce, 200);
    W.Choose(C::CBBladeHolder, 1);
    W.Click(C::BuUpdate);

    const std::vector<std::string> expected = {
        Esc + ".C1;16;5:",   Esc + ".C1;17;0:", Esc + ".C1;18;1:",
        Esc + ".C1;19;1:",   Esc + ".C1;20;1:", Esc + ".C1;21;0:",
        Esc + ".C1;22;200:", Esc + ".C1;0;:",   Esc + ".C1;32;1:"};
    EXPECT_TRUE(cutter->WaitForCommands(expected.size()));
    EXPECT_EQ(cutter->Commands(), expected);
    EXPECT_FALSE(W.EnabledOf(C::BuUpdate));
    EXPECT_EQ(Text(C::StatusLine),
              "Settings written: blade force 200 g, blade offset 0.500 mm, media type Single, "
              "media weight Heavy, auto unroll Enable, vector quality Draft, vector smooth "
              "Enable, blade holder Plastic");

    // Nothing is read back by the update: only the next read shows what the cutter kept.
    for (ControlId list : {C::CBOffset, C::CBWeight, C::CBAccel, C::CBSmooth, C::CBUnroll,
                           C::CBMedia, C::CBBladeHolder})
        W.ListOf(list).SetPosition(-1);
    W.BarOf(C::SBForce).SetPosition(5);
    WaitForWorkButtons();
    W.Click(C::BuQuery);
    WaitForDisplay();

    const std::pair<ControlId, int> positions[] = {
        {C::CBOffset, 5}, {C::CBWeight, 0}, {C::CBAccel, 1},      {C::CBSmooth, 1},
        {C::CBUnroll, 1}, {C::CBMedia, 0},  {C::CBBladeHolder, 1}};
    for (const auto& [list, position] : positions)
        EXPECT_EQ(W.ListOf(list).Position(), position) << RowOf(list).name;
    EXPECT_EQ(Text(C::CBOffset), "0.500");
    EXPECT_EQ(W.BarOf(C::SBForce).Position(), 200);
    EXPECT_EQ(Text(C::LaForce), "200");
    EXPECT_TRUE(W.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Links, UpdateThenReadTest, ::testing::ValuesIn(FormCutterLinks()),
                         [](const auto& info) {
                             return info.param == vc::Link::Printer ? "PrinterClass" : "Serial";
                         });

struct ForceCase {
    const char* model;
    int position;
    const char* sent;
};

class BladeForceTest : public FormTest, public ::testing::WithParamInterface<ForceCase> {};

TEST_P(BladeForceTest, SentByModel) {
    vc::Options options;
    options.state.model = GetParam().model;
    auto cutter = ConnectTo(options);
    W.Scroll(C::SBForce, GetParam().position);
    W.Click(C::BuUpdate);
    ASSERT_TRUE(cutter->WaitForCommands(9));
    EXPECT_EQ(cutter->Commands()[6], Esc + ".C1;22;" + GetParam().sent + ":");
}

INSTANTIATE_TEST_SUITE_P(Models, BladeForceTest,
                         ::testing::Values(ForceCase{"Vantor II 24 PZ", 100, "100"},
                                           ForceCase{"Vantor 24", 100, "100"},
                                           ForceCase{"Plotmaster 9", 100, "64"},
                                           ForceCase{"Plotmaster 9", 400, "256"}));

TEST_F(SettingPageTest, TypedOffsetAndListWithoutSelectionSendNothing) {
    auto cutter = ConnectTo();
    // An offset typed into the list's field that is none of its entries is named at the
    // field, with the values the cutter takes.
    W.ListOf(C::CBOffset).SetText("");
    W.Type(C::CBOffset, "0.33");
    EXPECT_EQ(W.ListOf(C::CBOffset).Position(), -1);
    W.Click(C::BuUpdate);
    EXPECT_TRUE(W.ListOf(C::CBOffset).Marked());
    EXPECT_EQ(Text(C::StatusLine),
              "Blade Offset: 0.33 is none of the offsets the cutter takes (0.000, 0.175, 0.250, "
              "0.275, 0.300, 0.500, 0.750, 1.000 mm); nothing was sent.");
    EXPECT_TRUE(W.Messages.empty());
    // One typed as an entry's value selects it; a list that never got a value is named.
    WaitForWorkButtons();
    W.ListOf(C::CBOffset).SetText("");
    W.Type(C::CBOffset, "0.50");
    W.ListOf(C::CBAccel).SetPosition(-1);
    W.Click(C::BuUpdate);
    EXPECT_EQ(W.ListOf(C::CBOffset).Position(), 5);
    EXPECT_EQ(Text(C::CBOffset), "0.500");
    EXPECT_EQ(W.Messages, (std::vector<Message>{{MessageKind::Message,
                                                 "Choose a value for Vector Quality first; "
                                                 "nothing was sent."}}));
    EXPECT_TRUE(cutter->Commands().empty());
    // A query afterwards is the first thing the cutter hears.
    WaitForWorkButtons();
    W.Click(C::BuQuery);
    WaitForDisplay();
    EXPECT_EQ(cutter->Commands().front(), "OH;");
}

TEST_F(SettingPageTest, ValuesWithoutListPositionLeaveOnlyTheirList) {
    vc::Options options;
    options.state.autoUnroll = 7;
    options.state.vectorSmooth = -1;
    options.state.mediaType = 3;
    auto cutter = ConnectTo(options);
    EXPECT_EQ(W.ListOf(C::CBUnroll).Position(), -1);
    EXPECT_EQ(Text(C::LaUnroll), "7");
    EXPECT_EQ(W.ListOf(C::CBSmooth).Position(), -1);
    EXPECT_EQ(Text(C::LaSmooth), "-1");
    // The rest of the display went on, the lists after them included.
    EXPECT_EQ(W.ListOf(C::CBMedia).Position(), 0);
    EXPECT_EQ(W.BarOf(C::SBForce).Position(), 120);
    EXPECT_EQ(W.ListOf(C::CBBladeHolder).Position(), 0);
    EXPECT_EQ(W.ListOf(C::CBOffset).Position(), 2);
    EXPECT_EQ(Text(C::CBOffset), "0.250"); // the entry's own text, which can be typed back
    EXPECT_TRUE(W.EnabledOf(C::CoUnit));
    EXPECT_TRUE(W.Messages.empty());
}

TEST_F(SettingPageTest, UnitsSwitchLengthsOffsetAndForce) {
    vc::Options options;
    options.state.paperLengthMm = 610;
    options.state.paperWidthMm = 1000;
    options.state.force = 100;
    auto cutter = ConnectTo(options);
    EXPECT_EQ(W.ListOf(C::CBOffset).Position(), 2);

    struct Shown {
        const char* length;
        const char* width;
        const char* offset;
        const char* force;
        const char* lengthUnit;
        const char* forceUnit;
    };
    const Shown inches{"24.01", "39.37", "0.010", "3.53", "Inch", "oz"};
    const Shown millimetres{"610", "1000", "0.250", "100", "mm", "g"};
    for (const auto& [unit, shown] : {std::pair{1, inches}, std::pair{0, millimetres}}) {
        W.Choose(C::CoUnit, unit);
        EXPECT_EQ(Text(C::LaLength), shown.length);
        EXPECT_EQ(Text(C::LaWidth), shown.width);
        EXPECT_EQ(W.ListOf(C::CBOffset).Position(), 2);
        EXPECT_EQ(Text(C::CBOffset), shown.offset);
        EXPECT_EQ(Text(C::LaForce), shown.force);
        for (ControlId label : {C::Label20, C::Label21, C::Label29, C::Label32, C::Label33,
                                C::Label18, C::Label35, C::Label27, C::Label26})
            EXPECT_EQ(Text(label), shown.lengthUnit) << RowOf(label).name;
        EXPECT_EQ(Text(C::Label28), shown.forceUnit);
    }

    // Moving the force bar in ounces; choosing an entry takes its offset into the record.
    W.Choose(C::CoUnit, 1);
    W.BarOf(C::SBForce).SetMaximum(400);
    for (const auto& [grams, ounces] : {std::pair{5, "0.18"}, {100, "3.53"}, {400, "14.11"}}) {
        W.Scroll(C::SBForce, grams);
        EXPECT_EQ(Text(C::LaForce), ounces);
    }
    W.Choose(C::CBOffset, 2);
    EXPECT_EQ(F->Record().Read().FBladeOffset, 250.0);
    // A fresh read in inches appears in inches.
    WaitForWorkButtons();
    W.Click(C::BuQuery);
    WaitForDisplay();
    EXPECT_EQ(Text(C::LaLength), "24.01");
    EXPECT_EQ(Text(C::LaForce), "3.53");
    EXPECT_EQ(Text(C::CBOffset), "0.010");
    EXPECT_TRUE(W.Messages.empty());
}

TEST_F(SettingPageTest, SameUnitTwiceChangesNothing) {
    auto cutter = ConnectTo();
    W.ListOf(C::CBOffset).SetText("");
    W.Type(C::CBOffset, "0.2");
    EXPECT_EQ(F->Record().Read().FBladeOffset, 200.0);

    // Each step: the unit picked and the offset text it leaves.
    const std::pair<int, const char*> steps[] = {
        {0, "0.2"}, {0, "0.2"}, {1, "0.008"}, {1, "0.008"}, {0, "0.2"}};
    for (const auto& [unit, text] : steps) {
        W.Choose(C::CoUnit, unit);
        EXPECT_EQ(W.ListOf(C::CBOffset).Position(), -1);
        EXPECT_EQ(Text(C::CBOffset), text);
    }
    EXPECT_EQ(Text(C::Label20), "mm");
    EXPECT_TRUE(W.Messages.empty());
}

TEST_F(SettingPageTest, UnitSwitchInACommaLocaleCompletesOrChangesNothing) {
    // As on a German desktop: LC_NUMERIC from the environment, "," shown and typed.
    struct NumericLocale {
        std::string saved = std::setlocale(LC_NUMERIC, nullptr);
        ~NumericLocale() { std::setlocale(LC_NUMERIC, saved.c_str()); }
    } restore;
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (./run test makes it)";
    W.Separator = ',';
    vc::Options options;
    options.state.force = 120;
    auto cutter = ConnectTo(options);
    W.Choose(C::CoUnit, 1);
    EXPECT_TRUE(W.Messages.empty());
    EXPECT_EQ(Text(C::LaForce), "4,23");
    EXPECT_EQ(Text(C::CBOffset), "0,010");

    // An offset that is no number: the switch back is refused as a whole.
    W.ListOf(C::CBOffset).SetText("");
    W.Type(C::CBOffset, "abc");
    W.Messages.clear();
    W.Choose(C::CoUnit, 0);
    EXPECT_EQ(W.Messages.size(), 1u);
    EXPECT_EQ(W.ListOf(C::CoUnit).Position(), 1);
    EXPECT_EQ(Text(C::Label21), "Inch");
    EXPECT_EQ(Text(C::LaForce), "4,23");
}

} // namespace
} // namespace zopra::testing
