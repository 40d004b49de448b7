#include "protocol/ExactDecimal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace zopra {

namespace {

// A non-negative integer of any size, 32 bits per limb, least significant limb first. Only
// what exact division of two such numbers into a 64-bit quotient needs.
class BigNumber {
public:
    explicit BigNumber(std::uint32_t value = 0) {
        if (value != 0)
            limbs_.push_back(value);
    }

    void MultiplyAdd(std::uint32_t factor, std::uint32_t addend) {
        std::uint64_t carry = addend;
        for (std::uint32_t& limb : limbs_) {
            carry += static_cast<std::uint64_t>(limb) * factor;
            limb = static_cast<std::uint32_t>(carry);
            carry >>= 32;
        }
        if (carry != 0)
            limbs_.push_back(static_cast<std::uint32_t>(carry));
    }

    void MultiplyByPowerOfTen(long power) {
        for (; power >= 9; power -= 9)
            MultiplyAdd(1000000000u, 0);
        std::uint32_t rest = 1;
        for (; power > 0; --power)
            rest *= 10;
        MultiplyAdd(rest, 0);
    }

    void ShiftLeft(long bits) {
        if (limbs_.empty() || bits <= 0)
            return;
        const long whole = bits / 32;
        const int part = static_cast<int>(bits % 32);
        if (part != 0) {
            std::uint32_t carry = 0;
            for (std::uint32_t& limb : limbs_) {
                const std::uint32_t next = limb >> (32 - part);
                limb = (limb << part) | carry;
                carry = next;
            }
            if (carry != 0)
                limbs_.push_back(carry);
        }
        limbs_.insert(limbs_.begin(), static_cast<std::size_t>(whole), 0u);
    }

    void ShiftRightOne() {
        for (std::size_t i = 0; i < limbs_.size(); ++i) {
            limbs_[i] >>= 1;
            if (i + 1 < limbs_.size())
                limbs_[i] |= limbs_[i + 1] << 31;
        }
        Normalize();
    }

    // this -= other, where other <= this.
    void Subtract(const BigNumber& other) {
        std::int64_t borrow = 0;
        for (std::size_t i = 0; i < limbs_.size(); ++i) {
            std::int64_t d = static_cast<std::int64_t>(limbs_[i]) - borrow -
                             (i < other.limbs_.size() ? other.limbs_[i] : 0);
            borrow = d < 0 ? 1 : 0;
            limbs_[i] = static_cast<std::uint32_t>(d + (borrow << 32));
        }
        Normalize();
    }

    long BitLength() const {
        if (limbs_.empty())
            return 0;
        long bits = static_cast<long>(limbs_.size() - 1) * 32;
        for (std::uint32_t top = limbs_.back(); top != 0; top >>= 1)
            ++bits;
        return bits;
    }

    bool IsZero() const { return limbs_.empty(); }

    friend int Compare(const BigNumber& a, const BigNumber& b) {
        if (a.limbs_.size() != b.limbs_.size())
            return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
        for (std::size_t i = a.limbs_.size(); i-- > 0;)
            if (a.limbs_[i] != b.limbs_[i])
                return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
        return 0;
    }

private:
    void Normalize() {
        while (!limbs_.empty() && limbs_.back() == 0)
            limbs_.pop_back();
    }

    std::vector<std::uint32_t> limbs_;
};

// Extended precision: 64 mantissa bits, the top one explicit; normal values from 2^-16382,
// subnormal ones down to 2^-16445; everything from 2^16384 on is too large.
constexpr int kMantissaBits = 64;
constexpr long kLowestBit = -16445;
constexpr long kTooLargeBit = 16384;
// Decimal bounds that settle the easy cases before any big number is built.
constexpr long kAboveLargest = 4933;       // 10^4933 > the largest extended value
constexpr long kBelowHalfSmallest = -4951; // 10^-4951 < half the smallest subnormal

} // namespace

std::optional<long double> NearestExtended(std::string_view digits, long exponent10) {
    // Leading zeros say nothing; trailing ones only move the exponent.
    while (!digits.empty() && digits.front() == '0')
        digits.remove_prefix(1);
    while (!digits.empty() && digits.back() == '0') {
        digits.remove_suffix(1);
        ++exponent10;
    }
    if (digits.empty())
        return 0.0L;
    // The value lies in [10^(n-1+e), 10^(n+e)).
    const long n = static_cast<long>(digits.size());
    if (n - 1 + exponent10 >= kAboveLargest)
        return std::nullopt;
    if (n + exponent10 <= kBelowHalfSmallest)
        return 0.0L;

    // value = numerator / denominator, both exact integers.
    BigNumber numerator;
    for (std::size_t i = 0; i < digits.size(); i += 9) {
        const std::size_t end = std::min(digits.size(), i + 9);
        std::uint32_t chunk = 0;
        std::uint32_t scale = 1;
        for (std::size_t k = i; k < end; ++k) {
            chunk = chunk * 10 + static_cast<std::uint32_t>(digits[k] - '0');
            scale *= 10;
        }
        numerator.MultiplyAdd(scale, chunk);
    }
    BigNumber denominator(1);
    if (exponent10 >= 0)
        numerator.MultiplyByPowerOfTen(exponent10);
    else
        denominator.MultiplyByPowerOfTen(-exponent10);

    // The exponent of the value's top bit: 2^top <= value < 2^(top+1).
    long top = numerator.BitLength() - denominator.BitLength();
    {
        BigNumber scaled = denominator;
        if (top >= 0) {
            scaled.ShiftLeft(top);
            if (Compare(numerator, scaled) < 0)
                --top;
        } else {
            BigNumber lifted = numerator;
            lifted.ShiftLeft(-top);
            if (Compare(lifted, scaled) < 0)
                --top;
        }
    }
    if (top >= kTooLargeBit)
        return std::nullopt;

    // The bit worth 1 in the mantissa: 64 bits below the top, or the lowest subnormal bit.
    long unitBit = std::max(top - (kMantissaBits - 1), kLowestBit);
    if (unitBit < 0)
        numerator.ShiftLeft(-unitBit);
    else
        denominator.ShiftLeft(unitBit);

    // quotient = floor(numerator / denominator) < 2^64, by binary long division.
    std::uint64_t quotient = 0;
    BigNumber divisor = denominator;
    divisor.ShiftLeft(kMantissaBits - 1);
    for (int bit = kMantissaBits - 1; bit >= 0; --bit) {
        if (Compare(numerator, divisor) >= 0) {
            numerator.Subtract(divisor);
            quotient |= std::uint64_t{1} << bit;
        }
        divisor.ShiftRightOne();
    }

    // Round to nearest by the remainder against half the denominator, ties to even.
    numerator.ShiftLeft(1);
    const int half = Compare(numerator, denominator);
    if (half > 0 || (half == 0 && (quotient & 1) != 0)) {
        ++quotient;
        if (quotient == 0) { // carried out of 64 bits: 2^64 is 2^63 one bit up
            quotient = std::uint64_t{1} << 63;
            ++unitBit;
        }
    }
    if (unitBit + kMantissaBits - 1 >= kTooLargeBit && quotient >> 63 != 0)
        return std::nullopt;
    // Both factors are exact, and so is their product: it is the rounded value itself.
    return std::ldexp(static_cast<long double>(quotient), static_cast<int>(unitBit));
}

} // namespace zopra
