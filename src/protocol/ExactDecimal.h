#pragma once
// The slow, exact half of reading decimal text: the extended value nearest to a decimal
// number of any length and exponent, as the quick path of StrToFloat cannot give it (more
// digits than the mantissa holds, or powers of ten that are not exact in extended precision).
#include <optional>
#include <string_view>

namespace zopra {

// The value nearest to digits x 10^exponent10 (ties to even), where digits holds only '0'
// to '9'. Values below half the smallest subnormal come out as 0; nullopt when the value is
// too large for a long double.
std::optional<long double> NearestExtended(std::string_view digits, long exponent10);

} // namespace zopra
