#include "protocol/ParameterDisplay.h"

#include "protocol/Numbers.h"

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
    d.unrollIndex = Trunc(v.FAutoUnroll);
    d.smoothIndex = Trunc(v.FVectorSmooth);
    d.forcePosition = Trunc(v.FBladeForce);
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

std::int32_t AasOffsetAfterAdjustment(long double adjustment, double currentPlotterUnits,
                                      bool inches) {
    // The window takes the current offset back from the text of its label, not from the
    // record, so the sum is the one the user sees.
    const long double shown = StrToFloat(AasOffsetText(currentPlotterUnits, inches));
    const long double sum =
        static_cast<long double>(AasUnits(adjustment, inches)) + AasUnits(shown, inches);
    return Trunc(sum);
}

} // namespace zopra
