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
    // Each part is truncated on its own, so a current offset read back from its label
    // comes back whole and an adjustment below one plotter unit adds nothing.
    return {std::int64_t{AasUnits(ax, inches)} + AasUnits(cx, inches),
            std::int64_t{AasUnits(ay, inches)} + AasUnits(cy, inches)};
}

} // namespace zopra
