#include "protocol/Calibration.h"

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

} // namespace zopra
