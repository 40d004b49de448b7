// The journal from the command line: a `set` is in the history, `undo` brings the cutter
// back, and an undo over a change made elsewhere (another computer, whose journal this one
// does not see) is refused with the difference named and nothing sent.
#include "CliE2eSupport.h"

namespace zopra::e2e {
namespace {

TEST_F(CliTest, SetHistoryUndoAndUndoRefusedAfterAChangeMadeElsewhere) {
    VirtualCutterProcess cutter({"--force", "120", "--vector-quality", "1", "--log"});
    const std::string device = cutter.Device();
    ASSERT_EQ(Cli({"set", device, "force=150", "quality=draft"}).status, 0);

    const Json history = ParseJson(Cli({"history", device, "--json"}).out);
    EXPECT_EQ(history["version"], 1);
    ASSERT_EQ(history["entries"].size(), 1u);
    const Json& set = history["entries"][0];
    EXPECT_EQ(set["action"], "Set force=150 quality=draft");
    EXPECT_EQ(set["before"]["parameters"]["blade_force_g"], 120);
    EXPECT_EQ(set["after"]["parameters"]["blade_force_g"], 150);
    EXPECT_EQ(set["after"]["parameters"]["vector_quality"], 3);
    EXPECT_EQ(set["after"]["read_back"], true);
    EXPECT_EQ(set["outcome"], "all written");
    EXPECT_EQ(set["cutter"]["port"], device);

    const auto undo = Cli({"undo", device, "--json"});
    ASSERT_EQ(undo.status, 0) << undo.err;
    const Json undone = ParseJson(undo.out);
    EXPECT_EQ(undone["undone"], 1);
    EXPECT_EQ(undone["read_back_matched"], true);
    EXPECT_EQ(undone["sent"].size(), 9u);
    const Json read = ParseJson(Cli({"read", device, "--json"}).out);
    EXPECT_EQ(read["parameters"]["blade_force_g"], 120);
    EXPECT_EQ(read["parameters"]["vector_quality"], 1);
    const auto lines = Cli({"history", device});
    EXPECT_NE(lines.out.find("2  "), std::string::npos);
    EXPECT_NE(lines.out.find("Undo of 1: force 150 -> 120 g, quality Draft -> Fine"),
              std::string::npos)
        << lines.out;

    // Another computer sets the force; its journal is its own.
    const std::string other = (folder_ / "other-computer").string();
    const auto elsewhere = testing::Run(
        {"/usr/bin/env", "XDG_CONFIG_HOME=" + other, CLI_PROGRAM, "set", device, "force=170"});
    ASSERT_EQ(elsewhere.status, 0) << elsewhere.err;

    // The same cutter now holds 170 g, where the newest entry of this journal left 120 g.
    const auto refused = Cli({"undo", device});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("force 120 -> 170 g"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("nothing was sent"), std::string::npos);
    EXPECT_EQ(Cli({"undo", device, "--to", "99"}).status, 2);
    EXPECT_EQ(ParseJson(Cli({"history", "--json"}).out)["entries"].size(), 2u);
    EXPECT_EQ(WritesIn(cutter.StopAndLog()).size(), 27u)
        << "set, undo and the other computer's set, nine writes each; nothing after";
}

} // namespace
} // namespace zopra::e2e
