// The "Setting" page's presets and settings files against a cutter in this process: a preset
// applied is written and read back, one the model cannot take is refused before anything is
// sent, and a settings file saved and loaded gives the cutter its settings back after the
// user has seen and confirmed what changes.
#include "FormFixture.h"

namespace zopra::testing {
namespace {

class PresetsAndFilesTest : public FormTest {};

TEST_F(PresetsAndFilesTest, APresetIsWrittenAndReadBackAndAFileGivesTheSettingsBack) {
    auto cutter = ConnectTo();
    const std::string saved = Presets.file.string() + ".settings.json";
    W.ChosenFiles.push_back(saved);
    W.Click(C::BuSaveFile);

    settings::Preset flock;
    flock.name = "Flock";
    flock.settings = settings::ParseSettingsRequest({"offset=0.500", "force=150", "weight=heavy",
                                                     "quality=draft", "smooth=on", "unroll=on",
                                                     "media=roll", "holder=plastic"});
    settings::Preset heavy = flock;
    heavy.name = "Too heavy";
    heavy.settings.force = 999;
    Presets.Store().Change([&](std::vector<settings::Preset>& presets) {
        presets = {flock, heavy};
    });

    // Above the model's maximum: named, and nothing sent.
    W.OpenList(C::CBPreset);
    W.Choose(C::CBPreset, "Too heavy");
    W.Click(C::BuApplyPreset);
    ASSERT_EQ(W.Messages.size(), 1u);
    EXPECT_NE(W.Messages[0].text.find("force=999"), std::string::npos) << W.Messages[0].text;
    EXPECT_TRUE(cutter->Commands().empty());

    WaitForWorkButtons();
    W.Choose(C::CBPreset, "Flock");
    W.Click(C::BuApplyPreset);
    WaitForDisplay();
    EXPECT_EQ(Text(C::StatusLine), "Preset 'Flock' written and read back");
    const vc::CutterState applied = cutter->State();
    EXPECT_EQ(applied.force, 150);
    EXPECT_EQ(applied.bladeOffset, 500);
    EXPECT_EQ(applied.bladeHolder, 1);
    EXPECT_EQ(W.BarOf(C::SBForce).Position(), 150) << "the page shows the read-back";

    // A name typed is a new preset of the page's settings.
    W.ListOf(C::CBPreset).SetPosition(-1);
    W.Type(C::CBPreset, "Card");
    W.Click(C::BuSavePreset);
    EXPECT_EQ(Text(C::StatusLine), "Preset 'Card' saved");
    const auto kept = Presets.Store().Load();
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(settings::PresetSettingsJson(kept[2].settings),
              settings::PresetSettingsJson(flock.settings));

    // Load the file saved before: the changes are shown, and written once confirmed.
    WaitForWorkButtons();
    W.ChosenFiles.push_back(saved);
    W.Answers.push_back(true);
    W.Click(C::BuLoadFile);
    WaitForDisplay();
    ASSERT_EQ(W.Questions.size(), 1u);
    EXPECT_EQ(W.Questions[0], "Write these settings to the cutter?\n\n"
                              "Blade force: 150 g -> 120 g\n"
                              "Blade offset: 0.500 mm -> 0.250 mm\n"
                              "Media weight: Heavy -> Light\n"
                              "Auto unroll: Enable -> Disable\n"
                              "Vector quality: Draft -> Fine\n"
                              "Vector smooth: Enable -> Disable\n"
                              "Blade holder: Plastic -> Metal");
    const vc::CutterState loaded = cutter->State();
    EXPECT_EQ(loaded.force, 120);
    EXPECT_EQ(loaded.bladeHolder, 0);
    EXPECT_EQ(loaded.vectorQuality, 1);
    std::filesystem::remove(saved);
}

} // namespace
} // namespace zopra::testing
