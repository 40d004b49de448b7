#pragma once
// The arithmetic of the "Adjust" page: whether the size measured on the plotted test square
// is close enough to the size asked for that new scale factors may be sent (STEP2), and the
// AAS offset adjustment. The command texts themselves are in Commands.h.
#include "protocol/MachineSettings.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

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

// What a change of page writes into the page's fields, in the unit system shown: no
// adjustment ("0.0" or "0.000"), a test square of 500 mm ("500.0" or "19.685" inches) and
// the current AAS offsets (plotter units) as the labels show them.
struct AdjustPageDefaults {
    std::string adjustment;
    std::string testSize;
    std::string aasX;
    std::string aasY;
};
AdjustPageDefaults MakeAdjustPageDefaults(bool inches, double aasX, double aasY,
                                          char decimalSeparator = '.');

// A spinner position as the adjustment it stands for: one plotter unit (0.025 mm) a step.
std::string AasStepText(int position, char decimalSeparator = '.');

// The spinner's adjustment text in mm shown in inches (x 0.04, an inch counted as 25 mm).
// Throws ConversionError for a text that is not a number.
std::string AasAdjustmentInInches(std::string_view mmText, char decimalSeparator = '.');

// The AAS offsets an update sends, in plotter units: the typed adjustment and the current
// offset (as its label shows it) are each turned into plotter units and truncated, then
// added. The adjustment is truncated; the current offset is taken to the nearest unit, so an
// offset that is not adjusted goes back exactly as the cutter reported it. The texts are read
// in the order adjustment X, Y, current X, Y; a text that is not a number, or a value or sum
// that does not fit the cutter's 32-bit integer, throws ConversionError before anything is
// sent. No range check beyond that.
struct AasOffsetPair {
    std::int32_t x = 0;
    std::int32_t y = 0;
};
AasOffsetPair AdjustedAasOffsets(std::string_view adjustX, std::string_view adjustY,
                                 std::string_view currentX, std::string_view currentY, bool inches,
                                 char decimalSeparator = '.');

// Values a command builds on that were not read from the cutter now connected (a connect
// whose replies never came, or none yet since the connection was opened).
class NotReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Calibration multiplies the cutter's own scale factors: without them it would send 0.
void RequireScaleFactorsRead(const MachineSettings& values);
// The AAS update adds to the cutter's current offsets.
void RequireAasOffsetsRead(const MachineSettings& values);

} // namespace zopra
