#include "protocol/TestCut.h"

#include "protocol/ModelRules.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zopra {

namespace {

constexpr long double kMinMm = 5;
constexpr long double kMaxMm = 50;
constexpr long double kDefaultMm = 10;
constexpr std::int32_t kUnitsPerMm = 40;
// Where the next cut starts: this far right of the last one's square.
constexpr std::int32_t kGapUnits = 5 * kUnitsPerMm;

std::string SizeLimitsText(bool inches, char sep) {
    if (!inches)
        return FormatFixed(kMinMm, 1, sep) + " to " + FormatFixed(kMaxMm, 1, sep) + " mm";
    // The smallest and largest inch texts whose truncated units stay inside the range.
    return FormatFixed(0.197L, 3, sep) + " to " + FormatFixed(1.969L, 3, sep) + " Inch";
}

std::string Point(std::int32_t x, std::int32_t y) {
    return std::to_string(x) + "," + std::to_string(y);
}

} // namespace

std::int32_t TestCutSide(std::string_view typed, bool inches, char sep) {
    const long double value = StrToFloat(typed, sep);
    const auto outside = [&] {
        return TestCutSizeError("The size must be from " + SizeLimitsText(inches, sep) +
                                "; nothing was sent.");
    };
    // Far outside first: the conversion to units would not fit an integer.
    if (!(value > 0 && value <= kMaxMm))
        throw outside();
    const std::int32_t side = TestSquareUnits(value, inches);
    if (side < kMinMm * kUnitsPerMm || side > kMaxMm * kUnitsPerMm)
        throw outside();
    return side;
}

std::string TestCutDefaultSize(bool inches, char sep) {
    return inches ? FormatFixed(kDefaultMm / 25.4L, 3, sep) : FormatFixed(kDefaultMm, 1, sep);
}

std::string TestCutSizeMm(std::int32_t side, char sep) {
    return FormatFixed(static_cast<long double>(side) / kUnitsPerMm, 1, sep);
}

std::string TestCutText(std::int32_t side) {
    // The triangle's corners: a fifth of the side in from the square's bottom corners, and
    // the apex a fifth below the top edge, halfway across. Each move is the difference of
    // two of these points, so the figures close exactly whatever the rounding.
    const std::int32_t inset = side / 5;
    const std::int32_t apexX = side / 2;
    const std::int32_t base = side - 2 * inset;
    const std::string square = "PD" + Point(side, 0) + "," + Point(0, side) + "," +
                               Point(-side, 0) + "," + Point(0, -side) + ";";
    const std::string triangle = "PD" + Point(base, 0) + "," + Point(apexX - (side - inset), base) +
                                 "," + Point(inset - apexX, -base) + ";";
    return "SP1;PR;PU0,0;" + square + "PU" + Point(inset, inset) + ";" + triangle + "PU" +
           Point(side + kGapUnits - inset, -inset) + ";";
}

const std::array<CutSeenEntry, 5>& CutSeenEntries() {
    static const std::array<CutSeenEntry, 5> entries = {{
        {CutSeen::Clean, "Clean: it weeds cleanly", "clean", "clean"},
        {CutSeen::NotThrough, "Not cut through", "not-through", "not cut through"},
        {CutSeen::IntoBacking, "Cut into the backing", "into-backing", "cut into the backing"},
        {CutSeen::RoundedCorners, "Corners rounded", "rounded-corners", "corners rounded"},
        {CutSeen::OvercutCorners, "Corners overcut or hooked", "overcut-corners",
         "corners overcut"},
    }};
    return entries;
}

const CutSeenEntry& EntryOf(CutSeen seen) {
    return CutSeenEntries()[static_cast<std::size_t>(seen)];
}

std::optional<CutSeen> CutSeenFromWord(std::string_view word) {
    for (const CutSeenEntry& entry : CutSeenEntries())
        if (entry.word == word)
            return entry.seen;
    return std::nullopt;
}

