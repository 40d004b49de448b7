// The presets file: what is refused (and then never overwritten), and two processes saving
// at once, each under the lock, losing nothing.
#include "settings/InputError.h"
#include "settings/PresetStore.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace zopra::settings {
namespace {

namespace fs = std::filesystem;

class PresetFileTest : public ::testing::Test {
protected:
    PresetFileTest()
        : folder_(fs::temp_directory_path() /
                  ("zopra-presets-" + std::to_string(std::random_device()()))) {
        fs::create_directories(folder_);
    }
    ~PresetFileTest() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    fs::path folder_;
};

MachineSettings Read(double force) {
    MachineSettings v;
    v.FModelName = "Vantor 52";
    v.FSpeed = 60;
    v.FBladeForce = force;
    v.FBladeOffset = 250;
    v.FVectorQuality = 1;
    v.FMediaType = 3;
    return v;
}

std::string Document(const std::string& presets) {
    return R"({"version": 1, "document": "zopra-presets", "presets": [)" + presets + "]}";
}

const std::string kSettings =
    R"("settings": {"offset": "0.250", "force": 120, "weight": "heavy", "quality": "fine",
       "smooth": "off", "unroll": "off", "media": "roll", "holder": null})";

TEST(Presets, BadFilesAndNamesAreRefusedWithTheirReason) {
    struct Case {
        std::string text, reason;
    };
    const std::string flock = R"({"name": "Flock", )" + kSettings + "}";
    const std::vector<Case> cases = {
        {"{", "not JSON"},
        {"[]", "not a presets document"},
        {R"({"version": 2, "document": "zopra-presets", "presets": []})", "version 1"},
        {Document(R"({"name": 7})"), "no text \"name\""},
        {Document(R"({"name": "", )" + kSettings + "}"), "1 to 64 characters, not 0"},
        {Document(R"({"name": ")" + std::string(1000, 'x') + "\"}"), "not 1000"},
        {Document(R"({"name": "a/b"})"), "no / or \\"},
        {Document(R"({"name": "a\\b"})"), "no / or \\"},
        {Document(R"({"name": "a\nb"})"), "without control characters"},
        {Document(R"({"name": "a\u0085b"})"), "without control characters"},
        {Document(R"({"name": "Flock"})"), "\"settings\" is not an object"},
        {Document(flock + "," + flock), "'Flock' twice"},
        {Document(R"({"name": "X", "settings": {"force": "120"}})"), "is string"},
        {Document(R"({"name": "X", "settings": {"force": 120.5}})"), "is number"},
        {Document(R"({"name": "X", "settings": {"speed": "fast"}})"), "unknown setting"},
        {Document(R"({"name": "X", "settings": {"offset": "0.4", "force": 120}})"),
         "not one of the blade offsets"},
        {Document(R"({"name": "X", "settings": {"offset": "0.250", "force": 120}})"),
         "has no weight"},
    };
    for (const Case& c : cases) {
        try {
            ParsePresets(c.text);
            ADD_FAILURE() << "taken: " << c.text;
        } catch (const InputError& error) {
            EXPECT_NE(std::string(error.what()).find(c.reason), std::string::npos)
                << error.what() << " for " << c.text;
        }
    }
    // 64 characters of UTF-8 text are a name; the same with 65 are not.
    std::string name;
    for (int i = 0; i < 64; ++i)
        name += "\u00e9";
    EXPECT_NO_THROW(CheckPresetName(name));
    EXPECT_THROW(CheckPresetName(name + "e"), InputError);
    EXPECT_THROW(CheckPresetName("\xc3"), InputError);
}

TEST_F(PresetFileTest, ABrokenFileIsNeverOverwrittenAndAPresetTheModelCannotTakeIsRefused) {
    PresetStore store(folder_ / "presets.json");
    store.Change([](std::vector<Preset>& presets) {
        PutPreset(presets, PresetFromRead("Flock", "", Read(120), false), false);
    });
    EXPECT_THROW(store.Change([](std::vector<Preset>& presets) {
        PutPreset(presets, PresetFromRead("Flock", "", Read(90), false), false);
    }),
                 InputError);
    const std::vector<Preset> presets = store.Load();
    ASSERT_EQ(presets.size(), 1u);
    EXPECT_EQ(*presets[0].settings.force, 120);

    // Above the force maximum of a model, and a holder where the connection shows none.
    Preset heavy = presets[0];
    heavy.settings.force = 999;
    EXPECT_THROW(PlanPreset(heavy, Read(120), true), InputError);
    Preset holder = PresetFromRead("Holder", "", Read(120), true);
    EXPECT_THROW(PlanPreset(holder, Read(120), false), InputError);
    EXPECT_EQ(PlanPreset(presets[0], Read(50), true).forceValue, 120);

    std::ofstream(store.File()) << "{ not JSON";
    EXPECT_THROW(store.Change([](std::vector<Preset>&) {}), InputError);
    std::ifstream in(store.File());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "{ not JSON");
}

TEST_F(PresetFileTest, TwoProcessesSavingAtOnceLoseNoPreset) {
    constexpr int kEach = 40;
    const fs::path file = folder_ / "presets.json";
    auto saveMany = [&](const std::string& prefix) {
        PresetStore store(file);
        for (int i = 0; i < kEach; ++i)
            store.Change([&](std::vector<Preset>& presets) {
                PutPreset(presets, PresetFromRead(prefix + std::to_string(i), "", Read(120), false),
                          false);
            });
    };
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        try {
            saveMany("child ");
        } catch (...) {
            _exit(1);
        }
        _exit(0);
    }
    saveMany("parent ");
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(PresetStore(file).Load().size(), 2u * kEach);
}

} // namespace
} // namespace zopra::settings
