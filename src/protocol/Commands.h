#pragma once
// Every text the program sends to the cutter. ESC is the byte 0x1B; no command carries a
// line end except the identification probe.
#include "protocol/CommandCode.h"
#include "protocol/MachineSettings.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zopra {

inline constexpr char kEsc = '\x1b';

// True for the codes whose command the cutter answers (1, 2, 3, 7, 17, 19).
bool IsQuery(CommandCode code);

// The text of a query; empty for every other code.
std::string QueryText(CommandCode code);

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

// The scale factors a calibration sends: measured / requested x the scale last read, each
// truncated. Throws ConversionError when a field does not hold a usable number.
struct ScaleFactors {
    std::int32_t x = 0;
    std::int32_t y = 0;
};
ScaleFactors CalibratedScales(const CommandInputs& inputs, const MachineSettings& record);

// The sides of the test square typed in the unit shown, in plotter units. Throws
// ConversionError for a text that is not a number or a side that is not above 0.
struct TestSquareSize {
    std::int32_t x = 0;
    std::int32_t y = 0;
};
TestSquareSize TestSquareSides(std::string_view x, std::string_view y, bool inches,
                               char decimalSeparator = '.');

// The text for a dispatcher code: a query, the test square from the typed sides, the
// calibration from measured / requested x the scale last read, or "" for codes without a
// command. Throws ConversionError when a field does not hold a usable number, and
// NotReadError for a calibration without scale factors read from the cutter now connected.
std::string BuildCommandText(CommandCode code, const CommandInputs& inputs,
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

// What a write changes in the cutter, by its command: the settings of the update (the blade
// holder among them), the scale factors (the calibration block) or the AAS offsets. A
// write of anything else (a test square, a test cut, a query) changes none.
enum CutterPart : unsigned {
    kPartNone = 0,
    kPartSettings = 1,
    kPartScales = 2,
    kPartAasOffsets = 4,
};
unsigned PartsChangedBy(std::string_view bytes);
// The blade holder a write of the update's last setting sets (ESC ".C1;32;n:"), if it is one.
std::optional<int> BladeHolderWritten(std::string_view bytes);

// The 7 bytes that ask a printer-class device who it is: "ESC.R4:" CR LF.
std::string IdentificationProbe();

// The queries of a parameter read, in order: 1, 2, 19, 7, 3; without 19 when the
// connection entry names a cutter without a blade holder ("QT-24").
std::vector<CommandCode> ParameterReadOrder(std::string_view connectionText);

// The pause after the last query of a parameter read, before the display shows the record.
inline constexpr std::chrono::milliseconds kParameterReadEndPause{200};

// The pause after the AAS-offset writes, before the connection is opened and read again: the
// cutter stores the offsets in that time.
inline constexpr std::chrono::milliseconds kAasUpdatePause{2000};

} // namespace zopra
