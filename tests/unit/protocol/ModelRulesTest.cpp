#include "protocol/ModelRules.h"

#include <gtest/gtest.h>

namespace zopra {
namespace {

using Aas = ModelRules::AasFunctions;

TEST(ModelRules, ByModelName) {
    struct Case {
        const char* name;
        bool known;
        int forceMax;
        std::optional<int> speedMax;
        bool media;
        Aas aas;
        std::int32_t forceSentFor400;
    };
    const Case cases[] = {
        {"Vantor II 24 PZ", true, 350, 400, false, Aas::ReadAndEnable, 400},
        {"Vantor 52", true, 250, 400, false, Aas::HideAndDisable, 400},
        {"Vantor 24 PZ", true, 250, 400, false, Aas::ReadAndEnable, 400},
        {"Tiber", true, 250, 400, false, Aas::HideAndDisable, 400},
        {"QT-24", true, 250, 400, false, Aas::HideAndDisable, 400},
        {"vantor 24", false, 400, std::nullopt, true, Aas::Untouched, 256},
        {"", false, 400, std::nullopt, true, Aas::Untouched, 256},
        {"XYZ Vantor II 52 special", true, 350, 400, false, Aas::HideAndDisable, 400},
        {"PZ", false, 400, std::nullopt, true, Aas::Untouched, 256},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsKnownModel(c.name), c.known);
        const ModelRules r = RulesForModel(c.name);
        EXPECT_EQ(r.forceMaximum, c.forceMax);
        EXPECT_EQ(r.speedMaximum, c.speedMax);
        EXPECT_EQ(r.mediaListEnabled, c.media);
        EXPECT_EQ(r.aas, c.aas);
        EXPECT_EQ(BladeForceValue(c.name, 400), c.forceSentFor400);
    }
}

TEST(ModelRules, BladeForceRoundsForCuttersOutsideTheTable) {
    struct Case {
        std::int32_t position;
        std::int32_t sent;
    };
    for (const Case& c : {Case{5, 3}, Case{100, 64}, Case{400, 256}, Case{1, 1}}) {
        EXPECT_EQ(BladeForceValue("Unknown", c.position), c.sent) << c.position;
        EXPECT_EQ(BladeForceValue("Vantor 24", c.position), c.position);
        EXPECT_EQ(BladeForceValue("Vantor II 24", c.position), c.position);
    }
}

TEST(ModelRules, BladeHolderHiddenForQt24Entries) {
    EXPECT_TRUE(HidesBladeHolder("QT-24"));
    EXPECT_TRUE(HidesBladeHolder("XQT-24Y"));
    EXPECT_FALSE(HidesBladeHolder("COM3"));
    EXPECT_FALSE(HidesBladeHolder("qt-24"));
}

TEST(ModelRules, ForcePositionForValueInvertsTheSentValueWithinTheRange) {
    struct Case {
        const char* name;
        std::int32_t value;
        std::optional<std::int32_t> position;
    };
    const Case cases[] = {
        {"Vantor II 24 PZ", 120, 120}, {"Vantor II 24 PZ", 350, 350},
        {"Vantor II 24 PZ", 351, std::nullopt}, {"Vantor II 24 PZ", 4, std::nullopt},
        {"Tiber", 250, 250},           {"Tiber", 300, std::nullopt},
        {"unknown", 77, 120},          {"unknown", 256, 400},
        {"unknown", 3, 5},             {"unknown", 257, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ForcePositionForValue(c.name, c.value), c.position) << c.name << " " << c.value;
        if (c.position) {
            EXPECT_EQ(BladeForceValue(c.name, *c.position), c.value);
        }
    }
}

} // namespace
} // namespace zopra
