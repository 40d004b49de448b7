#include "protocol/Numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

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

// Puts the decimal separator of the user's locale into a text printed with '.'.
std::string WithSeparator(std::string text, char decimalSeparator) {
    for (char& c : text)
        if (c == '.')
            c = decimalSeparator;
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
    // from_chars (which MinGW reads in double precision only): up to 19 significant digits
    // into an exact integer, and a power of ten.
    constexpr int kMaxDigits = 19;
    std::uint64_t mantissa = 0;
    int significantDigits = 0;
    int digits = 0;
    long exponent10 = 0;
    auto takeDigit = [&](char c, bool fraction) {
        ++digits;
        if (significantDigits < kMaxDigits) {
            mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
            if (mantissa != 0)
                ++significantDigits;
            if (fraction)
                --exponent10;
        } else if (!fraction) {
            ++exponent10; // digits beyond what the mantissa holds only scale it
        }
    };

    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-'))
        negative = t[i++] == '-';
    while (i < t.size() && IsDigit(t[i]))
        takeDigit(t[i++], false);
    if (i < t.size() && t[i] == decimalSeparator) {
        ++i;
        while (i < t.size() && IsDigit(t[i]))
            takeDigit(t[i++], true);
    }
    if (digits == 0)
        NotAFloat(text);
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < t.size() && (t[i] == '+' || t[i] == '-'))
            negativeExponent = t[i++] == '-';
        long written = 0;
        int exponentDigits = 0;
        while (i < t.size() && IsDigit(t[i])) {
            written = std::min(written * 10 + (t[i++] - '0'), 100000L);
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            NotAFloat(text);
        exponent10 += negativeExponent ? -written : written;
    }
    if (i != t.size())
        NotAFloat(text);

    // Up to 10^27 every power of ten is exact in extended precision, so one multiplication
    // or division of two exact values rounds correctly.
    constexpr long kExactPowers = 27;
    long double value = static_cast<long double>(mantissa);
    if (mantissa != 0) {
        if (exponent10 >= -kExactPowers && exponent10 <= kExactPowers) {
            long double power = 1;
            for (long k = 0; k < std::labs(exponent10); ++k)
                power *= 10;
            value = exponent10 < 0 ? value / power : value * power;
        } else {
            value *= std::pow(10.0L, static_cast<long double>(exponent10));
        }
    }
    if (!std::isfinite(value))
        NotAFloat(text);
    return negative ? -value : value;
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
    std::string text = buffer;
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
    return WithSeparator(text, decimalSeparator);
}

std::string FormatFixed(long double value, int decimals, char decimalSeparator) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%.*Lf", decimals, value);
    std::string text = buffer;
    // A value that rounds to zero is shown without a sign.
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    return WithSeparator(text, decimalSeparator);
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
    if (inches)
        return Trunc(typed * units::kPlotterUnitsPerMm * units::kMmPerInchAas);
    return Trunc(typed * units::kPlotterUnitsPerMm);
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
