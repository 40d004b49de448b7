#pragma once
// What a parameter read shows: the record turned into label texts and list positions. The
// window applies this to its controls; nothing here knows about widgets.
#include "protocol/MachineSettings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace zopra {

struct ParameterDisplay {
    // Label texts in general number format, or the identity texts as received.
    std::string length, width, speed, force, offset, accel, smooth, unroll, media;
    std::string xScale, yScale;
    std::string cname, model, version, date, time;
    std::string weight; // "Heavy" or "Light"

    // List positions (-1 selects nothing) and the force scroll bar position.
    int weightIndex = -1;
    int accelIndex = -1;
    int mediaIndex = -1;
    int unrollIndex = -1;
    int smoothIndex = -1;
    std::int32_t forcePosition = 0;
    int bladeHolderIndex = -1;
    int offsetIndex = -1;
};

// 1 <= speed < 30 means heavy media.
bool IsHeavyMedia(double speed);

// The blade-offset list position for an offset in micrometres: 0 for exactly 0, then the
// first of 175, 250, 275, 300, 500, 750 that is not exceeded, 7 above 750; negative
// values fall into position 1.
int BladeOffsetIndex(double micrometres);

// The blade offsets of the offset list by position, in micrometres (0.000 ... 1.000 mm).
inline constexpr std::array<int, 8> kBladeOffsetEntries{0, 175, 250, 275, 300, 500, 750, 1000};

// The list position whose offset is `micrometres` (within a thousandth of a micrometre, so
// that a typed 0.175 mm x 1000 still finds 175), or nothing when no entry is that offset.
std::optional<int> BladeOffsetEntryIndex(long double micrometres);

// Throws ConversionError when a value that becomes a list position or the force position
// does not fit an integer.
ParameterDisplay MakeParameterDisplay(const MachineSettings& values, char decimalSeparator = '.');

// The blade-offset list's text after a read: the offset in mm, or in inches (mm x 0.04).
std::string BladeOffsetText(double micrometres, bool inches, char decimalSeparator = '.');

// An AAS offset label: plotter units in mm, or in inches (mm x 0.04).
std::string AasOffsetText(double plotterUnits, bool inches, char decimalSeparator = '.');

// An AAS offset after the offset update, in plotter units: the adjustment (mm, or inches of
// 1000 units) plus the current offset taken back from its label text, each truncated. With
// 3 units shown as 0.075 mm, an adjustment of 0.1 gives 7, -0.03 gives 2 and 0.02 gives 3.
std::int32_t AasOffsetAfterAdjustment(long double adjustment, double currentPlotterUnits,
                                      bool inches);

} // namespace zopra
