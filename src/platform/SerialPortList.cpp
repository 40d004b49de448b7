#include "platform/SerialPortList.h"

#include <cctype>

namespace zopra::platform {

namespace {

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

} // namespace

bool NaturalLess(const std::string& left, const std::string& right) {
    size_t i = 0;
    size_t j = 0;
    while (i < left.size() && j < right.size()) {
        if (IsDigit(left[i]) && IsDigit(right[j])) {
            // Compare the two numbers without converting them, so that no length overflows:
            // leading zeros aside, the longer run is the larger number.
            size_t iEnd = i;
            size_t jEnd = j;
            while (iEnd < left.size() && IsDigit(left[iEnd]))
                ++iEnd;
            while (jEnd < right.size() && IsDigit(right[jEnd]))
                ++jEnd;
            size_t iStart = i;
            size_t jStart = j;
            while (iStart + 1 < iEnd && left[iStart] == '0')
                ++iStart;
            while (jStart + 1 < jEnd && right[jStart] == '0')
                ++jStart;
            const size_t iLength = iEnd - iStart;
            const size_t jLength = jEnd - jStart;
            if (iLength != jLength)
                return iLength < jLength;
            const int order = left.compare(iStart, iLength, right, jStart, jLength);
            if (order != 0)
                return order < 0;
            // Equal values: fewer leading zeros first, so that the order stays strict.
            if (iEnd - i != jEnd - j)
                return iEnd - i < jEnd - j;
            i = iEnd;
            j = jEnd;
            continue;
        }
        if (left[i] != right[j])
            return static_cast<unsigned char>(left[i]) < static_cast<unsigned char>(right[j]);
        ++i;
        ++j;
    }
    return left.size() - i < right.size() - j;
}

} // namespace zopra::platform
