#include "protocol/Ladder.h"

#include "protocol/ModelRules.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"

#include <algorithm>
#include <cmath>

namespace zopra {

namespace {

constexpr long double kDefaultCellMm = 8;
constexpr int kLastOffset = static_cast<int>(kBladeOffsetEntries.size()) - 1;

std::int32_t ForceMaximum(std::string_view modelName) {
    return RulesForModel(modelName).forceMaximum;
}

// Whole grams, halves up (every value here is positive).
std::int32_t RoundGrams(long double grams) {
    return static_cast<std::int32_t>(std::floor(grams + 0.5L));
}

void RequireCellCount(int cells) {
    if (cells < kLadderCellsMinimum || cells > kLadderCellsMaximum)
        throw LadderError("A ladder has " + std::to_string(kLadderCellsMinimum) + " to " +
                          std::to_string(kLadderCellsMaximum) + " cells, not " +
                          std::to_string(cells) + "; nothing was sent.");
}

std::string ValueText(LadderKind kind, std::int32_t value, bool inches, char sep) {
    return kind == LadderKind::Force ? CutForceText(value, inches, sep)
                                     : CutOffsetText(value, inches, sep);
}

// The message the guided fix gives at the same limit.
std::string LimitMessage(LadderKind kind, bool upward, std::string_view modelName, bool inches,
                         char sep) {
    const CutValues at =
        kind == LadderKind::Force
            ? CutValues{upward ? ForceMaximum(modelName) : kForcePositionMinimum, 0}
            : CutValues{kForcePositionMinimum, upward ? kLastOffset : 0};
    const CutSeen seen = kind == LadderKind::Force
                             ? (upward ? CutSeen::NotThrough : CutSeen::IntoBacking)
                             : (upward ? CutSeen::RoundedCorners : CutSeen::OvercutCorners);
    return GuideFix(seen, modelName, at, inches, sep).message;
}

// The values rounded, each once, in rising order, keeping only those strictly inside
// (low, high): a cell already answered is not cut again.
std::vector<std::int32_t> CellsInside(std::vector<long double> exact, std::int32_t low,
                                      std::int32_t high, bool lowIncluded, bool highIncluded) {
    std::vector<std::int32_t> cells;
    for (const long double value : exact) {
        const std::int32_t grams = RoundGrams(value);
        if ((grams > low || (lowIncluded && grams == low)) &&
            (grams < high || (highIncluded && grams == high)))
            cells.push_back(grams);
    }
    std::sort(cells.begin(), cells.end());
    cells.erase(std::unique(cells.begin(), cells.end()), cells.end());
    return cells;
}

LadderPlan Next(LadderKind kind, std::vector<std::int32_t> cells, bool inches, char sep) {
    LadderPlan plan;
    plan.kind = LadderPlan::Kind::NextStrip;
    plan.next = Ladder{kind, std::move(cells)};
    plan.message = "No cell was clean; next strip: " + LadderMapText(plan.next, inches, sep);
    return plan;
}

LadderPlan Limit(std::string message) {
    LadderPlan plan;
    plan.kind = LadderPlan::Kind::AtLimit;
    plan.message = std::move(message);
    return plan;
}

// No force cell was clean. A is the last cell not cut through, B the first into the backing.
LadderPlan NextForceStrip(const Ladder& strip, std::optional<std::int32_t> a,
                          std::optional<std::int32_t> b, std::string_view modelName, bool inches,
                          char sep) {
    const long double n = static_cast<long double>(strip.cells.size());
    const std::int32_t minimum = kForcePositionMinimum;
    const std::int32_t maximum = ForceMaximum(modelName);
    std::vector<long double> exact;
    if (a && b) {
        // Evenly inside the open interval; answers against the rising order still bound it.
        const std::int32_t low = std::min(*a, *b);
        const std::int32_t high = std::max(*a, *b);
        for (int k = 1; k <= static_cast<int>(n); ++k)
            exact.push_back(low + (high - low) * k / (n + 1));
        std::vector<std::int32_t> cells = CellsInside(exact, low, high, false, false);
        if (cells.empty())
            return Limit(NoForceBetweenText(low, high, inches, sep));
        return Next(LadderKind::Force, std::move(cells), inches, sep);
    }
    if (a) {
        if (*a >= maximum)
            return Limit(LimitMessage(LadderKind::Force, true, modelName, inches, sep));
        for (int k = 1; k <= static_cast<int>(n); ++k)
            exact.push_back(*a + (maximum - *a) * k / n);
        return Next(LadderKind::Force, CellsInside(exact, *a, maximum, false, true), inches, sep);
    }
    if (*b <= minimum)
        return Limit(LimitMessage(LadderKind::Force, false, modelName, inches, sep));
    for (int k = 1; k <= static_cast<int>(n); ++k)
        exact.push_back(minimum + (*b - minimum) * (k - 1) / n);
    return Next(LadderKind::Force, CellsInside(exact, minimum, *b, true, false), inches, sep);
}

// No offset cell was sharp: the entries between the last rounded and the first overcut one.
LadderPlan NextOffsetStrip(std::optional<std::int32_t> a, std::optional<std::int32_t> b,
                           std::string_view modelName, bool inches, char sep) {
    if (!b && *a >= kLastOffset)
        return Limit(LimitMessage(LadderKind::Offset, true, modelName, inches, sep));
    if (!a && *b <= 0)
        return Limit(LimitMessage(LadderKind::Offset, false, modelName, inches, sep));
    const std::int32_t low = a && b ? std::min(*a, *b) : a ? *a : -1;
    const std::int32_t high = a && b ? std::max(*a, *b) : b ? *b : kLastOffset + 1;
    std::vector<std::int32_t> cells;
    for (std::int32_t entry = low + 1; entry < high; ++entry)
        cells.push_back(entry);
    if (cells.empty())
        return Limit(NoOffsetBetweenText(low, high, inches, sep));
    return Next(LadderKind::Offset, std::move(cells), inches, sep);
}

} // namespace

Ladder ForceLadder(std::string_view modelName, std::int32_t from, std::int32_t to, int cells) {
    RequireCellCount(cells);
    const std::int32_t maximum = ForceMaximum(modelName);
    if (from < kForcePositionMinimum || to > maximum || from >= to)
        throw LadderError("A force ladder rises within " + std::to_string(kForcePositionMinimum) +
                          " to " + std::to_string(maximum) + " g for this model, not from " +
                          std::to_string(from) + " to " + std::to_string(to) +
                          " g; nothing was sent.");
    Ladder ladder{LadderKind::Force, {}};
    for (int k = 1; k <= cells; ++k)
        ladder.cells.push_back(
            RoundGrams(from + static_cast<long double>(to - from) * (k - 1) / (cells - 1)));
    return ladder;
}

Ladder DefaultForceLadder(std::string_view modelName, int cells) {
    return ForceLadder(modelName, kForcePositionMinimum, ForceMaximum(modelName), cells);
}

Ladder OffsetLadder(int fromIndex, int toIndex) {
    if (fromIndex < 0 || toIndex > kLastOffset || fromIndex >= toIndex)
        throw LadderError("An offset ladder runs up the blade offset list, not from entry " +
                          std::to_string(fromIndex + 1) + " to entry " +
                          std::to_string(toIndex + 1) + "; nothing was sent.");
    RequireCellCount(toIndex - fromIndex + 1);
    Ladder ladder{LadderKind::Offset, {}};
    for (int entry = fromIndex; entry <= toIndex; ++entry)
        ladder.cells.push_back(entry);
    return ladder;
}

Ladder DefaultOffsetLadder() {
    return OffsetLadder(0, kLastOffset);
}

Ladder LadderOfCells(std::string_view modelName, LadderKind kind, std::vector<std::int32_t> cells) {
    const std::int32_t low = kind == LadderKind::Force ? kForcePositionMinimum : 0;
    const std::int32_t high = kind == LadderKind::Force ? ForceMaximum(modelName) : kLastOffset;
    const bool rising =
        std::adjacent_find(cells.begin(), cells.end(), std::greater_equal<>()) == cells.end();
    if (cells.empty() || cells.size() > kLadderCellsMaximum || !rising || cells.front() < low ||
        cells.back() > high)
        throw LadderError("A strip's cells rise within the model's range, 1 to " +
                          std::to_string(kLadderCellsMaximum) + " of them; nothing was sent.");
    return Ladder{kind, std::move(cells)};
}

std::optional<std::int32_t> LadderEndFromText(LadderKind kind, std::string_view text, bool inches,
                                              char sep) {
    long double typed = 0;
    try {
        typed = StrToFloat(text, sep);
    } catch (const ConversionError&) {
        return std::nullopt;
    }
    if (kind == LadderKind::Offset) {
        const std::vector<std::string> entries = BladeOffsetEntries(inches, sep);
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (StrToFloat(entries[i], sep) == typed)
                return static_cast<std::int32_t>(i);
        return std::nullopt;
    }
    const long double grams = inches ? typed / units::kOuncePerGram : typed;
    if (!(grams >= 0 && grams <= 100000))
        return std::nullopt;
    if (!inches && grams != std::floor(grams))
        return std::nullopt;
    return RoundGrams(grams);
}

std::string LadderEndText(LadderKind kind, std::int32_t value, bool inches, char sep) {
    return kind == LadderKind::Force
               ? BladeForceText(value, inches, sep)
               : BladeOffsetEntries(inches, sep).at(static_cast<std::size_t>(value));
}

std::string LadderDefaultSize(bool inches, char sep) {
    return inches ? FormatFixed(kDefaultCellMm / 25.4L, 3, sep)
                  : FormatFixed(kDefaultCellMm, 1, sep);
}

std::string LadderCellText(const Ladder& ladder, std::size_t cell, bool inches, char sep) {
    return ValueText(ladder.kind, ladder.cells.at(cell), inches, sep);
}

std::string LadderMapText(const Ladder& ladder, bool inches, char sep) {
    std::string map;
    for (std::size_t cell = 0; cell < ladder.cells.size(); ++cell)
        map += (cell == 0 ? "" : "  ") + std::to_string(cell + 1) + ": " +
               LadderCellText(ladder, cell, inches, sep);
    return map;
}

std::string LadderTitle(const Ladder& ladder, bool inches, char sep) {
    const bool force = ladder.kind == LadderKind::Force;
    const std::string first = LadderEndText(ladder.kind, ladder.cells.front(), inches, sep);
    const std::string last = LadderCellText(ladder, ladder.cells.size() - 1, inches, sep);
    return std::string(force ? "Force" : "Offset") + " ladder " + first + "-" + last + ", " +
           std::to_string(ladder.cells.size()) + " cells";
}

CutValues CellValues(const Ladder& ladder, std::size_t cell, const CutValues& before) {
    CutValues values = before;
    if (ladder.kind == LadderKind::Force)
        values.forceGrams = ladder.cells.at(cell);
    else
        values.offsetIndex = static_cast<int>(ladder.cells.at(cell));
    return values;
}

std::optional<LadderStrip> MakeLadderStrip(const MachineSettings& before, const Ladder& ladder,
                                           std::int32_t side) {
    const std::optional<CutValues> held = CutValuesOf(before);
    if (!held)
        return std::nullopt;
    const std::optional<SettingsUpdate> restore = TuneSettingsUpdate(before, *held);
    if (!restore)
        return std::nullopt;
    LadderStrip strip;
    for (std::size_t cell = 0; cell < ladder.cells.size(); ++cell) {
        std::vector<std::string> writes =
            SettingsUpdateWrites(*TuneSettingsUpdate(before, CellValues(ladder, cell, *held)));
        writes.push_back(TestCutText(side));
        strip.cells.push_back(std::move(writes));
    }
    strip.restore = SettingsUpdateWrites(*restore);
    return strip;
}

StripRun CutLadderStrip(const LadderStrip& strip, const LinkWriter& write) {
    StripRun run;
    const auto writeAll =
        [&](const std::vector<std::string>& writes) -> std::optional<std::string> {
        for (const std::string& bytes : writes) {
            const LinkWriteResult result = write(bytes);
            if (!result)
                return result.reason;
            run.sent.push_back(bytes);
        }
        return std::nullopt;
    };
    for (const std::vector<std::string>& cell : strip.cells) {
        run.failure = writeAll(cell);
        if (run.failure)
            break;
        ++run.cellsCut;
    }
    const std::optional<std::string> restoreFailure = writeAll(strip.restore);
    run.restoreWritten = !restoreFailure;
    if (restoreFailure && !run.failure)
        run.failure = restoreFailure;
    return run;
}

std::string StripFailureText(const StripRun& run, std::size_t cells) {
    std::string text =
        run.cellsCut == static_cast<int>(cells)
            ? std::string("The strip was cut, but writing the cutter's values "
                          "from before failed: ") +
                  LinkWriteError(*run.failure).what()
            : (run.cellsCut == 0 ? std::string("The strip stopped before its first cell: ")
                                 : "The strip stopped after cell " + std::to_string(run.cellsCut) +
                                       " of " + std::to_string(cells) + ": ") +
                  LinkWriteError(*run.failure).what();
    if (run.cellsCut < static_cast<int>(cells))
        text += run.restoreWritten ? " The cutter's values from before were written back."
                                   : " The cutter's values from before could not be written "
                                     "back either.";
    return text;
}

std::string RestoreMismatchText(const MachineSettings& after, bool inches, char sep) {
    return "The cutter did not take its values from before back: it reports " +
           ReportedCutValuesText(after, inches, sep) + ".";
}

const std::array<CellSeenEntry, 3>& CellSeenEntries(LadderKind kind) {
    static const std::array<CellSeenEntry, 3> force = {{
        {CellSeen::Under, "Not cut", "not-through", "n", "not cut through"},
        {CellSeen::Good, "Clean", "clean", "c", "cut through cleanly"},
        {CellSeen::Over, "Backing", "into-backing", "b", "cut into the backing"},
    }};
    static const std::array<CellSeenEntry, 3> offset = {{
        {CellSeen::Under, "Rounded", "rounded", "r", "corners rounded"},
        {CellSeen::Good, "Sharp", "sharp", "s", "corners sharp"},
        {CellSeen::Over, "Overcut", "overcut", "o", "corners overcut"},
    }};
    return kind == LadderKind::Force ? force : offset;
}

std::optional<CellSeen> CellSeenFromWord(LadderKind kind, std::string_view word) {
    for (const CellSeenEntry& entry : CellSeenEntries(kind))
        if (entry.word == word || entry.letter == word)
            return entry.seen;
    return std::nullopt;
}

std::string CellSeenWords(LadderKind kind) {
    std::string words, letters;
    for (const CellSeenEntry& entry : CellSeenEntries(kind)) {
        words += (words.empty() ? "" : ", ") + std::string(entry.word);
        letters += (letters.empty() ? "" : ", ") + std::string(entry.letter);
    }
    return words + " (or " + letters + ")";
}

LadderPlan PlanLadder(const Ladder& strip, const std::vector<CellSeen>& seen,
                      std::string_view modelName, bool inches, char sep) {
    if (seen.size() != strip.cells.size() || strip.cells.empty())
        throw std::invalid_argument("one answer per cell of the strip");
    // The widest run of clean cells, the first of equals.
    std::size_t bestFirst = 0, bestLength = 0;
    for (std::size_t first = 0; first < seen.size();) {
        std::size_t end = first;
        while (end < seen.size() && seen[end] == CellSeen::Good)
            ++end;
        if (end - first > bestLength) {
            bestFirst = first;
            bestLength = end - first;
        }
        first = std::max(end, first + 1);
    }
    if (bestLength > 0) {
        LadderPlan plan;
        plan.kind = LadderPlan::Kind::Write;
        const std::size_t last = bestFirst + bestLength - 1;
        plan.value = strip.kind == LadderKind::Force
                         ? RoundGrams((strip.cells[bestFirst] + strip.cells[last]) / 2.0L)
                         : strip.cells[bestFirst + (bestLength - 1) / 2];
        plan.message =
            std::string(strip.kind == LadderKind::Force ? "Blade force " : "Blade offset ") +
            ValueText(strip.kind, plan.value, inches, sep);
        return plan;
    }
    std::optional<std::int32_t> lastUnder, firstOver;
    for (std::size_t cell = 0; cell < seen.size(); ++cell) {
        if (seen[cell] == CellSeen::Under)
            lastUnder = strip.cells[cell];
        if (seen[cell] == CellSeen::Over && !firstOver)
            firstOver = strip.cells[cell];
    }
    return strip.kind == LadderKind::Force
               ? NextForceStrip(strip, lastUnder, firstOver, modelName, inches, sep)
               : NextOffsetStrip(lastUnder, firstOver, modelName, inches, sep);
}

std::string LadderAnswerText(const LadderPlan& plan, const Ladder& strip, bool inches, char sep) {
    switch (plan.kind) {
    case LadderPlan::Kind::Write:
        return "Ladder answer: " + ValueText(strip.kind, plan.value, inches, sep) + " written";
    case LadderPlan::Kind::NextStrip:
        return "Ladder answer: next strip " + LadderMapText(plan.next, inches, sep);
    case LadderPlan::Kind::AtLimit:
        break;
    }
    return "Ladder answer: " + plan.message;
}

} // namespace zopra
