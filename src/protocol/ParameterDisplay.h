#pragma once
// What a parameter read shows: the record turned into label texts and list positions. The
// window applies this to its controls; nothing here knows about widgets.
#include "protocol/MachineSettings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zopra {

struct ParameterDisplay {
    // Label texts in general number format, or the identity texts as received.
    std::string length, width, speed, force, offset, accel, smooth, unroll, media;
    std::string xScale, yScale;
    std::string cname, model, version, date, time;
    std::string weight; // "Heavy" or "Light"

    // List positions (-1 selects nothing) and the force scroll bar position. A value that
    // names no entry of its list leaves that list alone without a selection (its label
    // still shows the value); a force that does not fit an integer leaves the bar as it is.
    // The force position is the one whose force "Update" sends as the value read.
    int weightIndex = -1;
    int accelIndex = -1;
    int mediaIndex = -1;
    int unrollIndex = -1;
    int smoothIndex = -1;
    std::optional<std::int32_t> forcePosition;
    int bladeHolderIndex = -1;
    int offsetIndex = -1;
};

// The position of a list of `count` entries that a value read names: the value truncated,
// or -1 when that is no position of the list (negative, too large, not finite).
int ListPosition(double value, int count);

// 1 <= speed < 30 means heavy media.
bool IsHeavyMedia(double speed);

// The blade-offset list position for an offset in micrometres: 0 for exactly 0, then the
// first of 175, 250, 275, 300, 500, 750 that is not exceeded, 7 above 750; negative
// values fall into position 1.
int BladeOffsetIndex(double micrometres);

// Never throws for a value read: whatever the cutter reported, every label gets its text.
ParameterDisplay MakeParameterDisplay(const MachineSettings& values, char decimalSeparator = '.');

// The blade-offset list's text after a read: the offset in mm, or in inches (mm x 0.04).
std::string BladeOffsetText(double micrometres, bool inches, char decimalSeparator = '.');

// An AAS offset label: plotter units in mm, or in inches (mm x 0.04).
std::string AasOffsetText(double plotterUnits, bool inches, char decimalSeparator = '.');

// Units of the window: "mm/g" (inches false) or "Inch/oz". Only what is shown changes; the
// record keeps the cutter's own units.

// The caption beside a length ("mm" or "Inch") and beside the blade force ("g" or "oz").
const char* LengthUnitName(bool inches);
const char* ForceUnitName(bool inches);

// Paper length or width: mm in general format, or hundredths of an inch (PaperInchText).
std::string PaperSizeText(double mm, bool inches, char decimalSeparator = '.');

// Blade force: grams as a whole number, or ounces to two decimals (OunceText).
std::string BladeForceText(std::int32_t grams, bool inches, char decimalSeparator = '.');

// The blade offsets the list offers, in micrometres. The cutter is sent the position, never
// the length, so both unit systems list the same offsets in the same order.
inline constexpr std::array<int, 8> kBladeOffsetEntries = {0, 175, 250, 275, 300, 500, 750, 1000};

// The eight entries of the blade-offset list, pattern "0.000": mm, or inches counted as
// 25 mm ("0.250" is "0.010").
std::vector<std::string> BladeOffsetEntries(bool inches, char decimalSeparator = '.');

// The blade-offset list's text taken into the other unit system: x 0.04 to inches, x 25
// back to mm, in general format. Only for a real change of unit: applied twice it would
// turn a typed "0.2" mm into "5". Throws ConversionError for a text that is not a number.
std::string ConvertBladeOffsetText(std::string_view text, bool toInches,
                                   char decimalSeparator = '.');

// Everything a switch of unit shows, worked out before anything is shown, so that a switch
// either completes or changes nothing: the captions, the paper size, the blade force at the
// bar's position, the offset list's entries and its text. The text is taken into the other
// unit only when convertOffset (a real change of unit); an empty text stays empty. Throws
// ConversionError when the offset text is some other text that is not a number.
struct UnitSwitch {
    std::string lengthUnit; // "mm" or "Inch"
    std::string forceUnit;  // "g" or "oz"
    std::string length, width, force, offsetText;
    std::vector<std::string> offsetEntries;
};
UnitSwitch MakeUnitSwitch(const MachineSettings& values, bool inches, bool convertOffset,
                          std::string_view offsetText, std::int32_t forcePosition,
                          char decimalSeparator = '.');

// The off-window blade-offset bar: 25 micrometres per step, shown in mm.
std::string OffsetBarText(int position, char decimalSeparator = '.');

// The list position whose offset is `micrometres` (within a thousandth of a micrometre, so
// that a typed 0.175 mm x 1000 still finds 175), or nothing when no entry is that offset.
std::optional<int> BladeOffsetEntryIndex(long double micrometres);

} // namespace zopra
