#include "cli/Reports.h"

#include "cli/CliErrors.h"
#include "cli/CutterText.h"
#include "cli/SettingsPlan.h"
#include "protocol/Commands.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"

#include <cmath>
#include <sstream>
#include <tuple>

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

double Required(const Json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_number())
        throw UsageError(std::string("the backup has no number for \"") + key + "\"");
    return found->get<double>();
}

const Json& Section(const Json& document, const char* key) {
    const auto found = document.find(key);
    if (found == document.end() || !found->is_object())
        throw UsageError(std::string("the backup has no \"") + key + "\" section");
    return *found;
}

// A value of the backup as a message names it: "the backup's parameters.speed 60.5".
std::string FieldText(const char* section, const char* key, double value) {
    return std::string("the backup's ") + section + "." + key + " " + FormatGeneral(value);
}

// Every value that restore writes back is whole, as the cutter reports it: a fraction
// would be cut off, or replaced by the cutter's own value, without a word.
double RequiredWhole(const Json& object, const char* section, const char* key) {
    const double value = Required(object, key);
    if (!(value == std::trunc(value) && std::fabs(value) <= 2147483647.0))
        throw UsageError(FieldText(section, key, value) + " is not a whole number");
    return value;
}

// The values that the settings update can only send as a list entry must have one; the
// update would otherwise send the cutter's own value instead.
void CheckListEntries(const MachineSettings& v) {
    if (!BladeOffsetEntryIndex(v.FBladeOffset))
        throw UsageError(FieldText("parameters", "blade_offset_um", v.FBladeOffset) +
                         " is not one of the blade offsets");
    const auto choices = RequestFromValues(v, false).choices;
    const std::tuple<Choice, const char*, double> listed[] = {
        {Choice::Quality, "vector_quality", v.FVectorQuality},
        {Choice::Smooth, "vector_smooth", v.FVectorSmooth},
        {Choice::Unroll, "auto_unroll", v.FAutoUnroll}};
    for (const auto& [choice, key, value] : listed)
        if (!choices[static_cast<std::size_t>(choice)])
            throw UsageError(FieldText("parameters", key, value) + " has no list entry");
}

} // namespace

Json ConnectionsJson(const std::vector<ConnectionEntry>& entries) {
    Json list = Json::array();
    for (std::size_t i = 0; i < entries.size(); ++i)
        list.push_back({{"position", i},
                        {"text", CutterText(entries[i].text)},
                        {"link", KindName(entries[i].kind)}});
    return {{"version", kJsonVersion}, {"connections", list}};
}

std::string ConnectionsText(const std::vector<ConnectionEntry>& entries) {
    std::string text;
    for (std::size_t i = 0; i < entries.size(); ++i)
        text += std::to_string(i) + "  " + ShownText(entries[i].text) + "\n";
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

Json BackupJson(const ReadResult& read) {
    Json document = {{"version", kJsonVersion}, {"document", "zopra-backup"}};
    document.update(ReadJson(read));
    return document;
}

Backup ParseBackup(const std::string& text) {
    Json document;
    try {
        document = Json::parse(text);
    } catch (const Json::out_of_range&) {
        throw UsageError("the backup holds a number too large to read");
    } catch (const Json::exception&) {
        throw UsageError("the backup is not a JSON document");
    }
    const auto kind = document.is_object() ? document.find("document") : document.end();
    if (kind == document.end() || *kind != "zopra-backup")
        throw UsageError("the file is not a zopra-cli backup");
    const auto version = document.find("version");
    if (version == document.end() || !version->is_number())
        throw UsageError("the backup has no version number");
    if (version->get<double>() != kJsonVersion)
        throw UsageError("the backup has version " + version->dump() +
                         ", this zopra-cli reads version " + std::to_string(kJsonVersion));
    Backup backup;
    MachineSettings& v = backup.values;
    const Json& identity = Section(document, "identity");
    const auto model = identity.find("model");
    if (model == identity.end() || !model->is_string())
        throw UsageError("the backup names no model");
    v.FModelName = model->get<std::string>();
    const Json& parameters = Section(document, "parameters");
    const auto parameter = [&](const char* key) {
        return RequiredWhole(parameters, "parameters", key);
    };
    v.FSpeed = parameter("speed");
    v.FBladeForce = parameter("blade_force_g");
    v.FBladeOffset = parameter("blade_offset_um");
    v.FVectorQuality = parameter("vector_quality");
    v.FVectorSmooth = parameter("vector_smooth");
    v.FAutoUnroll = parameter("auto_unroll");
    v.FMediaType = parameter("media_type");
    backup.bladeHolder =
        parameters.contains("blade_holder") && !parameters["blade_holder"].is_null();
    if (backup.bladeHolder)
        v.FBladeHolder = parameter("blade_holder");
    CheckListEntries(v);
    const Json& scale = Section(document, "scale");
    v.FXScale = RequiredWhole(scale, "scale", "x");
    v.FYScale = RequiredWhole(scale, "scale", "y");
    const auto aas = document.find("aas_offsets_units");
    backup.aasOffsets = aas != document.end() && aas->is_object();
    if (backup.aasOffsets) {
        v.FAASXOffset = RequiredWhole(*aas, "aas_offsets_units", "x");
        v.FAASYOffset = RequiredWhole(*aas, "aas_offsets_units", "y");
    }
    return backup;
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
