#include "settings/History.h"

#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"
#include "settings/SettingsPlan.h"

#include <algorithm>
#include <cstdio>

namespace zopra::settings {

namespace {

std::string Join(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    return text;
}

std::string Pair(double x, double y) {
    return FormatGeneral(x) + "," + FormatGeneral(y);
}

} // namespace

std::vector<std::string> ValueChanges(const CutterValues& from, const CutterValues& to) {
    std::vector<std::string> changes;
    const auto change = [&](const std::string& name, const std::string& was, const std::string& now,
                            const char* unit) {
        if (was != now)
            changes.push_back(name + " " + was + " -> " + now + unit);
    };
    const MachineSettings& a = from.values;
    const MachineSettings& b = to.values;
    change("force", FormatGeneral(a.FBladeForce), FormatGeneral(b.FBladeForce), " g");
    // An offset of the list by its entry's text ("0.300"), any other as read.
    const auto offset = [](double micrometres) {
        const std::optional<int> entry = BladeOffsetEntryIndex(micrometres);
        return entry ? BladeOffsetEntryText(*entry) : BladeOffsetText(micrometres, false);
    };
    change("offset", offset(a.FBladeOffset), offset(b.FBladeOffset), " mm");
    const bool holder = from.bladeHolder && to.bladeHolder;
    const SettingsRequest was = RequestFromValues(a, holder);
    const SettingsRequest now = RequestFromValues(b, holder);
    const auto label = [](Choice choice, const std::optional<int>& index) {
        return index ? std::string(ChoiceLabel(choice, *index)) : std::string("(none)");
    };
    for (const Choice choice : kChoices) {
        const auto at = static_cast<std::size_t>(choice);
        change(ChoiceName(choice), label(choice, was.choices[at]), label(choice, now.choices[at]),
               "");
    }
    change("scale", Pair(a.FXScale, a.FYScale), Pair(b.FXScale, b.FYScale), "");
    if (from.aasOffsets && to.aasOffsets)
        change("AAS offsets", Pair(a.FAASXOffset, a.FAASYOffset),
               Pair(b.FAASXOffset, b.FAASYOffset), " units");
    return changes;
}

std::string HistoryLine(const JournalEntry& entry) {
    // "2026-12-08T14:02:31+01:00": the hour and minute.
    std::string line = entry.time.size() >= 16 ? entry.time.substr(11, 5) : entry.time;
    line += " " + entry.action;
    std::vector<std::string> changes;
    if (entry.before && entry.after)
        changes = ValueChanges(*entry.before, *entry.after);
    if (!changes.empty())
        line += ": " + Join(changes);
    // "Not read back" matters only where something changed.
    const bool unconfirmed = !entry.afterReadBack && !changes.empty();
    if (entry.outcome != "all written" || unconfirmed)
        line += " (" + entry.outcome + (unconfirmed ? ", not read back" : "") + ")";
    return line;
}

std::vector<JournalEntry> EntriesOf(const std::vector<JournalEntry>& entries,
                                    const JournalCutter& cutter) {
    std::vector<JournalEntry> mine;
    for (const JournalEntry& entry : entries)
        if (entry.cutter.SameCutter(cutter))
            mine.push_back(entry);
    return mine;
}

UndoPlan PlanUndo(const std::vector<JournalEntry>& cutterEntries, std::optional<std::int64_t> to,
                  const CutterValues& now) {
    const JournalEntry* target = nullptr;
    for (auto it = cutterEntries.rbegin(); it != cutterEntries.rend() && !target; ++it) {
        if (to ? it->id == *to
               : it->before && it->after && !ValueChanges(*it->before, *it->after).empty())
            target = &*it;
    }
    if (!target)
        throw UndoError(to ? "entry " + std::to_string(*to) + " is no entry of this cutter"
                           : std::string("nothing to undo: no entry of this cutter changed a "
                                         "value"));
    if (!target->before)
        throw UndoError("entry " + std::to_string(target->id) +
                        " holds no values from before it, so nothing can bring them back");
    UndoPlan plan;
    plan.target = target->id;
    plan.restore = *target->before;
    // What the cutter does not hold of what was read before, it keeps as it is now.
    plan.restore.bladeHolder = plan.restore.bladeHolder && now.bladeHolder;
    plan.restore.aasOffsets = plan.restore.aasOffsets && now.aasOffsets;
    if (!plan.restore.aasOffsets) {
        plan.restore.values.FAASXOffset = now.values.FAASXOffset;
        plan.restore.values.FAASYOffset = now.values.FAASYOffset;
    }
    const JournalEntry& newest = cutterEntries.back();
    plan.newest = newest.id;
    if (newest.after)
        plan.changedElsewhere = ValueChanges(*newest.after, now);
    else
        plan.changedElsewhere.push_back("entry " + std::to_string(newest.id) +
                                        " left no known values");
    // "Undo of 15 to 17" when later entries that changed values are undone with it.
    std::int64_t last = plan.target;
    for (const JournalEntry& entry : cutterEntries)
        if (entry.id > plan.target && entry.before && entry.after &&
            !ValueChanges(*entry.before, *entry.after).empty())
            last = entry.id;
    plan.action = "Undo of " + std::to_string(plan.target) +
                  (last != plan.target ? " to " + std::to_string(last) : "");
    return plan;
}

std::string WriteOutcome(const CutterValues& wanted, const std::optional<CutterValues>& readBack) {
    if (!readBack)
        return "all written";
    const std::vector<std::string> differ = ValueChanges(wanted, *readBack);
    return differ.empty() ? "all written" : "read back different: " + Join(differ);
}

namespace {

// An entry's time ("2026-12-08T17:52:10+01:00") as a point in time; nothing when it is not
// one.
std::optional<std::chrono::system_clock::time_point> TimeOf(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0, oh = 0, om = 0;
    char sign = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%2d:%2d", &y, &mo, &d, &h, &mi, &se,
                    &sign, &oh, &om) != 9 ||
        (sign != '+' && sign != '-'))
        return std::nullopt;
    const std::chrono::year_month_day day{std::chrono::year(y), std::chrono::month(mo),
                                          std::chrono::day(d)};
    if (!day.ok())
        return std::nullopt;
    const auto offset = std::chrono::minutes((sign == '-' ? -1 : 1) * (oh * 60 + om));
    return std::chrono::sys_days(day) + std::chrono::hours(h) + std::chrono::minutes(mi) +
           std::chrono::seconds(se) - offset;
}

} // namespace

std::vector<TuneStep> RecentTuneSteps(const std::vector<JournalEntry>& entries,
                                      std::chrono::system_clock::time_point now) {
    const std::string fix = "Test cut fix: ";
    std::vector<TuneStep> steps;
    auto newer = now;
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        const std::optional<std::chrono::system_clock::time_point> at = TimeOf(entry->time);
        if (entry->action.rfind("Test cut", 0) != 0 || !at || newer - *at > std::chrono::hours(1))
            break;
        newer = *at;
        if (entry->action.rfind(fix, 0) != 0)
            continue; // a cut: nothing was answered
        const std::string step = entry->action.substr(fix.size());
        const auto seen = std::find_if(CutSeenEntries().begin(), CutSeenEntries().end(),
                                       [&](const CutSeenEntry& e) { return e.step == step; });
        if (seen == CutSeenEntries().end() || !entry->before)
            break;
        // The force bar's grams depend on the model, which the entry names apart.
        MachineSettings before = entry->before->values;
        before.FModelName = entry->cutter.model;
        const std::optional<CutValues> values = CutValuesOf(before);
        if (!values)
            break;
        steps.insert(steps.begin(), TuneStep{*values, seen->seen});
    }
    return steps;
}

} // namespace zopra::settings
