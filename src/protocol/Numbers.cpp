#include "protocol/Numbers.h"

#include "protocol/ExactDecimal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>

namespace zopra {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

[[noreturn]] void NotAFloat(std::string_view text) {
    throw ConversionError("'" + std::string(text) + "' is not a valid floating point value");
}

// printf writes the decimal point of the C library's locale (on Linux, starting Qt sets it
// from the user's environment, and a German one writes ","). The program's own text must
// not follow it: whatever stands between the digits that is not a sign or an exponent is
// that point, one byte or several, and becomes decimalSeparator.
std::string WithSeparator(std::string_view printed, char decimalSeparator) {
    std::string text;
    bool inPoint = false;
    for (char c : printed) {
        const bool ours = IsDigit(c) || c == '-' || c == '+' || c == 'e' || c == 'E';
        if (ours)
            text += c;
        else if (!inPoint)
            text += decimalSeparator;
        inPoint = !ours;
    }
    return text;
}

} // namespace

long double StrToFloat(std::string_view text, char decimalSeparator) {
    std::string_view t = text;
    while (!t.empty() && IsBlank(t.front()))
        t.remove_prefix(1);
    while (!t.empty() && IsBlank(t.back()))
        t.remove_suffix(1);

    // The digits are read by hand, not with strtold (which follows the process locale) or
    // from_chars (which MinGW reads in double precision only).
    std::string digits;
    long exponent10 = 0;
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        negative = t[i++] == '-';
    while (i < t.size() && IsDigit(t[i]))
        digits += t[i++];
    if (i < t.size() && t[i] == decimalSeparator) {
        ++i;
        while (i < t.size() && IsDigit(t[i])) {
            digits += t[i++];
            --exponent10;
        }
    }
    if (digits.empty())
        NotAFloat(text);
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            negativeExponent = t[i++] == '-';
        // Far beyond either end of the range already; capping keeps the sum from overflowing.
        long written = 0;
        int exponentDigits = 0;
        while (i < t.size() && IsDigit(t[i])) {
            written = std::min(written * 10 + (t[i++] - '0'), 100000000L);
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            NotAFloat(text);
        exponent10 += negativeExponent ? -written : written;
    }
    if (i != t.size())
        NotAFloat(text);

    // Quick and exact for what people type: up to 19 significant digits fit the 64-bit
    // mantissa, and up to 10^27 every power of ten is exact too, so one multiplication or
    // division of two exact values rounds correctly. Everything else takes the slow road.
    const std::size_t firstSignificant = std::min(digits.find_first_not_of('0'), digits.size());
    const std::string_view significant = std::string_view(digits).substr(firstSignificant);
    constexpr std::size_t kMantissaDigits = 19;
    constexpr long kExactPowers = 27;
    long double value = 0;
    if (significant.size() <= kMantissaDigits && exponent10 >= -kExactPowers &&
        exponent10 <= kExactPowers) {
        std::uint64_t mantissa = 0;
        for (char c : significant)
            mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
        long double power = 1;
        for (long k = 0; k < std::labs(exponent10); ++k)
            power *= 10;
        value = static_cast<long double>(mantissa);
        value = exponent10 < 0 ? value / power : value * power;
    } else {
        const std::optional<long double> nearest = NearestExtended(significant, exponent10);
        if (!nearest)
            NotAFloat(text); // beyond the largest extended value
        value = *nearest;
    }
    return negative ? -value : value;
}

long double StrToFloatForDouble(std::string_view text, char decimalSeparator) {
    const long double value = StrToFloat(text, decimalSeparator);
    if (!std::isfinite(static_cast<double>(value)))
        NotAFloat(text);
    return value;
}

std::int32_t Trunc(long double value) {
    const long double truncated = std::trunc(value);
    if (!std::isfinite(value) || truncated < std::numeric_limits<std::int32_t>::min() ||
        truncated > std::numeric_limits<std::int32_t>::max())
        throw ConversionError("'" + FormatGeneral(value) + "' does not fit in an integer");
    return static_cast<std::int32_t>(truncated);
}

