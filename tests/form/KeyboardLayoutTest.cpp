// The keyboard's way through the window, as the layout table gives it to both toolkits.
#include "form/Layout.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace zopra {
namespace {

TEST(KeyboardLayout, TabWalksTheControlsInReadingOrder) {
    const std::vector<std::string_view> reading = {
        "CBConnects", "BuConnect", "TSSetting",
        // "Setting": the left column top to bottom, then the right one, then the buttons.
        "SBForce", "CBOffset", "CBMedia", "CBWeight", "CBUnroll", "CBAccel", "CBSmooth", "CoUnit",
        "CBBladeHolder", "BuUpdate", "BuQuery", "BuSaveFile", "BuLoadFile",
        // "Adjust": each step's fields, then its button.
        "EdTestDraw_X", "EdTestDraw_Y", "BuScale1", "EdMeasure_x", "EdMeasure_y", "BuScale2",
        "EdAASII_X_Offset", "EdAASII_Y_Offset", "BuAASIIUpdate",
        // "Test Cut": the size and its button, the kind of cut and a ladder's range and cells,
        // then what was seen (on the one cut, or on each cell) and its button, then the
        // presets.
        "EdCutSize", "BuCutTest", "CBCutMode", "EdLadderFrom", "EdLadderTo", "CBLadderCells",
        "CBCutSeen", "CBLadderSeen1", "CBLadderSeen2", "CBLadderSeen3", "CBLadderSeen4",
        "CBLadderSeen5", "CBLadderSeen6", "CBLadderSeen7", "CBLadderSeen8", "BuCutFix", "CBPreset",
        "BuApplyPreset", "BuSavePreset",
        // "History": the entry to undo back to, and its button.
        "CBHistory", "BuUndo",
        // The help beside the status line, last.
        "BuWhy", "BuSaveReport"};
    std::vector<std::string_view> order;
    for (ControlId id : TabOrder())
        order.push_back(RowOf(id).name);
    EXPECT_EQ(order, reading);
}

TEST(KeyboardLayout, EveryButtonHasAnAltLetterOfItsOwnOnItsPage) {
    for (ControlId page :
         {ControlId::TabSheet1, ControlId::TabSheet2, ControlId::TabSheet3, ControlId::TabSheet4}) {
        std::set<char> letters;
        for (const ControlRow& layoutRow : MainWindowLayout()) {
            if (layoutRow.kind != ControlKind::Button ||
                (layoutRow.parent != page && layoutRow.parent != ControlId::Window))
                continue;
            std::string shown = CaptionWithMnemonic(layoutRow);
            const auto marker = shown.find('&');
            ASSERT_NE(marker, std::string::npos) << layoutRow.name << " has no Alt-letter";
            const auto letter =
                static_cast<char>(std::tolower(static_cast<unsigned char>(shown[marker + 1])));
            EXPECT_TRUE(letters.insert(letter).second)
                << layoutRow.name << " shares its letter " << shown[marker + 1];
            EXPECT_EQ(shown.erase(marker, 1), layoutRow.caption) << "the caption itself is kept";
        }
    }
}

} // namespace
} // namespace zopra