std::string CutSeenWords() {
    std::string words;
    for (const CutSeenEntry& entry : CutSeenEntries())
        words += (words.empty() ? "" : ", ") + std::string(entry.word);
    return words;
}

std::string CutForceText(std::int32_t grams, bool inches, char sep) {
    return BladeForceText(grams, inches, sep) + " " + ForceUnitName(inches);
}

std::string CutOffsetText(int offsetIndex, bool inches, char sep) {
    return BladeOffsetEntries(inches, sep).at(static_cast<std::size_t>(offsetIndex)) + " " +
           LengthUnitName(inches);
}

std::string NoForceBetweenText(std::int32_t low, std::int32_t high, bool inches, char sep) {
    return "No whole gram lies between " + CutForceText(low, inches, sep) + " and " +
           CutForceText(high, inches, sep) +
           ", where the cut goes from not through to into the backing; nothing was sent.";
}

std::string NoOffsetBetweenText(int low, int high, bool inches, char sep) {
    return "No entry of the blade offset list lies between " + CutOffsetText(low, inches, sep) +
           " (corners rounded) and " + CutOffsetText(high, inches, sep) +
           " (corners overcut); nothing was sent.";
}

namespace {

bool IsForceSight(CutSeen seen) {
    return seen == CutSeen::NotThrough || seen == CutSeen::IntoBacking;
}

bool IsOffsetSight(CutSeen seen) {
    return seen == CutSeen::RoundedCorners || seen == CutSeen::OvercutCorners;
}

// The earlier cuts that saw the same kind of fault as `seen`, back to the last that did not:
// the run of steps this one continues.
std::vector<TuneStep> RunOfSights(const std::vector<TuneStep>& earlier, bool (*kind)(CutSeen)) {
    std::size_t first = earlier.size();
    while (first > 0 && kind(earlier[first - 1].seen))
        --first;
    return {earlier.begin() + static_cast<std::ptrdiff_t>(first), earlier.end()};
}

// How far the last step of the run moved the value to `now` (0: none).
std::int32_t LastForceStep(const std::vector<TuneStep>& run, const CutValues& now) {
    return run.empty() ? 0 : std::abs(now.forceGrams - run.back().values.forceGrams);
}

std::int32_t ForceStep(const std::vector<TuneStep>& run, const CutValues& now, CutSeen seen) {
    const std::int32_t last = LastForceStep(run, now);
    if (last == 0)
        return kForceStepGrams;
    bool reversed = false;
    for (std::size_t i = 0; i < run.size(); ++i)
        reversed = reversed || (i + 1 < run.size() ? run[i + 1].seen : seen) != run[i].seen;
    return reversed ? std::max(kForceStepGrams, last / 2) : 2 * last;
}

// The nearest value of the run seen on the other side, in the direction of the step.
std::optional<std::int32_t> OtherSide(const std::vector<TuneStep>& run, CutSeen opposite,
                                      std::int32_t now, int direction, bool force) {
    std::optional<std::int32_t> nearest;
    for (const TuneStep& step : run) {
        const std::int32_t value = force ? step.values.forceGrams : step.values.offsetIndex;
        if (step.seen == opposite && (value - now) * direction > 0 &&
            (!nearest || (value - *nearest) * direction < 0))
            nearest = value;
    }
    return nearest;
}

} // namespace

