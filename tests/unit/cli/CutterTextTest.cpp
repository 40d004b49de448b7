// The cutter's texts as zopra-cli writes them out: every byte one Latin-1 character, valid
// UTF-8 for JSON, and no control character on a terminal.
#include "settings/CutterText.h"
#include "cli/Reports.h"

#include <gtest/gtest.h>

namespace zopra::cli {

using namespace settings;
namespace {

TEST(CutterText, EveryByteIsOneCharacterAndNoControlReachesTheTerminal) {
    struct Case {
        std::string bytes, json, shown;
    };
    const std::vector<Case> cases = {
        {"Vantor II 24 PZ", "Vantor II 24 PZ", "Vantor II 24 PZ"},
        {"Vant\xe9r", "Vant\u00e9r", "Vant\u00e9r"},
        {"\xc3\xa9", "\u00c3\u00a9", "\u00c3\u00a9"}, // bytes that happen to be UTF-8, too
        {"A\nB\r", "A\nB\r", "A?B?"},
        {"\x1b[2J\x7f", "\x1b[2J\x7f", "?[2J?"},
        {"\x9b\xa0\xff", "\u009b\u00a0\u00ff", "?\u00a0\u00ff"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CutterText(c.bytes), c.json) << c.bytes;
        EXPECT_EQ(ShownText(c.bytes), c.shown) << c.bytes;
    }
    // A list entry stays one line whatever the cutter calls itself.
    EXPECT_EQ(ConnectionsText({{"Vantor\n24", kLinkPrinterClass, 0, "/dev/usb/lp0"}}),
              "0  Vantor?24 (/dev/usb/lp0)\n");
}

} // namespace
} // namespace zopra::cli
