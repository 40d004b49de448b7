#include "cli/Reports.h"

#include "protocol/Commands.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"
#include "settings/CutterText.h"
#include "settings/SettingsPlan.h"

#include <cmath>
#include <sstream>

namespace zopra::cli {

using namespace settings;

namespace {

const char* KindName(std::int32_t kind) {
    switch (kind) {
    case kLinkSerial:
        return "serial";
    case kLinkVendorUsb:
        return "usb-library";
    case kLinkPrinterClass:
        return "usb-printer";
    default:
        return "unknown";
    }
}

} // namespace

Json ConnectionsJson(const std::vector<ConnectionEntry>& entries) {
    Json list = Json::array();
    for (std::size_t i = 0; i < entries.size(); ++i)
        list.push_back({{"position", i},
                        {"text", CutterText(entries[i].text)},
                        {"port", CutterText(entries[i].PortName())},
                        {"link", KindName(entries[i].kind)}});
    return {{"version", kJsonVersion}, {"connections", list}};
}

std::string ConnectionsText(const std::vector<ConnectionEntry>& entries) {
    std::string text;
    for (std::size_t i = 0; i < entries.size(); ++i)
        text += std::to_string(i) + "  " + ShownText(entries[i].ListText()) + "\n";
    return text;
}

std::string ReadText(const ReadResult& read, bool inches) {
    const MachineSettings& v = read.values;
    const std::string length = inches ? " in" : " mm";
    std::ostringstream out;
    auto line = [&out](const std::string& label, const std::string& value) {
        out << label << std::string(label.size() < 16 ? 16 - label.size() : 1, ' ') << value
            << "\n";
    };
    line("Device", ShownText(read.device));
    line("Model", ShownText(v.FModelName));
    line("Version", ShownText(v.FVersion));
    line("Paper length",
         (inches ? PaperInchText(v.FPaperLength) : FormatGeneral(v.FPaperLength)) + length);
    line("Paper width",
         (inches ? PaperInchText(v.FPaperWidth) : FormatGeneral(v.FPaperWidth)) + length);
    line("Speed", FormatGeneral(v.FSpeed) + " mm/sec");
    const auto force = std::isfinite(v.FBladeForce) && std::fabs(v.FBladeForce) < 1e9
                           ? std::optional<std::int32_t>(static_cast<std::int32_t>(v.FBladeForce))
                           : std::nullopt;
    line("Blade force",
         inches && force ? OunceText(*force) + " oz" : FormatGeneral(v.FBladeForce) + " g");
    line("Blade offset", BladeOffsetText(v.FBladeOffset, inches) + length);
    const SettingsRequest request = RequestFromValues(v, read.bladeHolderRead);
    const char* labels[] = {"Media weight", "Vector quality", "Vector smooth",
                            "Auto unroll",  "Media type",     "Blade holder"};
    for (const Choice choice : kChoices) {
        const auto& index = request.choices[static_cast<std::size_t>(choice)];
        if (choice == Choice::Holder && !read.bladeHolderRead)
            continue;
        line(labels[static_cast<std::size_t>(choice)],
             index ? ChoiceLabel(choice, *index) : "(none)");
    }
    line("X scale", FormatGeneral(v.FXScale));
    line("Y scale", FormatGeneral(v.FYScale));
    if (read.aasOffsetsRead) {
        line("AAS X offset", AasOffsetText(v.FAASXOffset, inches) + length);
        line("AAS Y offset", AasOffsetText(v.FAASYOffset, inches) + length);
    }
    return out.str();
}

std::string Readable(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        if (c == kEsc)
            text += "ESC";
        else
            text += c;
    }
    return text;
}

} // namespace zopra::cli
