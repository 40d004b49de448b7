// The number reader and formatter on any text. What the reader accepts must be the value the
// C library reads from the same text (glibc rounds exactly), and every text the formatter
// writes must read back to a value that it writes the same way.
#include "protocol/Numbers.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

using zopra::ConversionError;

void Require(bool condition) {
    if (!condition)
        std::abort();
}

// Text written by the formatter reads back, and writes again as the same text.
void RequireRoundTrip(const std::string& text, char separator,
                      std::string (*format)(long double, char)) {
    long double back = 0;
    try {
        back = zopra::StrToFloat(text, separator);
    } catch (const ConversionError&) {
        std::abort();
    }
    Require(format(back, separator) == text);
}

std::string General(long double v, char separator) {
    return zopra::FormatGeneral(v, separator);
}
std::string FixedOne(long double v, char separator) {
    return zopra::FormatFixed(v, 1, separator);
}
std::string FixedThree(long double v, char separator) {
    return zopra::FormatFixed(v, 3, separator);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the decimal separator: the cutter's '.' or a user's ','.
    const char separator = (data[0] & 1) != 0 ? ',' : '.';
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    long double value = 0;
    try {
        value = zopra::StrToFloat(text, separator);
    } catch (const ConversionError& e) {
        // what() is a C string: a NUL in the text ends the message there.
        const std::string message = "'" + text + "' is not a valid floating point value";
        Require(std::string(e.what()) == message.c_str());
        return 0;
    }
    Require(std::isfinite(value));

    // The same text as the C library reads it, with '.' as its separator.
    std::string cText = text;
    for (char& c : cText)
        if (c == separator)
            c = '.';
        else if (c == '.' || c == ',')
            std::abort(); // the reader took a separator it was not given
    Require(std::strtold(cText.c_str(), nullptr) == value);

    // Inside a double's range, the double variant agrees; outside, it refuses.
    const bool fitsDouble = std::isfinite(static_cast<double>(value));
    try {
        Require(zopra::StrToFloatForDouble(text, separator) == value && fitsDouble);
    } catch (const ConversionError&) {
        Require(!fitsDouble);
    }

    // Truncation refuses exactly what does not fit 32 bits.
    const long double truncated = std::trunc(value);
    const bool fits32 = truncated >= std::numeric_limits<std::int32_t>::min() &&
                        truncated <= std::numeric_limits<std::int32_t>::max();
    try {
        Require(zopra::Trunc(value) == truncated && fits32);
    } catch (const ConversionError&) {
        Require(!fits32);
    }

    RequireRoundTrip(General(value, separator), separator, General);
    RequireRoundTrip(FixedOne(value, separator), separator, FixedOne);
    RequireRoundTrip(FixedThree(value, separator), separator, FixedThree);
    return 0;
}