GuidedFix GuideFix(CutSeen seen, std::string_view modelName, const CutValues& now, bool inches,
                   char sep, const std::vector<TuneStep>& earlier) {
    const int lastOffset = static_cast<int>(kBladeOffsetEntries.size()) - 1;
    if (now.offsetIndex < 0 || now.offsetIndex > lastOffset)
        throw std::invalid_argument("the blade offset is no entry of the list");
    GuidedFix fix;
    fix.next = now;
    const auto noRoom = [&](std::string message) {
        fix.kind = GuidedFix::Kind::AtLimit;
        fix.message = std::move(message);
    };
    const auto force = [&](int direction) {
        const std::int32_t minimum = kForcePositionMinimum;
        const std::int32_t maximum = RulesForModel(modelName).forceMaximum;
        const std::int32_t limit = direction > 0 ? maximum : minimum;
        if (direction > 0 ? now.forceGrams >= maximum : now.forceGrams <= minimum) {
            fix.kind = GuidedFix::Kind::AtLimit;
            fix.message = "The blade force is already at its " +
                          std::string(direction > 0 ? "maximum" : "minimum") + ", " +
                          CutForceText(limit, inches, sep) + ", for this model; nothing was sent.";
            return;
        }
        const std::vector<TuneStep> run = RunOfSights(earlier, IsForceSight);
        std::int32_t next =
            std::clamp(now.forceGrams + direction * ForceStep(run, now, seen), minimum, maximum);
        const CutSeen opposite = direction > 0 ? CutSeen::IntoBacking : CutSeen::NotThrough;
        if (const auto other = OtherSide(run, opposite, now.forceGrams, direction, true);
            other && (next - *other) * direction >= 0) {
            // Halfway to what was seen on the other side, never onto it.
            next = now.forceGrams + (*other - now.forceGrams) / 2;
            if (next == now.forceGrams)
                return noRoom(NoForceBetweenText(std::min(now.forceGrams, *other),
                                                 std::max(now.forceGrams, *other), inches, sep));
        }
        fix.kind = GuidedFix::Kind::Change;
        fix.next.forceGrams = next;
        fix.message = "Blade force " + CutForceText(fix.next.forceGrams, inches, sep);
    };
    const auto offset = [&](int direction) {
        const int limit = direction > 0 ? lastOffset : 0;
        if (now.offsetIndex == limit) {
            fix.kind = GuidedFix::Kind::AtLimit;
            fix.message = "The blade offset is already at its " +
                          std::string(direction > 0 ? "largest" : "smallest") + " entry, " +
                          CutOffsetText(limit, inches, sep) + "; nothing was sent.";
            return;
        }
        const std::vector<TuneStep> run = RunOfSights(earlier, IsOffsetSight);
        const bool repeated = !run.empty() && run.back().seen == seen &&
                              run.back().values.offsetIndex != now.offsetIndex;
        int next = std::clamp(now.offsetIndex + direction * (repeated ? 2 : 1), 0, lastOffset);
        const CutSeen opposite = direction > 0 ? CutSeen::OvercutCorners : CutSeen::RoundedCorners;
        if (const auto other = OtherSide(run, opposite, now.offsetIndex, direction, false);
            other && (next - *other) * direction >= 0) {
            next = *other - direction;
            if (next == now.offsetIndex)
                return noRoom(NoOffsetBetweenText(std::min(now.offsetIndex, *other),
                                                  std::max(now.offsetIndex, *other), inches, sep));
        }
        fix.kind = GuidedFix::Kind::Change;
        fix.next.offsetIndex = next;
        fix.message = "Blade offset " + CutOffsetText(fix.next.offsetIndex, inches, sep);
    };
    switch (seen) {
    case CutSeen::Clean: {
        fix.kind = GuidedFix::Kind::Clean;
        fix.message = CleanCutText(now, inches, sep);
        const std::vector<TuneStep> run = RunOfSights(earlier, IsForceSight);
        if (const std::int32_t last = LastForceStep(run, now); last > 0) {
            const std::int32_t from = std::max(kForcePositionMinimum, now.forceGrams - last);
            const std::int32_t to =
                std::min(RulesForModel(modelName).forceMaximum, now.forceGrams + last);
            fix.ladderOffer = GuidedFix::ForceRange{from, to};
            fix.message += " A force step ended here, so it may sit at the edge of the clean "
                           "range: a force ladder from " +
                           BladeForceText(from, inches, sep) + " to " +
                           CutForceText(to, inches, sep) + " finds its middle.";
        }
        break;
    }
    case CutSeen::NotThrough:
        force(+1);
        break;
    case CutSeen::IntoBacking:
        force(-1);
        break;
    case CutSeen::RoundedCorners:
        offset(+1);
        break;
    case CutSeen::OvercutCorners:
        offset(-1);
        break;
    }
    return fix;
}

