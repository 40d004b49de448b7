#include "settings/SettingsPlan.h"

#include "protocol/TestCut.h"

#include "protocol/ModelRules.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"
#include "settings/CutterText.h"
#include "settings/InputError.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace zopra::settings {

namespace {

struct ChoiceInfo {
    Choice choice;
    const char* name;
    std::array<const char*, 2> words;  // positions 0 and 1 on the command line
    std::array<const char*, 2> labels; // the window's list entries
    std::array<const char*, 2> aliases;
};

// In the order of the update's writes.
constexpr std::array<ChoiceInfo, kChoices.size()> kChoiceTable = {{
    {Choice::Weight, "weight", {"heavy", "light"}, {"Heavy", "Light"}, {"heavy", "light"}},
    {Choice::Quality, "quality", {"fine", "draft"}, {"Fine", "Draft"}, {"fine", "draft"}},
    {Choice::Smooth, "smooth", {"off", "on"}, {"Disable", "Enable"}, {"disable", "enable"}},
    {Choice::Unroll, "unroll", {"off", "on"}, {"Disable", "Enable"}, {"disable", "enable"}},
    {Choice::Media, "media", {"single", "roll"}, {"Single", "Roll"}, {"single", "roll"}},
    {Choice::Holder, "holder", {"metal", "plastic"}, {"Metal", "Plastic"}, {"metal", "plastic"}},
}};

const ChoiceInfo& Info(Choice choice) {
    return kChoiceTable[static_cast<std::size_t>(choice)];
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

int& UpdateField(SettingsUpdate& update, Choice choice) {
    switch (choice) {
    case Choice::Weight:
        return update.weightIndex;
    case Choice::Quality:
        return update.accelIndex;
    case Choice::Smooth:
        return update.smoothIndex;
    case Choice::Unroll:
        return update.unrollIndex;
    case Choice::Media:
        return update.mediaIndex;
    case Choice::Holder:
        break;
    }
    return update.bladeHolderIndex;
}

// A code that is exactly 0 or 1 is a list position; anything else has no entry.
std::optional<int> BinaryCode(double code) {
    if (code == 0 || code == 1)
        return static_cast<int>(code);
    return std::nullopt;
}

// The list position the window would show for a reported value; nothing when the value
// has no entry of its own.
std::optional<int> ReportedIndex(Choice choice, const MachineSettings& values) {
    switch (choice) {
    case Choice::Weight:
        return IsHeavyMedia(values.FSpeed) ? 0 : 1;
    case Choice::Quality:
        if (values.FVectorQuality == 1 || values.FVectorQuality == 2)
            return 0;
        if (values.FVectorQuality == 3 || values.FVectorQuality == 5)
            return 1;
        return std::nullopt;
    case Choice::Smooth:
        return BinaryCode(values.FVectorSmooth);
    case Choice::Unroll:
        return BinaryCode(values.FAutoUnroll);
    case Choice::Media:
        return values.FMediaType == 3 ? 0 : 1;
    case Choice::Holder:
        break;
    }
    return values.FBladeHolder == 0 ? 0 : 1;
}

double ReportedCode(Choice choice, const MachineSettings& values) {
    switch (choice) {
    case Choice::Weight:
        return values.FSpeed;
    case Choice::Quality:
        return values.FVectorQuality;
    case Choice::Smooth:
        return values.FVectorSmooth;
    case Choice::Unroll:
        return values.FAutoUnroll;
    case Choice::Media:
        return values.FMediaType;
    case Choice::Holder:
        break;
    }
    return values.FBladeHolder;
}

std::string ReportedWord(Choice choice, const MachineSettings& values) {
    if (const auto index = ReportedIndex(choice, values))
        return ChoiceWord(choice, *index);
    return FormatGeneral(ReportedCode(choice, values));
}

std::string OffsetEntryList(bool inches) {
    std::string list;
    for (std::size_t i = 0; i < kBladeOffsetEntries.size(); ++i)
        list += (i ? ", " : "") + (inches ? BladeOffsetText(kBladeOffsetEntries[i], true)
                                          : BladeOffsetEntryText(static_cast<int>(i)));
    return list + (inches ? " (in)" : " (mm)");
}

std::optional<std::int32_t> WholeNumber(double value) {
    if (!std::isfinite(value) || value != std::trunc(value) || std::fabs(value) > 1e9)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

} // namespace

int ChoiceIndex(const SettingsUpdate& update, Choice choice) {
    SettingsUpdate copy = update;
    return UpdateField(copy, choice);
}

std::vector<std::string> SettingsChanges(const std::optional<SettingsUpdate>& before,
                                         const SettingsUpdate& after, const std::string& model,
                                         bool inches, char decimalSeparator) {
    // As the page shows them: the force bar's grams (or ounces), the offset list's entry.
    const auto grams = [&](const SettingsUpdate& u) {
        const auto position = ForcePositionForValue(model, u.forceValue);
        return CutForceText(position ? *position : u.forceValue, inches, decimalSeparator);
    };
    const auto offset = [&](const SettingsUpdate& u) {
        return CutOffsetText(u.offsetIndex, inches, decimalSeparator);
    };
    std::vector<std::string> lines;
    const auto line = [&](const char* caption, const std::string& was, const std::string& now) {
        if (!before)
            lines.push_back(std::string(caption) + ": " + now);
        else if (was != now)
            lines.push_back(std::string(caption) + ": " + was + " -> " + now);
    };
    const SettingsUpdate& b = before ? *before : after;
    line("Blade force", grams(b), grams(after));
    line("Blade offset", offset(b), offset(after));
    // In the order of the page's lists.
    const std::pair<Choice, const char*> lists[] = {
        {Choice::Media, "Media type"},     {Choice::Weight, "Media weight"},
        {Choice::Unroll, "Auto unroll"},   {Choice::Quality, "Vector quality"},
        {Choice::Smooth, "Vector smooth"}, {Choice::Holder, "Blade holder"}};
    for (const auto& [choice, caption] : lists) {
        const int was = ChoiceIndex(b, choice);
        const int now = ChoiceIndex(after, choice);
        if (now == 0 || now == 1)
            line(caption, was == 0 || was == 1 ? ChoiceLabel(choice, was) : "(none)",
                 ChoiceLabel(choice, now));
    }
    return lines;
}

const char* ChoiceName(Choice choice) {
    return Info(choice).name;
}
const char* ChoiceWord(Choice choice, int index) {
    return Info(choice).words.at(index);
}
const char* ChoiceLabel(Choice choice, int index) {
    return Info(choice).labels.at(index);
}

MachineSettings ValuesAfterUpdate(const MachineSettings& before, const SettingsUpdate& update) {
    MachineSettings after = before;
    const SettingsRequest was = RequestFromValues(before, true);
    // The value each list entry is reported as, by position.
    const auto set = [&](Choice choice, double& value, std::array<double, 2> reported) {
        const int index = ChoiceIndex(update, choice);
        if ((index == 0 || index == 1) && was.choices[static_cast<std::size_t>(choice)] != index)
            value = reported[static_cast<std::size_t>(index)];
    };
    set(Choice::Weight, after.FSpeed, {10, 60});
    set(Choice::Quality, after.FVectorQuality, {1, 3});
    set(Choice::Smooth, after.FVectorSmooth, {0, 1});
    set(Choice::Unroll, after.FAutoUnroll, {0, 1});
    set(Choice::Media, after.FMediaType, {3, 1});
    set(Choice::Holder, after.FBladeHolder, {0, 1});
    if (update.offsetIndex >= 0 &&
        update.offsetIndex < static_cast<int>(kBladeOffsetEntries.size()))
        after.FBladeOffset = kBladeOffsetEntries[static_cast<std::size_t>(update.offsetIndex)];
    after.FBladeForce = update.forceValue;
    return after;
}

std::string BladeOffsetEntryText(int index) {
    return FormatFixed(
        kBladeOffsetEntries.at(static_cast<std::size_t>(index)) * units::kMmPerMicrometre, 3);
}

SettingsRequest ParseSettingsRequest(const std::vector<std::string>& words) {
    SettingsRequest request;
    std::vector<std::string> seen;
    for (const std::string& word : words) {
        const auto equals = word.find('=');
        if (equals == std::string::npos || equals == 0)
            throw InputError("'" + word + "' is not NAME=VALUE");
        const std::string name = Lower(word.substr(0, equals));
        const std::string value = word.substr(equals + 1);
        if (std::find(seen.begin(), seen.end(), name) != seen.end())
            throw InputError(name + " is named twice");
        seen.push_back(name);

        if (name == "offset") {
            request.offset = value;
            continue;
        }
        if (name == "force") {
            long double grams = 0;
            try {
                grams = StrToFloat(value);
            } catch (const ConversionError&) {
                throw InputError("force=" + value + " is not a whole number of grams");
            }
            const auto whole = WholeNumber(static_cast<double>(grams));
            if (!whole)
                throw InputError("force=" + value + " is not a whole number of grams");
            request.force = *whole;
            continue;
        }
        const auto info = std::find_if(kChoiceTable.begin(), kChoiceTable.end(),
                                       [&](const ChoiceInfo& c) { return name == c.name; });
        if (info == kChoiceTable.end())
            throw InputError("unknown setting '" + name +
                             "' (offset, force, weight, quality, smooth, unroll, media, holder)");
        const std::string v = Lower(value);
        int index = -1;
        for (int i = 0; i < 2; ++i)
            if (v == info->words[i] || v == info->aliases[i])
                index = i;
        if (index < 0)
            throw InputError(name + "=" + value + " is neither " + info->words[0] + " nor " +
                             info->words[1]);
        request.choices[static_cast<std::size_t>(info->choice)] = index;
    }
    return request;
}

SettingsUpdate PlanSettingsUpdate(const SettingsRequest& request, const MachineSettings& current,
                                  bool readsBladeHolder) {
    const std::string& model = current.FModelName;
    const ModelRules rules = RulesForModel(model);
    SettingsUpdate update;

    if (request.offset) {
        long double typed = 0;
        try {
            typed = StrToFloat(*request.offset);
        } catch (const ConversionError& error) {
            throw InputError(error.what());
        }
        const auto index =
            BladeOffsetEntryIndex(BladeOffsetFromDisplay(typed, request.offsetInInches));
        if (!index)
            throw InputError("offset=" + *request.offset + " is not one of the blade offsets " +
                             OffsetEntryList(request.offsetInInches));
        update.offsetIndex = *index;
    } else if (const auto index = BladeOffsetEntryIndex(current.FBladeOffset)) {
        update.offsetIndex = *index;
    } else {
        throw InputError("the cutter reports a blade offset of " +
                         FormatGeneral(current.FBladeOffset) +
                         " um, which is not in the list: name offset=");
    }

    if (request.force) {
        const auto position = ForcePositionForValue(model, *request.force);
        if (!position)
            throw InputError(
                "force=" + std::to_string(*request.force) + " is outside " +
                std::to_string(BladeForceValue(model, kForcePositionMinimum)) + " to " +
                std::to_string(BladeForceValue(model, rules.forceMaximum)) + " for " +
                (model.empty() ? std::string("this cutter") : "'" + ShownText(model) + "'"));
        update.forceValue = BladeForceValue(model, *position);
    } else {
        const auto reported = WholeNumber(current.FBladeForce);
        const auto position = reported ? ForcePositionForValue(model, *reported) : std::nullopt;
        if (!position)
            throw InputError("the cutter reports a blade force of " +
                             FormatGeneral(current.FBladeForce) +
                             ", which the force setting cannot send: name force=");
        update.forceValue = BladeForceValue(model, *position);
    }

    for (const Choice choice : kChoices) {
        const auto& chosen = request.choices[static_cast<std::size_t>(choice)];
        const std::optional<int> reported = ReportedIndex(choice, current);
        if (choice == Choice::Holder && chosen && !readsBladeHolder)
            throw InputError("this connection has no selectable blade holder");
        if (choice == Choice::Media && chosen && !rules.mediaListEnabled && chosen != reported)
            throw InputError("'" + ShownText(model) + "' does not let the media type be chosen");
        if (!chosen && !reported)
            throw InputError(std::string("the cutter reports ") + ChoiceName(choice) + " " +
                             FormatGeneral(ReportedCode(choice, current)) +
                             ", which has no list entry: name " + ChoiceName(choice) + "=");
        UpdateField(update, choice) = chosen ? *chosen : *reported;
    }
    return update;
}

SettingsRequest RequestFromValues(const MachineSettings& values, bool withBladeHolder) {
    SettingsRequest request;
    if (const auto index = BladeOffsetEntryIndex(values.FBladeOffset))
        request.offset = BladeOffsetEntryText(*index);
    else
        request.offset = FormatGeneral(values.FBladeOffset * units::kMmPerMicrometre);
    if (const auto force = WholeNumber(values.FBladeForce))
        request.force = *force;
    for (const Choice choice : kChoices) {
        if (choice == Choice::Holder && !withBladeHolder)
            continue;
        request.choices[static_cast<std::size_t>(choice)] = ReportedIndex(choice, values);
    }
    return request;
}

std::vector<std::string> SettingsNotTaken(const SettingsUpdate& sent, const MachineSettings& after,
                                          bool readsBladeHolder) {
    std::vector<std::string> missing;
    if (BladeOffsetEntryIndex(after.FBladeOffset) != sent.offsetIndex)
        missing.push_back("offset=" + BladeOffsetEntryText(sent.offsetIndex) +
                          " (the cutter reports " +
                          FormatGeneral(after.FBladeOffset * units::kMmPerMicrometre) + " mm)");
    if (after.FBladeForce != sent.forceValue)
        missing.push_back("force=" + std::to_string(sent.forceValue) + " (the cutter reports " +
                          FormatGeneral(after.FBladeForce) + ")");
    for (const Choice choice : kChoices) {
        if (choice == Choice::Holder && !readsBladeHolder)
            continue;
        SettingsUpdate copy = sent;
        const int index = UpdateField(copy, choice);
        if (ReportedIndex(choice, after) != index)
            missing.push_back(std::string(ChoiceName(choice)) + "=" + ChoiceWord(choice, index) +
                              " (the cutter reports " + ReportedWord(choice, after) + ")");
    }
    return missing;
}

} // namespace zopra::settings
