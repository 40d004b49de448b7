// What `set` and `restore` send: the named values checked against the model, the others as
// the cutter reported them, and nothing the cutter did not report.
#include "cli/CliErrors.h"
#include "settings/SettingsPlan.h"

#include <gtest/gtest.h>

namespace zopra::cli {

using namespace settings;
namespace {

MachineSettings Reported(const char* model) {
    MachineSettings v;
    v.FModelName = model;
    v.FSpeed = 60;
    v.FBladeForce = 120;
    v.FBladeOffset = 250;
    v.FVectorQuality = 1;
    v.FVectorSmooth = 0;
    v.FAutoUnroll = 1;
    v.FMediaType = 3;
    v.FBladeHolder = 1;
    return v;
}

TEST(SettingsPlan, UnnamedSettingsGoOutAsReported) {
    const SettingsUpdate u =
        PlanSettingsUpdate(ParseSettingsRequest({"weight=Heavy"}), Reported("Vantor 52"), true);
    EXPECT_EQ(u.offsetIndex, 2);
    EXPECT_EQ(u.weightIndex, 0);
    EXPECT_EQ(u.accelIndex, 0);
    EXPECT_EQ(u.smoothIndex, 0);
    EXPECT_EQ(u.unrollIndex, 1);
    EXPECT_EQ(u.mediaIndex, 0);
    EXPECT_EQ(u.forceValue, 120);
    EXPECT_EQ(u.bladeHolderIndex, 1);
    EXPECT_TRUE(SettingsNotTaken(u, [] {
                    MachineSettings after = Reported("Vantor 52");
                    after.FSpeed = 10;
                    return after;
                }(), true).empty());
}

TEST(SettingsPlan, ForceOfACutterOutsideTheTableIsSentSoThatItReadsBackAsNamed) {
    // Such a cutter takes 0.64 x the scroll bar position: 77 comes from position 120.
    MachineSettings v = Reported("Unknown 9000");
    v.FBladeForce = 77;
    EXPECT_EQ(PlanSettingsUpdate({}, v, true).forceValue, 77);
    EXPECT_EQ(PlanSettingsUpdate(ParseSettingsRequest({"force=256"}), v, true).forceValue, 256);
    EXPECT_THROW(PlanSettingsUpdate(ParseSettingsRequest({"force=300"}), v, true), UsageError);
    // The media list is enabled outside the table.
    EXPECT_EQ(PlanSettingsUpdate(ParseSettingsRequest({"media=roll"}), v, true).mediaIndex, 1);
}

TEST(SettingsPlan, RefusesWhatTheWindowWouldNotSendOrWouldSendWrong) {
    struct Case {
        const char* what;
        std::vector<std::string> words;
        void (*change)(MachineSettings&);
        bool readsHolder;
    };
    const Case cases[] = {
        {"force above the model's range", {"force=251"}, nullptr, true},
        {"force below the scroll bar", {"force=4"}, nullptr, true},
        {"offset not in the list", {"offset=0.3001"}, nullptr, true},
        {"media on a known model", {"media=roll"}, nullptr, true},
        {"holder on a QT-24 entry", {"holder=metal"}, nullptr, false},
        {"reported quality without entry", {}, [](MachineSettings& v) { v.FVectorQuality = 4; }, true},
        {"reported offset between entries", {}, [](MachineSettings& v) { v.FBladeOffset = 260; }, true},
        {"reported smooth not 0 or 1", {}, [](MachineSettings& v) { v.FVectorSmooth = 1.5; }, true},
        {"reported force beyond the range", {}, [](MachineSettings& v) { v.FBladeForce = 300; }, true},
    };
    for (const Case& c : cases) {
        MachineSettings v = Reported("Vantor 52");
        if (c.change)
            c.change(v);
        EXPECT_THROW(PlanSettingsUpdate(ParseSettingsRequest(c.words), v, c.readsHolder),
                     UsageError)
            << c.what;
    }
    // Naming the setting the cutter reported oddly makes the update possible again.
    MachineSettings v = Reported("Vantor 52");
    v.FVectorQuality = 4;
    EXPECT_EQ(PlanSettingsUpdate(ParseSettingsRequest({"quality=draft"}), v, true).accelIndex, 1);
    // The media value the cutter already has may be named on a known model.
    EXPECT_NO_THROW(PlanSettingsUpdate(ParseSettingsRequest({"media=single"}), Reported("Vantor 52"), true));
}

TEST(SettingsPlan, ParseRefusesBadWords) {
    for (const char* word : {"force", "=1", "colour=red", "force=1.5", "force=x", "smooth=maybe"})
        EXPECT_THROW(ParseSettingsRequest({word}), UsageError) << word;
    EXPECT_THROW(ParseSettingsRequest({"force=100", "FORCE=120"}), UsageError);
    const SettingsRequest r = ParseSettingsRequest({"smooth=Enable", "unroll=off", "offset=0.25"});
    EXPECT_EQ(r.choices[static_cast<std::size_t>(Choice::Smooth)], 1);
    EXPECT_EQ(r.choices[static_cast<std::size_t>(Choice::Unroll)], 0);
    EXPECT_EQ(r.offset, "0.25");
}

TEST(SettingsPlan, OffsetInInchesIsAnEntryOfTheWindowsInchList) {
    // The inch list shows mm x 0.04: 0.011 is the entry of 275 um.
    SettingsRequest request = ParseSettingsRequest({"offset=0.011"});
    request.offsetInInches = true;
    EXPECT_EQ(PlanSettingsUpdate(request, Reported("Vantor 52"), true).offsetIndex, 3);
    request.offsetInInches = false;
    EXPECT_THROW(PlanSettingsUpdate(request, Reported("Vantor 52"), true), UsageError);
}

TEST(SettingsPlan, ReadBackNamesEachSettingTheCutterDidNotTake) {
    const MachineSettings before = Reported("Vantor II 24 PZ");
    const SettingsUpdate u = PlanSettingsUpdate(
        ParseSettingsRequest({"offset=0.5", "force=200", "holder=metal"}), before, true);
    const std::vector<std::string> missing = SettingsNotTaken(u, before, true);
    EXPECT_EQ(missing, (std::vector<std::string>{"offset=0.500 (the cutter reports 0.25 mm)",
                                                 "force=200 (the cutter reports 120)",
                                                 "holder=metal (the cutter reports plastic)"}));
    // Without a blade holder read, the holder is not compared.
    EXPECT_EQ(SettingsNotTaken(u, before, false).size(), 2u);
}

} // namespace
} // namespace zopra::cli
