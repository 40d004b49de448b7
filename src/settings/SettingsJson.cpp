#include "settings/SettingsJson.h"

#include "protocol/ParameterDisplay.h"
#include "settings/CutterText.h"
#include "settings/SettingsPlan.h"

#include <cmath>

namespace zopra::settings {

namespace {

// Integral values go out as integers ("10000", not "10000.0").
Json Number(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9e15)
        return static_cast<std::int64_t>(value);
    return value;
}

} // namespace

Json CutterValuesJson(const MachineSettings& v, bool bladeHolderRead, bool aasOffsetsRead) {
    Json document;
    document["parameters"] = {
        {"speed", Number(v.FSpeed)},
        {"blade_force_g", Number(v.FBladeForce)},
        {"blade_offset_um", Number(v.FBladeOffset)},
        {"vector_quality", Number(v.FVectorQuality)},
        {"vector_smooth", Number(v.FVectorSmooth)},
        {"auto_unroll", Number(v.FAutoUnroll)},
        {"media_type", Number(v.FMediaType)},
        {"blade_holder", bladeHolderRead ? Number(v.FBladeHolder) : Json(nullptr)}};
    document["scale"] = {{"x", Number(v.FXScale)}, {"y", Number(v.FYScale)}};
    document["aas_offsets_units"] =
        aasOffsetsRead ? Json{{"x", Number(v.FAASXOffset)}, {"y", Number(v.FAASYOffset)}}
                       : Json(nullptr);
    return document;
}

Json ReadJson(const ReadResult& read) {
    const MachineSettings& v = read.values;
    Json settings;
    if (const auto index = BladeOffsetEntryIndex(v.FBladeOffset))
        settings["offset"] = BladeOffsetEntryText(*index);
    else
        settings["offset"] = nullptr;
    settings["force"] = Number(v.FBladeForce);
    const SettingsRequest request = RequestFromValues(v, read.bladeHolderRead);
    for (const Choice choice : kChoices) {
        const auto& index = request.choices[static_cast<std::size_t>(choice)];
        settings[ChoiceName(choice)] = index ? Json(ChoiceWord(choice, *index)) : Json(nullptr);
    }

    Json document;
    document["device"] = CutterText(read.device);
    document["identity"] = {{"cname", CutterText(v.FCName)},
                            {"model", CutterText(v.FModelName)},
                            {"version", CutterText(v.FVersion)},
                            {"date", CutterText(v.FDate)},
                            {"time", CutterText(v.FTime)}};
    document["paper"] = {{"length_mm", Number(v.FPaperLength)},
                         {"width_mm", Number(v.FPaperWidth)}};
    document.update(CutterValuesJson(v, read.bladeHolderRead, read.aasOffsetsRead));
    document["settings"] = settings;
    return document;
}

} // namespace zopra::settings
