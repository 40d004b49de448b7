#include "cli/Reports.h"

#include "cli/CutterText.h"
#include "cli/SettingsPlan.h"
#include "protocol/Commands.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"

#include <cmath>
#include <sstream>

namespace zopra::cli {

namespace {

// Integral values go out as integers ("10000", not "10000.0").
Json Number(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9e15)
        return static_cast<std::int64_t>(value);
    return value;
}

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

Json ReadJson(const ReadResult& read) {
    const MachineSettings& v = read.values;
    Json settings;
    if (const auto index = BladeOffsetEntryIndex(v.FBladeOffset))
        settings["offset"] = BladeOffsetEntryText(*index);
    else
        settings["offset"] = nullptr;
    settings["force"] = Number(v.FBladeForce);
    const SettingsRequest request = RequestFromValues(v, read.bladeHolderRead);
    for (const Choice choice : kChoices) {
        const auto& index = request.choices[static_cast<std::size_t>(choice)];
        settings[ChoiceName(choice)] = index ? Json(ChoiceWord(choice, *index)) : Json(nullptr);
    }

    Json document;
    document["device"] = CutterText(read.device);
    document["identity"] = {{"cname", CutterText(v.FCName)},
                            {"model", CutterText(v.FModelName)},
                            {"version", CutterText(v.FVersion)},
                            {"date", CutterText(v.FDate)},
                            {"time", CutterText(v.FTime)}};
    document["paper"] = {{"length_mm", Number(v.FPaperLength)},
                         {"width_mm", Number(v.FPaperWidth)}};
    document["parameters"] = {
        {"speed", Number(v.FSpeed)},
        {"blade_force_g", Number(v.FBladeForce)},
        {"blade_offset_um", Number(v.FBladeOffset)},
        {"vector_quality", Number(v.FVectorQuality)},
        {"vector_smooth", Number(v.FVectorSmooth)},
        {"auto_unroll", Number(v.FAutoUnroll)},
        {"media_type", Number(v.FMediaType)},
        {"blade_holder", read.bladeHolderRead ? Number(v.FBladeHolder) : Json(nullptr)}};
    document["scale"] = {{"x", Number(v.FXScale)}, {"y", Number(v.FYScale)}};
    document["aas_offsets_units"] =
        read.aasOffsetsRead ? Json{{"x", Number(v.FAASXOffset)}, {"y", Number(v.FAASYOffset)}}
                            : Json(nullptr);
    document["settings"] = settings;
    return document;
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
