#include "protocol/ModelRules.h"

#include "protocol/Numbers.h"

#include <array>

namespace zopra {

namespace {

// In the order the known-model test walks it.
constexpr std::array<std::string_view, 10> kModelTable = {
    "Vantor 24 PZ",    "Vantor 24",    "Vantor II 24 PZ", "Vantor II 24", "Vantor II 52 PZ",
    "Vantor II 52",    "Vantor 52 PZ", "Vantor 52",       "Tiber",        "QT-24",
};

constexpr std::array<std::string_view, 4> kSecondGeneration = {
    "Vantor II 24 PZ", "Vantor II 24", "Vantor II 52 PZ", "Vantor II 52"};

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

} // namespace

bool IsKnownModel(std::string_view name) {
    for (std::string_view entry : kModelTable)
        if (Contains(name, entry))
            return true;
    return false;
}

bool IsSecondGeneration(std::string_view name) {
    if (!IsKnownModel(name))
        return false;
    for (std::string_view entry : kSecondGeneration)
        if (Contains(name, entry))
            return true;
    return false;
}

bool HasAasOffsets(std::string_view name) { return IsKnownModel(name) && Contains(name, "PZ"); }

bool HidesBladeHolder(std::string_view connectionText) {
    return Contains(connectionText, "QT-24");
}

ModelRules RulesForModel(std::string_view name) {
    if (!IsKnownModel(name))
        return {400, std::nullopt, true, ModelRules::AasFunctions::Untouched};
    return {IsSecondGeneration(name) ? 350 : 250, 400, false,
            HasAasOffsets(name) ? ModelRules::AasFunctions::ReadAndEnable
                                : ModelRules::AasFunctions::HideAndDisable};
}

std::int32_t BladeForceValue(std::string_view modelName, std::int32_t position) {
    if (IsSecondGeneration(modelName))
        return position;
    // Known models take 1/256 steps, which gives the position back; the others take
    // 1/400 of the range of 256 steps, that is p x 0.64 rounded.
    const long double step = IsKnownModel(modelName) ? 0.00390625L : 0.0025L;
    return Trunc(position * step * 256 + 0.5L);
}

std::optional<std::int32_t> ForcePositionForValue(std::string_view modelName,
                                                  std::int32_t value) {
    const int maximum = RulesForModel(modelName).forceMaximum;
    for (std::int32_t position = kForcePositionMinimum; position <= maximum; ++position)
        if (BladeForceValue(modelName, position) == value)
            return position;
    return std::nullopt;
}

} // namespace zopra
