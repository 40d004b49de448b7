#pragma once
// Every text the program sends to the cutter. ESC is the byte 0x1B; no command carries a
// line end except the identification probe.
#include "protocol/MachineSettings.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zopra {

// Codes of the command dispatcher; the code of the last command sent also tells the
// reply parser how to read the next reply.
enum CommandCode : std::int32_t {
    kCmdHardClipLimits = 1,   // "OH;"
    kCmdReadParameters = 2,   // "ESC.R1:"
    kCmdReadIdentity = 3,     // "ESC.R4:"
    kCmdTestSquare = 4,       // HP-GL test square
    kCmdCalibrate = 5,        // new scale factors
    kCmdCalibrateAgain = 6,   // same text as 5
    kCmdReadScale = 7,        // "ESC.R3:"
    kCmdReadAasOffsets = 17,  // "ESC.R5:"
    kCmdReadBladeHolder = 19, // "ESC.R6:"
};

inline constexpr char kEsc = '\x1b';

// True for the codes whose command the cutter answers (1, 2, 3, 7, 17, 19).
bool IsQuery(std::int32_t code);

// The text of a query; empty for every other code.
std::string QueryText(std::int32_t code);

// The HP-GL test square with sides x and y in plotter units.
std::string TestSquareText(std::int32_t x, std::int32_t y);

// The calibration block that stores and commits the scale factors xs and ys.
std::string CalibrationText(std::int32_t xs, std::int32_t ys);

// What the dispatcher reads from the window when it builds a test square or a
// calibration: the four size fields as typed and the unit system.
struct CommandInputs {
    std::string testX;     // EdTestDraw_X
    std::string testY;     // EdTestDraw_Y
    std::string measuredX; // EdMeasure_x
    std::string measuredY; // EdMeasure_y
    bool inches = false;   // "Inch/oz" selected
    char decimalSeparator = '.';
};

// The text for a dispatcher code: a query, the test square from the typed sides, the
// calibration from measured / requested x the scale last read, or "" for codes without a
// command. Throws ConversionError when a field does not hold a usable number.
std::string BuildCommandText(std::int32_t code, const CommandInputs& inputs,
                             const MachineSettings& record);

// The "Update" button's nine writes, from the list positions (-1: nothing selected) and
// the force value already computed for the model.
struct SettingsUpdate {
    int offsetIndex = -1;
    int weightIndex = -1;
    int accelIndex = -1;
    int smoothIndex = -1;
    int unrollIndex = -1;
    int mediaIndex = -1;
    std::int32_t forceValue = 0;
    int bladeHolderIndex = -1;
};
std::vector<std::string> SettingsUpdateWrites(const SettingsUpdate& update);

// The AAS-offset update's two writes: the offsets in plotter units, then the commit.
std::vector<std::string> AasOffsetWrites(double xOffset, double yOffset);

// The 7 bytes that ask a printer-class device who it is: "ESC.R4:" CR LF.
std::string IdentificationProbe();

// The queries of a parameter read, in order: 1, 2, 19, 7, 3; without 19 when the
// connection entry names a cutter without a blade holder ("QT-24").
std::vector<std::int32_t> ParameterReadOrder(std::string_view connectionText);

// The pause after the last query of a parameter read, before the display shows the record.
inline constexpr std::chrono::milliseconds kParameterReadEndPause{200};

} // namespace zopra
