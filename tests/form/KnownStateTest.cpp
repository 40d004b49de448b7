// Page edits that were not written are never taken for the cutter's values: each workflow
// that builds writes or a file from what the cutter holds takes it from the connection's
// known state (reading "ESC.R1:" first after a write not read back), and every write is in
// the journal, which the "History" page undoes.
#include "FormFixture.h"

#include "settings/History.h"

#include <fstream>
#include <functional>

namespace zopra::testing {
namespace {

struct PageEditCase {
    const char* name;
    // What the user does on the Setting page before the workflow (written or not).
    std::function<void(FormTest&, RecordingWindow&)> edit;
    // The workflow, and what it must have written or kept.
    std::function<void(FormTest&, RecordingWindow&, FormCutter&, const TestPresets&)> check;
};

// The case by its name in the test's output.
void PrintTo(const PageEditCase& c, std::ostream* out) {
    *out << c.name;
}

class PageEditsTest : public FormTest, public ::testing::WithParamInterface<PageEditCase> {};

std::string FileText(const std::filesystem::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Fix(RecordingWindow& w, int seen) {
    w.ShowPage(ControlId::TSSetting, 2);
    w.Choose(ControlId::CBCutSeen, seen);
    w.Click(ControlId::BuCutFix);
}

const PageEditCase kPageEditCases[] = {
    {"a fix after an Update builds on the Update",
     [](FormTest&, RecordingWindow& w) {
         w.Scroll(ControlId::SBForce, 150);
         w.Choose(ControlId::CBAccel, 1); // Draft
         w.Click(ControlId::BuUpdate);
     },
     [](FormTest&, RecordingWindow& w, FormCutter& cutter, const TestPresets&) {
         cutter.ClearHistory();
         Fix(w, 2); // cut into the backing: 10 g less than the cutter holds
         const std::vector<std::string> sent = cutter.Commands();
         ASSERT_GE(sent.size(), 11u);
         EXPECT_EQ(sent[0], Esc + ".R1:") << "the Update was not read back: asked first";
         EXPECT_EQ(sent[3], Esc + ".C1;18;1:") << "Draft stays";
         EXPECT_EQ(sent[7], Esc + ".C1;22;140:");
         EXPECT_EQ(cutter.State().force, 140);
         EXPECT_EQ(cutter.State().vectorQuality, 3);
     }},
    {"an offset chosen and never written is not the cutter's",
     [](FormTest&, RecordingWindow& w) { w.Choose(ControlId::CBOffset, 5); }, // 0.500
     [](FormTest&, RecordingWindow& w, FormCutter& cutter, const TestPresets& presets) {
         const std::filesystem::path saved = presets.folder / "cutter.json";
         w.ChosenFiles.push_back(saved.string());
         w.Click(ControlId::BuSaveFile);
         EXPECT_NE(FileText(saved).find("\"blade_offset_um\": 250"), std::string::npos);
         cutter.ClearHistory();
         Fix(w, 3); // corners rounded: one entry up from the cutter's 0.250
         EXPECT_EQ(cutter.State().bladeOffset, 275);
         EXPECT_EQ(w.TextOf(ControlId::LaCutStep1), "1: 120 g, 0.250 mm, corners rounded");
         EXPECT_NE(
             w.TextOf(ControlId::StatusLine)
                 .find("The Setting page's unwritten blade offset 0.500 mm was left as it is."),
             std::string::npos)
             << w.TextOf(ControlId::StatusLine);
     }},
    {"the clean cut's preset stores the values it is named after",
     [](FormTest&, RecordingWindow& w) { w.Scroll(ControlId::SBForce, 200); },
     [](FormTest&, RecordingWindow& w, FormCutter&, const TestPresets& presets) {
         Fix(w, 0);
         EXPECT_EQ(w.TextOf(ControlId::CBPreset), "Clean: 120 g, 0.250 mm");
         w.Click(ControlId::BuSavePreset);
         const std::vector<settings::Preset> kept = presets.Store().Load();
         ASSERT_EQ(kept.size(), 1u);
         EXPECT_EQ(kept[0].settings.force, 120);
         EXPECT_EQ(kept[0].settings.offset, "0.250");
     }},
};

TEST_P(PageEditsTest, PageEditsThatWereNotWrittenAreNeverTakenForTheCuttersValues) {
    auto cutter = ConnectTo();
    GetParam().edit(*this, W);
    GetParam().check(*this, W, *cutter, Presets);
}

INSTANTIATE_TEST_SUITE_P(Faults, PageEditsTest, ::testing::ValuesIn(kPageEditCases),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

TEST_F(FormTest, TheHistoryPageUndoesAnUpdateAfterCheckingTheCutterStillHoldsIt) {
    auto cutter = ConnectTo();
    W.Scroll(C::SBForce, 150);
    W.Click(C::BuUpdate);
    const std::vector<settings::JournalEntry> entries = Presets.Journal().Read().entries;
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].action, "Update");
    EXPECT_FALSE(entries[0].afterReadBack);

    W.ShowPage(C::TSSetting, 3);
    EXPECT_EQ(Text(C::LaHistory1).substr(5),
              " Update: force 120 -> 150 g (all written, not read back)");
    // Changed at the panel meanwhile: the undo asks first, naming the difference.
    cutter->ClearHistory();
    W.Answers.push_back(false);
    vc::CutterState panel = cutter->State();
    panel.force = 130;
    cutter->SetState(panel);
    W.Click(C::BuUndo);
    ASSERT_EQ(W.Questions.size(), 1u);
    EXPECT_NE(W.Questions[0].find("force 150 -> 130 g"), std::string::npos) << W.Questions[0];
    EXPECT_EQ(cutter->State().force, 130) << "nothing written on No";

    W.Answers.push_back(true);
    W.Click(C::BuUndo);
    EXPECT_EQ(cutter->State().force, 120);
    EXPECT_EQ(Text(C::StatusLine), "Undo of 1: written and read back.");
    const std::vector<settings::JournalEntry> after = Presets.Journal().Read().entries;
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[1].action, "Undo of 1");
    EXPECT_TRUE(after[1].afterReadBack);
    EXPECT_EQ(after[1].outcome, "all written");
    EXPECT_NE(Text(C::LaHistory1).find("Undo of 1: force 130 -> 120 g"), std::string::npos)
        << Text(C::LaHistory1);
}

} // namespace
} // namespace zopra::testing
