#pragma once
// Every number-to-text and text-to-number step of the program, so that the rules live in
// one place: strict parsing into extended precision, truncation toward zero that refuses
// what does not fit, the general and fixed formats, and the unit conversions.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zopra {

// The arithmetic below relies on the 64-bit mantissa of x87 extended precision: with it,
// 19.685 inches give 19999 plotter units and 0.075 mm + 0.1 mm give an offset of 7.
static_assert(sizeof(long double) > sizeof(double) && __LDBL_MANT_DIG__ == 64,
              "zopra needs an 80-bit long double (GCC or MinGW on x86)");

// A text that is not a number, or a number that does not fit where it goes.
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Strict decimal conversion: blanks around, optional sign, digits with an optional
// decimal part (written with decimalSeparator) and an optional exponent; nothing else.
// Throws ConversionError("'<text>' is not a valid floating point value").
long double StrToFloat(std::string_view text, char decimalSeparator = '.');

// StrToFloat for a value that will be kept in a double: one beyond the double's range
// (which the extended type still holds) would turn into infinity there, so it is refused
// with the same error.
long double StrToFloatForDouble(std::string_view text, char decimalSeparator = '.');

// Truncation toward zero into a 32-bit integer. A value that is not finite or lies outside
// the integer's range throws ConversionError instead of being undefined.
std::int32_t Trunc(long double value);

// Shortest general format: at most 15 significant digits, no trailing zeros, so 1.0 is "1"
// and 120.0 is "120"; very large or small magnitudes use an exponent ("1E-5"). The two
// formats write decimalSeparator whatever the C library's locale is.
std::string FormatGeneral(long double value, char decimalSeparator = '.');

// The fixed patterns "0.0" (decimals 1) and "0.000" (decimals 3), rounded to nearest.
std::string FormatFixed(long double value, int decimals, char decimalSeparator = '.');

// Units of the cutter and the window.
namespace units {
inline constexpr long double kMmPerPlotterUnit = 0.025L;
inline constexpr long double kPlotterUnitsPerMm = 40.0L;
// The test square uses the double nearest to 25.4, so a whole number of inches lands
// just below the integer (1 inch gives 1015 units).
inline constexpr long double kMmPerInchTestSquare = 25.4;
// The AAS offsets count an inch as 25 mm (1000 units per inch).
inline constexpr long double kMmPerInchAas = 25.0L;
inline constexpr long double kInchPerMm = 0.03937007874015748L;
inline constexpr long double kInchPerMmAas = 0.04L;
inline constexpr long double kMmPerMicrometre = 0.001L;
inline constexpr long double kOuncePerGram = 0.035273368606701938L;
} // namespace units

// Reply value in plotter units to millimetres (paper size).
double PlotterUnitsToMm(long double units);

// Side of the test square typed in mm (or inches) to plotter units, truncated.
std::int32_t TestSquareUnits(long double typed, bool inches);

// An AAS length typed in mm (or inches, 1000 units each) to plotter units, truncated after
// the product is taken to a billionth of a unit (so 0.005 inch is 5 units, not 4).
std::int32_t AasUnits(long double typed, bool inches);

// An AAS offset as the window shows it (AasUnitsToDisplay) back to plotter units, to the
// nearest unit: the shown 0.04 inch of 40 units is 39.999... units in extended precision,
// and truncating it would lose a unit on every update.
std::int32_t AasUnitsNearest(long double shown, bool inches);

// AAS offset in plotter units as the window shows it: mm, or inches counted as mm x 0.04.
long double AasUnitsToDisplay(long double units, bool inches);

// Blade offset in micrometres as the window shows it: mm, or inches as mm x 0.04.
long double BladeOffsetToDisplay(long double micrometres, bool inches);

// A blade offset typed in mm (x 1000) or inches (x 1000 x 25) to micrometres.
long double BladeOffsetFromDisplay(long double typed, bool inches);

// Paper length or width in mm shown in inches: hundredths of an inch, cut (not rounded)
// and made non-negative, in general format.
std::string PaperInchText(double mm, char decimalSeparator = '.');

// Blade force in grams shown in ounces, to two decimals: the general text of
// grams x 0.0352733686..., read back, x 100, rounded, made non-negative, x 0.01.
// 5 g shows 0.18, 100 g 3.53, 400 g 14.11.
std::string OunceText(std::int32_t grams, char decimalSeparator = '.');

} // namespace zopra