std::string FormatGeneral(long double value, char decimalSeparator) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15Lg", value);
    std::string text = WithSeparator(buffer, decimalSeparator);
    // "1e-05" becomes "1E-5": an exponent without padding zeros.
    if (auto e = text.find('e'); e != std::string::npos) {
        std::string mantissa = text.substr(0, e);
        std::string exponent = text.substr(e + 1);
        const char sign = exponent.front();
        exponent.erase(0, 1);
        exponent.erase(0, exponent.find_first_not_of('0'));
        text = mantissa + "E" + (sign == '-' ? "-" : "") + exponent;
    }
    if (text == "-0")
        text = "0";
    return text;
}

std::string FormatFixed(long double value, int decimals, char decimalSeparator) {
    if (!std::isfinite(value))
        return FormatGeneral(value, decimalSeparator);
    // Sized by a first measuring pass: the largest extended value has 4933 integer digits,
    // and a fixed text is never cut.
    const int length = std::snprintf(nullptr, 0, "%.*Lf", decimals, value);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), "%.*Lf", decimals, value);
    text.pop_back();
    text = WithSeparator(text, decimalSeparator);
    // A value that rounds to zero is shown without a sign.
    if (text.front() == '-' &&
        text.find_first_not_of(std::string("-0") + decimalSeparator) == std::string::npos)
        text.erase(0, 1);
    return text;
}

double PlotterUnitsToMm(long double plotterUnits) {
    return static_cast<double>(plotterUnits * units::kMmPerPlotterUnit);
}

std::int32_t TestSquareUnits(long double typed, bool inches) {
    if (inches)
        return Trunc(typed * units::kPlotterUnitsPerMm * units::kMmPerInchTestSquare);
    return Trunc(typed * units::kPlotterUnitsPerMm);
}

std::int32_t AasUnits(long double typed, bool inches) {
    const long double product = inches
                                    ? typed * units::kPlotterUnitsPerMm * units::kMmPerInchAas
                                    : typed * units::kPlotterUnitsPerMm;
    // 0.005 inch x 40 x 25 lands just below 5 in binary: taken to a billionth of a unit
    // first, a value that is a whole number of units in decimal stays one, and a real
    // fraction (0.02 mm is 0.8 units) is still cut off.
    if (!std::isfinite(product))
        return Trunc(product);
    return Trunc(std::nearbyint(product * 1e9L) / 1e9L);
}

std::int32_t AasUnitsNearest(long double shown, bool inches) {
    const long double perShown =
        inches ? units::kPlotterUnitsPerMm * units::kMmPerInchAas : units::kPlotterUnitsPerMm;
    return Trunc(std::round(shown * perShown));
}

long double AasUnitsToDisplay(long double plotterUnits, bool inches) {
    const long double mm = plotterUnits * units::kMmPerPlotterUnit;
    return inches ? mm * units::kInchPerMmAas : mm;
}

long double BladeOffsetToDisplay(long double micrometres, bool inches) {
    const long double mm = micrometres * units::kMmPerMicrometre;
    return inches ? mm * units::kInchPerMmAas : mm;
}

long double BladeOffsetFromDisplay(long double typed, bool inches) {
    return inches ? typed * 1000.0L * units::kMmPerInchAas : typed * 1000.0L;
}

std::string PaperInchText(double mm, char decimalSeparator) {
    const long double hundredths = std::fabs(
        static_cast<long double>(Trunc(static_cast<long double>(mm) * units::kInchPerMm * 100.0L)));
    return FormatGeneral(hundredths * 0.01L, decimalSeparator);
}

std::string OunceText(std::int32_t grams, char decimalSeparator) {
    const long double ounces = grams * units::kOuncePerGram;
    const long double hundredths = StrToFloat(FormatGeneral(ounces)) * 100.0L;
    const long double rounded = std::fabs(std::nearbyint(hundredths));
    return FormatGeneral(rounded * 0.01L, decimalSeparator);
}

} // namespace zopra