std::optional<CutValues> CutValuesOf(const MachineSettings& values) {
    const ParameterDisplay d = MakeParameterDisplay(values);
    if (!d.forcePosition || d.offsetIndex < 0 ||
        values.FBladeOffset != kBladeOffsetEntries[static_cast<std::size_t>(d.offsetIndex)])
        return std::nullopt;
    // The bar shows a force no position sends as the force itself: not one the loop can step.
    if (BladeForceValue(values.FModelName, *d.forcePosition) != values.FBladeForce)
        return std::nullopt;
    return CutValues{*d.forcePosition, d.offsetIndex};
}

std::optional<SettingsUpdate> TuneSettingsUpdate(const MachineSettings& values,
                                                 const CutValues& cut) {
    const ParameterDisplay d = MakeParameterDisplay(values);
    for (const int index : {d.weightIndex, d.accelIndex, d.smoothIndex, d.unrollIndex, d.mediaIndex,
                            d.bladeHolderIndex})
        if (index < 0)
            return std::nullopt;
    SettingsUpdate update;
    update.offsetIndex = cut.offsetIndex;
    update.weightIndex = d.weightIndex;
    update.accelIndex = d.accelIndex;
    update.smoothIndex = d.smoothIndex;
    update.unrollIndex = d.unrollIndex;
    update.mediaIndex = d.mediaIndex;
    update.forceValue = BladeForceValue(values.FModelName, cut.forceGrams);
    update.bladeHolderIndex = d.bladeHolderIndex;
    return update;
}

bool ReadBackMatches(const MachineSettings& after, std::string_view modelName,
                     const CutValues& written) {
    return after.FBladeForce == BladeForceValue(modelName, written.forceGrams) &&
           after.FBladeOffset ==
               kBladeOffsetEntries.at(static_cast<std::size_t>(written.offsetIndex));
}

std::string ReportedCutValuesText(const MachineSettings& after, bool inches, char sep) {
    // The force as the page shows it: the force bar's position, in the unit chosen (a cutter
    // outside the model table reports position x 0.64). A value no position sends is shown
    // as the cutter reports it.
    const double reported = after.FBladeForce;
    const std::optional<std::int32_t> position =
        reported == std::trunc(reported) && std::fabs(reported) < 1e9
            ? ForcePositionForValue(after.FModelName, static_cast<std::int32_t>(reported))
            : std::nullopt;
    const std::string force =
        position ? CutForceText(*position, inches, sep)
                 : FormatGeneral(after.FBladeForce, sep) + " (as the cutter reports it)";
    return "blade force " + force + " and blade offset " +
           BladeOffsetText(after.FBladeOffset, inches, sep) + " " + LengthUnitName(inches);
}

std::string ReadBackMismatchText(const MachineSettings& after, bool inches, char sep) {
    return "The cutter did not take the change: it reports " +
           ReportedCutValuesText(after, inches, sep) + "; no test cut was made.";
}

std::string TuneStepText(int number, const TuneStep& step, bool inches, char sep) {
    return std::to_string(number) + ": " + CutForceText(step.values.forceGrams, inches, sep) +
           ", " + CutOffsetText(step.values.offsetIndex, inches, sep) + ", " +
           std::string(EntryOf(step.seen).step);
}

std::string CleanCutText(const CutValues& values, bool inches, char sep) {
    return "Clean cut: blade force " + CutForceText(values.forceGrams, inches, sep) +
           ", blade offset " + CutOffsetText(values.offsetIndex, inches, sep) + ".";
}

} // namespace zopra
