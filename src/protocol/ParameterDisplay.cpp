#include "protocol/ParameterDisplay.h"

#include "protocol/ModelRules.h"
#include "protocol/Numbers.h"

#include <cmath>

namespace zopra {

bool IsHeavyMedia(double speed) { return speed >= 1 && speed < 30; }

int BladeOffsetIndex(double micrometres) {
    if (micrometres == 0)
        return 0;
    const double upperBounds[] = {175, 250, 275, 300, 500, 750};
    for (int i = 0; i < 6; ++i)
        if (micrometres <= upperBounds[i])
            return i + 1;
    return 7;
}

std::optional<int> BladeOffsetEntryIndex(long double micrometres) {
    for (std::size_t i = 0; i < kBladeOffsetEntries.size(); ++i) {
        const long double difference = micrometres - kBladeOffsetEntries[i];
        if (difference > -0.001L && difference < 0.001L)
            return static_cast<int>(i);
    }
    return std::nullopt;
}

int ListPosition(double value, int count) {
    if (!std::isfinite(value))
        return -1;
    const double position = std::trunc(value);
    return position >= 0 && position < count ? static_cast<int>(position) : -1;
}

ParameterDisplay MakeParameterDisplay(const MachineSettings& v, char sep) {
    ParameterDisplay d;
    d.length = FormatGeneral(v.FPaperLength, sep);
    d.width = FormatGeneral(v.FPaperWidth, sep);
    d.speed = FormatGeneral(v.FSpeed, sep);
    d.force = FormatGeneral(v.FBladeForce, sep);
    d.offset = FormatGeneral(v.FBladeOffset, sep);
    d.accel = FormatGeneral(v.FVectorQuality, sep);
    d.smooth = FormatGeneral(v.FVectorSmooth, sep);
    d.unroll = FormatGeneral(v.FAutoUnroll, sep);
    d.media = FormatGeneral(v.FMediaType, sep);
    d.xScale = FormatGeneral(v.FXScale, sep);
    d.yScale = FormatGeneral(v.FYScale, sep);
    d.cname = v.FCName;
    d.model = v.FModelName;
    d.version = v.FVersion;
    d.date = v.FDate;
    d.time = v.FTime;

    const bool heavy = IsHeavyMedia(v.FSpeed);
    d.weight = heavy ? "Heavy" : "Light";
    d.weightIndex = heavy ? 0 : 1;
    if (v.FVectorQuality == 1 || v.FVectorQuality == 2)
        d.accelIndex = 0;
    else if (v.FVectorQuality == 3 || v.FVectorQuality == 5)
        d.accelIndex = 1;
    d.mediaIndex = v.FMediaType == 3 ? 0 : 1;
    d.unrollIndex = ListPosition(v.FAutoUnroll, 2);
    d.smoothIndex = ListPosition(v.FVectorSmooth, 2);
    try {
        // The bar stands where "Update" sends the force read, so that reading and updating
        // without a change writes back what was read (a cutter outside the model table is
        // sent the position x 0.64). A force no position sends keeps the bar at the value.
        const std::int32_t force = Trunc(v.FBladeForce);
        d.forcePosition = ForcePositionForValue(v.FModelName, force).value_or(force);
    } catch (const ConversionError&) {
        // A force beyond any integer has no bar position; the label above still shows it.
    }
    d.bladeHolderIndex = v.FBladeHolder == 0 ? 0 : 1;
    d.offsetIndex = BladeOffsetIndex(v.FBladeOffset);
    return d;
}

std::string BladeOffsetText(double micrometres, bool inches, char sep) {
    return FormatGeneral(static_cast<double>(BladeOffsetToDisplay(micrometres, inches)), sep);
}

std::string AasOffsetText(double plotterUnits, bool inches, char sep) {
    return FormatGeneral(static_cast<double>(AasUnitsToDisplay(plotterUnits, inches)), sep);
}

const char* LengthUnitName(bool inches) {
    return inches ? "Inch" : "mm";
}

const char* ForceUnitName(bool inches) {
    return inches ? "oz" : "g";
}

std::string PaperSizeText(double mm, bool inches, char sep) {
    return inches ? PaperInchText(mm, sep) : FormatGeneral(mm, sep);
}

std::string BladeForceText(std::int32_t grams, bool inches, char sep) {
    return inches ? OunceText(grams, sep) : std::to_string(grams);
}

std::vector<std::string> BladeOffsetEntries(bool inches, char sep) {
    std::vector<std::string> entries;
    for (int micrometres : kBladeOffsetEntries)
        entries.push_back(FormatFixed(BladeOffsetToDisplay(micrometres, inches), 3, sep));
    return entries;
}

std::string ConvertBladeOffsetText(std::string_view text, bool toInches, char sep) {
    const long double factor = toInches ? units::kInchPerMmAas : units::kMmPerInchAas;
    return FormatGeneral(StrToFloat(text, sep) * factor, sep);
}

UnitSwitch MakeUnitSwitch(const MachineSettings& values, bool inches, bool convertOffset,
                          std::string_view offsetText, std::int32_t forcePosition, char sep) {
    UnitSwitch u;
    u.lengthUnit = LengthUnitName(inches);
    u.forceUnit = ForceUnitName(inches);
    u.length = PaperSizeText(values.FPaperLength, inches, sep);
    u.width = PaperSizeText(values.FPaperWidth, inches, sep);
    u.force = BladeForceText(forcePosition, inches, sep);
    // A list with no value (after a read that failed) has nothing to convert.
    const bool blank = offsetText.find_first_not_of(' ') == std::string_view::npos;
    u.offsetText = convertOffset && !blank ? ConvertBladeOffsetText(offsetText, inches, sep)
                                           : std::string(offsetText);
    u.offsetEntries = BladeOffsetEntries(inches, sep);
    return u;
}

std::string OffsetBarText(int position, char sep) {
    return FormatGeneral(position * 25 * units::kMmPerMicrometre, sep);
}

} // namespace zopra
