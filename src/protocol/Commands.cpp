#include "protocol/Commands.h"

#include "protocol/Calibration.h"
#include "protocol/ModelRules.h"
#include "protocol/Numbers.h"

namespace zopra {

namespace {

std::string Esc(std::string_view rest) {
    return std::string(1, kEsc) + std::string(rest);
}

} // namespace

bool IsQuery(CommandCode code) {
    switch (code) {
    case kCmdHardClipLimits:
    case kCmdReadParameters:
    case kCmdReadIdentity:
    case kCmdReadScale:
    case kCmdReadAasOffsets:
    case kCmdReadBladeHolder:
        return true;
    default:
        return false;
    }
}

std::string QueryText(CommandCode code) {
    switch (code) {
    case kCmdHardClipLimits:
        return "OH;";
    case kCmdReadParameters:
        return Esc(".R1:");
    case kCmdReadIdentity:
        return Esc(".R4:");
    case kCmdReadScale:
        return Esc(".R3:");
    case kCmdReadAasOffsets:
        return Esc(".R5:");
    case kCmdReadBladeHolder:
        return Esc(".R6:");
    default:
        return {};
    }
}

std::string TestSquareText(std::int32_t x, std::int32_t y) {
    const std::string xs = std::to_string(x);
    const std::string ys = std::to_string(y);
    // Relative moves from where the pen stands: +X, +Y, -X, -Y.
    return "VS30;SP1;PR;PU0,0;PD0,0," + xs + ",0," + "0," + ys + "," + "-" + xs + ",0," + "0,-" +
           ys + ";" + "PU;";
}

TestSquareSize TestSquareSides(std::string_view x, std::string_view y, bool inches,
                               char decimalSeparator) {
    const TestSquareSize size{TestSquareUnits(StrToFloat(x, decimalSeparator), inches),
                              TestSquareUnits(StrToFloat(y, decimalSeparator), inches)};
    // A side of 0 or below is no square: the path would run back over itself or outward.
    if (size.x <= 0 || size.y <= 0)
        throw ConversionError("The test square's sides must be above 0; nothing was sent.");
    return size;
}

std::string CalibrationText(std::int32_t xs, std::int32_t ys) {
    return Esc(".C6;1;") + std::to_string(xs) + ":" + Esc(".C6;0;") + std::to_string(ys) + ":" +
           Esc(".C1;0;:") + Esc(".C6;2;:") + "PD;" + "PU;";
}

ScaleFactors CalibratedScales(const CommandInputs& inputs, const MachineSettings& record) {
    const char sep = inputs.decimalSeparator;
    // Measured over requested: both are in the unit shown, so the unit cancels out.
    const long double xs =
        StrToFloat(inputs.measuredX, sep) / StrToFloat(inputs.testX, sep) * record.FXScale;
    const long double ys =
        StrToFloat(inputs.measuredY, sep) / StrToFloat(inputs.testY, sep) * record.FYScale;
    return {Trunc(xs), Trunc(ys)};
}

std::string BuildCommandText(CommandCode code, const CommandInputs& inputs,
                             const MachineSettings& record) {
    const char sep = inputs.decimalSeparator;
    switch (code) {
    case kCmdTestSquare: {
        const TestSquareSize size = TestSquareSides(inputs.testX, inputs.testY, inputs.inches, sep);
        return TestSquareText(size.x, size.y);
    }
    case kCmdCalibrate:
    case kCmdCalibrateAgain: {
        RequireScaleFactorsRead(record);
        const ScaleFactors scales = CalibratedScales(inputs, record);
        return CalibrationText(scales.x, scales.y);
    }
    default:
        return QueryText(code);
    }
}

std::vector<std::string> SettingsUpdateWrites(const SettingsUpdate& u) {
    auto setting = [](int number, std::int32_t value) {
        return Esc(".C1;") + std::to_string(number) + ";" + std::to_string(value) + ":";
    };
    return {
        setting(16, u.offsetIndex),      setting(17, u.weightIndex),
        setting(18, u.accelIndex),       setting(19, u.smoothIndex),
        setting(20, u.unrollIndex),      setting(21, u.mediaIndex),
        setting(22, u.forceValue),       Esc(".C1;0;:"),
        setting(32, u.bladeHolderIndex),
    };
}

std::vector<std::string> AasOffsetWrites(double xOffset, double yOffset) {
    return {Esc(".D6;") + FormatGeneral(xOffset) + ";" + FormatGeneral(yOffset) + ":",
            Esc(".C1;0;:")};
}

unsigned PartsChangedBy(std::string_view bytes) {
    const auto starts = [&](std::string_view rest) {
        return bytes.size() > rest.size() && bytes[0] == kEsc &&
               bytes.substr(1, rest.size()) == rest;
    };
    // ".C1;0;:" alone commits what came before: it changes nothing itself.
    if (starts(".C1;") && !starts(".C1;0;:"))
        return kPartSettings;
    if (starts(".C6;"))
        return kPartScales;
    if (starts(".D6;"))
        return kPartAasOffsets;
    return kPartNone;
}

std::optional<int> BladeHolderWritten(std::string_view bytes) {
    const std::string prefix = Esc(".C1;32;");
    if (bytes.size() < prefix.size() + 2 || bytes.substr(0, prefix.size()) != prefix ||
        bytes.back() != ':')
        return std::nullopt;
    const std::string_view digits = bytes.substr(prefix.size(), bytes.size() - prefix.size() - 1);
    if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    return std::stoi(std::string(digits));
}

std::string IdentificationProbe() {
    return Esc(".R4:") + "\r\n";
}

std::vector<CommandCode> ParameterReadOrder(std::string_view connectionText) {
    if (HidesBladeHolder(connectionText))
        return {kCmdHardClipLimits, kCmdReadParameters, kCmdReadScale, kCmdReadIdentity};
    return {kCmdHardClipLimits, kCmdReadParameters, kCmdReadBladeHolder, kCmdReadScale,
            kCmdReadIdentity};
}

} // namespace zopra
