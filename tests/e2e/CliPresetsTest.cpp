// Material presets from the command line: saved from one cutter, applied to another, exported
// and imported, and refused before anything is sent when the cutter cannot take them.
#include "CliE2eSupport.h"

#include <fstream>

namespace zopra::e2e {
namespace {

TEST_F(CliTest, APresetSavedFromOneCutterMakesAnotherCutterReadTheSame) {
    VirtualCutterProcess flock({"--force", "150", "--blade-offset", "500", "--vector-quality", "3",
                                "--vector-smooth", "1", "--blade-holder", "1"});
    VirtualCutterProcess other({});
    const auto save = Cli({"preset", "save", "Flock", flock.Device(), "--note", "Blue flock"});
    ASSERT_EQ(save.status, 0) << save.err;
    EXPECT_EQ(Cli({"preset", "save", "Flock", flock.Device()}).status, 2) << "no overwrite";

    const Json list = ParseJson(Cli({"preset", "list", "--json"}).out);
    ASSERT_EQ(list["presets"].size(), 1u);
    EXPECT_EQ(list["presets"][0]["note"], "Blue flock");

    const auto apply = Cli({"preset", "apply", "Flock", other.Device()});
    ASSERT_EQ(apply.status, 0) << apply.err;
    const Json want = ParseJson(Cli({"read", flock.Device(), "--json"}).out);
    const Json got = ParseJson(Cli({"read", other.Device(), "--json"}).out);
    EXPECT_EQ(got["settings"], want["settings"]);

    // Export, delete, import: the same preset back; a second import is refused whole.
    const std::string exported = (folder_ / "presets.json").string();
    ASSERT_EQ(Cli({"preset", "export", exported}).status, 0);
    ASSERT_EQ(Cli({"preset", "delete", "Flock"}).status, 0);
    EXPECT_EQ(Cli({"preset", "show", "Flock"}).status, 2);
    ASSERT_EQ(Cli({"preset", "import", exported}).status, 0);
    EXPECT_EQ(ParseJson(Cli({"preset", "list", "--json"}).out)["presets"], list["presets"]);
    EXPECT_EQ(Cli({"preset", "import", exported}).status, 2);

    // A force above the model's maximum and an unknown name: exit 2, one line, nothing sent.
    std::ifstream in(exported);
    Json document = Json::parse(in);
    document["presets"][0]["settings"]["force"] = 999;
    std::ofstream(exported) << document.dump();
    ASSERT_EQ(Cli({"preset", "import", exported, "--replace"}).status, 0);
    other.StopAndLog();
    VirtualCutterProcess third({});
    for (const char* name : {"Flock", "Vinyl"}) {
        const auto refused = Cli({"preset", "apply", name, third.Device()});
        EXPECT_EQ(refused.status, 2) << name;
        EXPECT_EQ(ErrorLines(refused), 1) << refused.err;
    }
    EXPECT_TRUE(WritesIn(third.StopAndLog()).empty());
}

} // namespace
} // namespace zopra::e2e
