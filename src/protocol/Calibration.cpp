#include "protocol/Calibration.h"

#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"

namespace zopra {

namespace {

double Ratio(long double test, long double measured) {
    if (measured == 0)
        throw DivisionByZeroError();
    return static_cast<double>(test) / static_cast<double>(measured);
}

bool InBand(double ratio) { return ratio > 0.95 && ratio < 1.05; }

} // namespace

bool CalibrationSizesAccepted(long double testX, long double testY, long double measuredX,
                              long double measuredY) {
    const double rx = Ratio(testX, measuredX);
    const double ry = Ratio(testY, measuredY);
    return InBand(rx) && InBand(ry);
}

AdjustPageDefaults MakeAdjustPageDefaults(bool inches, double aasX, double aasY, char sep) {
    constexpr long double kTestSizeMm = 500;
    AdjustPageDefaults d;
    d.adjustment = FormatFixed(0, inches ? 3 : 1, sep);
    d.testSize = inches ? FormatFixed(kTestSizeMm / units::kMmPerInchTestSquare, 3, sep)
                        : FormatFixed(kTestSizeMm, 1, sep);
    d.aasX = AasOffsetText(aasX, inches, sep);
    d.aasY = AasOffsetText(aasY, inches, sep);
    return d;
}

std::string AasStepText(int position, char sep) {
    return FormatGeneral(position * units::kMmPerPlotterUnit, sep);
}

std::string AasAdjustmentInInches(std::string_view mmText, char sep) {
    return FormatGeneral(StrToFloat(mmText, sep) * units::kInchPerMmAas, sep);
}

AasOffsetPair AdjustedAasOffsets(std::string_view adjustX, std::string_view adjustY,
                                 std::string_view currentX, std::string_view currentY, bool inches,
                                 char sep) {
    const long double ax = StrToFloat(adjustX, sep);
    const long double ay = StrToFloat(adjustY, sep);
    const long double cx = StrToFloat(currentX, sep);
    const long double cy = StrToFloat(currentY, sep);
    // The typed adjustment is truncated, so one below a plotter unit adds nothing; the
    // current offset goes back to the whole number of units its label was made from. The
    // sum is sent as the cutter's 32-bit integer, so one beyond it is refused, not sent.
    const auto sum = [](std::int32_t adjustment, std::int32_t current) {
        return Trunc(static_cast<long double>(std::int64_t{adjustment} + current));
    };
    return {sum(AasUnits(ax, inches), AasUnitsNearest(cx, inches)),
            sum(AasUnits(ay, inches), AasUnitsNearest(cy, inches))};
}

void RequireScaleFactorsRead(const MachineSettings& values) {
    if (!values.FScalesRead)
        throw NotReadError("The scale factors have not been read from this machine; nothing "
                           "was sent. Connect again.");
}

void RequireAasOffsetsRead(const MachineSettings& values) {
    if (!values.FAasOffsetsRead)
        throw NotReadError("The AAS offsets have not been read from this machine; nothing was "
                           "sent. Connect again.");
}

} // namespace zopra
