#pragma once
// STEP2 of the calibration: whether the size measured on the plotted test square is close
// enough to the size asked for that new scale factors may be sent.
#include <stdexcept>

namespace zopra {

// A measured size of 0.
class DivisionByZeroError : public std::runtime_error {
public:
    DivisionByZeroError() : std::runtime_error("Floating point division by zero") {}
};

// Shown (and nothing sent) when a measured size lies outside the band. The band is 5 % either
// way although the text speaks of 3 %: cutters have been calibrated with this band for years.
inline constexpr const char* kCalibrationOutOfBandMessage =
    "The actual output size should not differ from the test plot size by over 3%."
    "Please check and enter the actual output size again.";

// True when 0.95 < test / measured < 1.05 on both axes (ratios in double precision).
// Throws DivisionByZeroError when a measured size is 0; a test size of 0 is simply outside.
bool CalibrationSizesAccepted(long double testX, long double testY, long double measuredX,
                              long double measuredY);

} // namespace zopra
