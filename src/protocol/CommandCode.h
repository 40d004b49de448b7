#pragma once
// The named codes of the command dispatcher. The code of the last command sent also tells
// the reply parser how to read the next reply. The values are the cutter program's own and
// never change; a code without a name (8 to 16, 18) is a command with an empty text.
#include <cstdint>

namespace zopra {

enum CommandCode : std::int32_t {
    kCmdNone = 0,             // empty text
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

} // namespace zopra
