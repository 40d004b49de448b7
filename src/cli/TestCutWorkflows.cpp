// `testcut`, `tune` and `ladder`: the "Test Cut" page's buttons from the command line, over
// the same pattern, guided fix, strip, planner and read-back as the window.
#include "cli/CliErrors.h"
#include "cli/Cutter.h"
#include "cli/History.h"
#include "cli/Reports.h"
#include "cli/Workflows.h"
#include "protocol/Ladder.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"
#include "protocol/TestCut.h"
#include "settings/CutterText.h"
#include "settings/History.h"
#include "settings/SettingsPlan.h"

#include <sstream>

namespace zopra::cli {

using settings::CutterText;
using settings::ShownText;

namespace {

// The journal entries `tune` looks back over for the loop's earlier steps.
constexpr std::size_t kRecentEntries = 100;

// The side in plotter units from --size (the default 10 mm when not given); bad input is
// exit 2 before anything is opened.
std::int32_t SideOf(const std::string& size, bool inches) {
    try {
        return TestCutSide(size.empty() ? TestCutDefaultSize(inches) : size, inches);
    } catch (const ConversionError& error) {
        throw UsageError(std::string("--size: ") + error.what());
    } catch (const TestCutSizeError& error) {
        throw UsageError(std::string("--size: ") + error.what());
    }
}

// The force and offset as the JSON gives them: grams (the force bar's position) and mm.
Json ValuesJson(const CutValues& values) {
    return {{"force_g", values.forceGrams},
            {"offset_mm",
             kBladeOffsetEntries.at(static_cast<std::size_t>(values.offsetIndex)) / 1000.0}};
}

// The force and offset of a read, which the loop steps from; CutterFailure when the cutter
// holds values no control of the window shows.
CutValues SteppableValues(const MachineSettings& values) {
    const std::optional<CutValues> now = CutValuesOf(values);
    if (!now)
        throw CutterFailure("the cutter's blade force (" + FormatGeneral(values.FBladeForce) +
                            ") or blade offset (" + FormatGeneral(values.FBladeOffset) +
                            " um) is none of the values zopra steps; set them with `set` first");
    return *now;
}

} // namespace

void RunTestCut(const std::string& device, const std::string& size, const Options& options,
                std::ostream& out, std::ostream& err) {
    const std::int32_t side = SideOf(size, options.inches);
    auto cutter = Connect(device, options, err);
    const MachineSettings values = cutter->ReadParameters();
    JournaledWrite journal(*cutter, values, "Test cut " + TestCutSizeMm(side) + " mm", err);
    cutter->CutTestPattern(side);
    journal.Done(values, false, "all written");
    if (options.json) {
        Json document = {{"version", kJsonVersion},
                         {"device", CutterText(cutter->Text())},
                         {"model", CutterText(values.FModelName)},
                         {"size_mm", std::stod(TestCutSizeMm(side))},
                         {"sent", {Readable(TestCutText(side))}}};
        if (const std::optional<CutValues> now = CutValuesOf(values))
            document["values"] = ValuesJson(*now);
        out << document.dump(2) << "\n";
    } else {
        out << "Test cut: " << TestCutSizeMm(side) << " mm square on " << ShownText(cutter->Text());
        if (const std::optional<CutValues> now = CutValuesOf(values))
            out << " (blade force " << CutForceText(now->forceGrams, options.inches)
                << ", blade offset " << CutOffsetText(now->offsetIndex, options.inches) << ")";
        out << "\n";
    }
}

void RunTune(const std::string& device, const std::string& seenWord, bool noCut,
             const std::string& size, const Options& options, std::ostream& out,
             std::ostream& err) {
    const std::optional<CutSeen> seen = CutSeenFromWord(seenWord);
    if (!seen)
        throw UsageError("'" + seenWord + "' is not one of " + CutSeenWords());
    const std::int32_t side = noCut ? 0 : SideOf(size, options.inches);

    auto cutter = Connect(device, options, err);
    const MachineSettings before = cutter->ReadParameters();
    const CutValues now = SteppableValues(before);
    // The steps grow as in the window: this cutter's test cuts and fixes of the last hour.
    const std::vector<TuneStep> earlier = settings::RecentTuneSteps(
        LastEntriesOf(before, kRecentEntries), std::chrono::system_clock::now());
    const GuidedFix fix = GuideFix(*seen, before.FModelName, now, options.inches, '.', earlier);
    if (fix.kind == GuidedFix::Kind::AtLimit)
        throw UsageError(fix.message);

    std::vector<std::string> sent;
    std::optional<CutValues> after = now;
    std::optional<bool> matched;
    MachineSettings read = before;
    if (fix.kind == GuidedFix::Kind::Change) {
        const std::optional<SettingsUpdate> update = TuneSettingsUpdate(before, fix.next);
        if (!update)
            throw CutterFailure(kTuneUnwritableMessage);
        JournaledWrite journal(*cutter, before, "Test cut fix: " + std::string(EntryOf(*seen).step),
                               err);
        cutter->WriteSettings(*update);
        read = cutter->ReadCuttingParameters();
        journal.Done(settings::ValuesAfterUpdate(before, *update), read);
        for (const std::string& bytes : SettingsUpdateWrites(*update))
            sent.push_back(Readable(bytes));
        sent.push_back(Readable(QueryText(kCmdReadParameters)));
        matched = ReadBackMatches(read, before.FModelName, fix.next);
        after = CutValuesOf(read);
        if (*matched && !noCut) {
            cutter->CutTestPattern(side);
            sent.push_back(Readable(TestCutText(side)));
        }
    }
    const bool cut = matched.value_or(false) && !noCut;

    if (options.json) {
        Json document = {{"version", kJsonVersion},
                         {"device", CutterText(cutter->Text())},
                         {"model", CutterText(before.FModelName)},
                         {"seen", seenWord},
                         {"before", ValuesJson(now)},
                         {"after", after ? ValuesJson(*after) : Json(nullptr)},
                         {"sent", sent},
                         {"read_back_matched", matched ? Json(*matched) : Json(nullptr)},
                         {"cut", cut},
                         {"ladder_offer", fix.ladderOffer ? Json{{"from_g", fix.ladderOffer->from},
                                                                 {"to_g", fix.ladderOffer->to}}
                                                          : Json(nullptr)}};
        out << document.dump(2) << "\n";
    } else if (fix.kind == GuidedFix::Kind::Clean) {
        out << fix.message << " Nothing was changed.\n";
        if (fix.ladderOffer)
            out << "Cut it with: zopra-cli ladder " << device << " force --from "
                << fix.ladderOffer->from << " --to " << fix.ladderOffer->to << "\n";
    } else if (*matched) {
        out << fix.message << " written and read back"
            << (cut ? "; cut again beside the last one" : "") << "\n";
    }
    if (matched && !*matched)
        throw CutterFailure(ReadBackMismatchText(read, options.inches));
}

} // namespace zopra::cli

namespace zopra::cli {

namespace {

// What `ladder` was asked, checked before anything is opened; the range is checked against
// the model's once it is read.
struct LadderRequest {
    LadderKind kind = LadderKind::Force;
    std::optional<std::int32_t> from, to; // grams, or offset list positions
    std::optional<int> cells;
    std::vector<std::int32_t> values; // --values
    std::vector<CellSeen> seen;       // --seen
    std::int32_t side = 0;
};

std::vector<std::string> CommaSeparated(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos)
            return parts;
        start = comma + 1;
    }
}

std::int32_t WholeGrams(const std::string& option, const std::string& text) {
    long double grams = -1;
    try {
        grams = StrToFloat(text);
    } catch (const ConversionError&) {
    }
    if (!(grams >= 0 && grams <= 100000) || grams != static_cast<std::int32_t>(grams))
        throw UsageError(option + " " + text + " is not a whole number of grams");
    return static_cast<std::int32_t>(grams);
}

// The offset list's position of a typed offset, in the unit shown.
std::int32_t OffsetEntry(const std::string& option, const std::string& text, bool inches) {
    if (const auto entry = LadderEndFromText(LadderKind::Offset, text, inches))
        return *entry;
    std::string list;
    for (const std::string& entry : BladeOffsetEntries(inches))
        list += (list.empty() ? "" : ", ") + entry;
    throw UsageError(option + " " + text + " is none of the blade offset entries (" + list + " " +
                     LengthUnitName(inches) + ")");
}

LadderRequest ParseLadder(const LadderArguments& a, bool inches) {
    LadderRequest request;
    if (a.kind != "force" && a.kind != "offset")
        throw UsageError("the ladder is force or offset, not '" + a.kind + "'");
    request.kind = a.kind == "force" ? LadderKind::Force : LadderKind::Offset;
    const auto value = [&](const std::string& option, const std::string& text) {
        return request.kind == LadderKind::Force ? WholeGrams(option, text)
                                                 : OffsetEntry(option, text, inches);
    };
    if (!a.values.empty()) {
        if (!a.from.empty() || !a.to.empty() || !a.cells.empty())
            throw UsageError("--values names the strip's cells: leave out --from, --to and "
                             "--cells");
        for (const std::string& text : CommaSeparated(a.values))
            request.values.push_back(value("--values", text));
    }
    if (!a.from.empty())
        request.from = value("--from", a.from);
    if (!a.to.empty())
        request.to = value("--to", a.to);
    if (!a.cells.empty()) {
        const std::int32_t cells = WholeGrams("--cells", a.cells);
        if (cells < kLadderCellsMinimum || cells > kLadderCellsMaximum)
            throw UsageError("--cells " + a.cells + ": a ladder has " +
                             std::to_string(kLadderCellsMinimum) + " to " +
                             std::to_string(kLadderCellsMaximum) + " cells");
        request.cells = cells;
    }
    if (!a.seen.empty())
        for (const std::string& word : CommaSeparated(a.seen)) {
            const std::optional<CellSeen> seen = CellSeenFromWord(request.kind, word);
            if (!seen)
                throw UsageError("--seen: '" + word + "' is not one of " +
                                 CellSeenWords(request.kind));
            request.seen.push_back(*seen);
        }
    request.side = a.noCut && !a.seen.empty()
                       ? 0
                       : SideOf(a.size.empty() ? LadderDefaultSize(inches) : a.size, inches);
    return request;
}

// The strip the request names on this model; UsageError when it cannot be cut.
Ladder StripOf(const LadderRequest& request, std::string_view model) {
    try {
        if (!request.values.empty())
            return LadderOfCells(model, request.kind, request.values);
        if (request.kind == LadderKind::Force) {
            const Ladder whole =
                DefaultForceLadder(model, request.cells.value_or(kLadderCellsDefault));
            return ForceLadder(model, request.from.value_or(whole.cells.front()),
                               request.to.value_or(whole.cells.back()),
                               request.cells.value_or(kLadderCellsDefault));
        }
        const Ladder whole = DefaultOffsetLadder();
        const Ladder ladder = OffsetLadder(request.from.value_or(whole.cells.front()),
                                           request.to.value_or(whole.cells.back()));
        if (request.cells && *request.cells != static_cast<int>(ladder.cells.size()))
            throw UsageError("an offset ladder has one cell per entry from --from to --to: " +
                             std::to_string(ladder.cells.size()) + ", not " +
                             std::to_string(*request.cells));
        return ladder;
    } catch (const LadderError& error) {
        throw UsageError(error.what());
    }
}

Json CellJson(LadderKind kind, std::int32_t value) {
    if (kind == LadderKind::Force)
        return {{"force_g", value}};
    return {{"offset_mm", kBladeOffsetEntries.at(static_cast<std::size_t>(value)) / 1000.0}};
}

Json CellsJson(const Ladder& ladder) {
    Json cells = Json::array();
    for (const std::int32_t value : ladder.cells)
        cells.push_back(CellJson(ladder.kind, value));
    return cells;
}

std::string ValuesList(const Ladder& ladder, bool inches) {
    std::string list;
    for (std::size_t cell = 0; cell < ladder.cells.size(); ++cell)
        list += (cell == 0 ? "" : ",") +
                (ladder.kind == LadderKind::Force
                     ? std::to_string(ladder.cells[cell])
                     : BladeOffsetEntries(inches).at(static_cast<std::size_t>(ladder.cells[cell])));
    return list;
}

// Cuts the strip and reads the cutter's values back. The failure of the series, or values that
// did not come back, end the command after what was done is printed.
struct StripOutcome {
    std::optional<CutterFailure> failure;
    bool restored = false;
};

StripOutcome CutStrip(Cutter& cutter, const MachineSettings& before, const Ladder& ladder,
                      std::int32_t side, bool inches, const std::string& action,
                      std::vector<std::string>& sent, std::ostream& err) {
    const std::optional<LadderStrip> strip = MakeLadderStrip(before, ladder, side);
    if (!strip)
        throw CutterFailure(kTuneUnwritableMessage);
    // A series that stops without its read-back is journaled with how many writes went out.
    JournaledWrite journal(cutter, before, action, err);
    const StripRun run = cutter.CutStrip(*strip);
    for (const std::string& bytes : run.sent)
        sent.push_back(Readable(bytes));
    StripOutcome outcome;
    if (run.failure)
        outcome.failure = CutterFailure(StripFailureText(run, ladder.cells.size()));
    if (!run.restoreWritten)
        return outcome;
    const MachineSettings after = cutter.ReadCuttingParameters();
    sent.push_back(Readable(QueryText(kCmdReadParameters)));
    // The strip means to leave the cutter as it was.
    journal.Done(before, after);
    outcome.restored = ReadBackMatches(after, before.FModelName, SteppableValues(before));
    if (!outcome.restored && !outcome.failure)
        outcome.failure = CutterFailure(RestoreMismatchText(after, inches));
    return outcome;
}

void PrintStrip(std::ostream& out, const Ladder& ladder, std::int32_t side, bool inches) {
    out << LadderTitle(ladder, inches) << ", " << TestCutSizeMm(side) << " mm squares:\n";
    for (std::size_t cell = 0; cell < ladder.cells.size(); ++cell)
        out << "  " << cell + 1 << ": " << LadderCellText(ladder, cell, inches) << "\n";
}

} // namespace

void RunLadder(const std::string& device, const LadderArguments& a, const Options& options,
               std::ostream& out, std::ostream& err) {
    const LadderRequest request = ParseLadder(a, options.inches);
    const bool inches = options.inches;
    auto cutter = Connect(device, options, err);
    const MachineSettings before = cutter->ReadParameters();
    const CutValues held = SteppableValues(before);
    const Ladder strip = StripOf(request, before.FModelName);
    if (!request.seen.empty() && request.seen.size() != strip.cells.size())
        throw UsageError("--seen takes one word per cell: " + std::to_string(strip.cells.size()) +
                         ", not " + std::to_string(request.seen.size()) + "; nothing was sent.");

    Json document = {{"version", kJsonVersion},
                     {"device", CutterText(cutter->Text())},
                     {"model", CutterText(before.FModelName)},
                     {"kind", a.kind},
                     {"cells", CellsJson(strip)}};
    std::vector<std::string> sent;
    const std::string answer = "zopra-cli ladder " + device + " " + a.kind + " --values ";
    if (request.seen.empty()) {
        const StripOutcome outcome = CutStrip(*cutter, before, strip, request.side, inches,
                                              LadderTitle(strip, inches), sent, err);
        document["sent"] = sent;
        document["restored"] = outcome.restored;
        if (options.json) {
            out << document.dump(2) << "\n";
        } else {
            PrintStrip(out, strip, request.side, inches);
            if (outcome.restored)
                out << "The cutter's values from before were written back and read back.\n"
                    << "Answer with: " << answer << ValuesList(strip, inches)
                    << " --seen WORDS (one per cell: " << CellSeenWords(strip.kind) << ")\n";
        }
        if (outcome.failure)
            throw *outcome.failure;
        return;
    }

    const LadderPlan plan = PlanLadder(strip, request.seen, before.FModelName, inches);
    const char* decisions[] = {"write", "next-strip", "at-limit"};
    document["decision"] = decisions[static_cast<int>(plan.kind)];
    document["written"] = nullptr;
    document["next_cells"] = nullptr;
    document["restored"] = nullptr;
    std::optional<CutterFailure> failure;
    std::string text;
    switch (plan.kind) {
    case LadderPlan::Kind::Write: {
        const CutValues next = CellValues(Ladder{strip.kind, {plan.value}}, 0, held);
        const std::optional<SettingsUpdate> update = TuneSettingsUpdate(before, next);
        if (!update)
            throw CutterFailure(kTuneUnwritableMessage);
        JournaledWrite journal(*cutter, before, LadderAnswerText(plan, strip, inches), err);
        cutter->WriteSettings(*update);
        for (const std::string& bytes : SettingsUpdateWrites(*update))
            sent.push_back(Readable(bytes));
        const MachineSettings read = cutter->ReadCuttingParameters();
        journal.Done(settings::ValuesAfterUpdate(before, *update), read);
        sent.push_back(Readable(QueryText(kCmdReadParameters)));
        if (ReadBackMatches(read, before.FModelName, next)) {
            document["written"] = CellJson(strip.kind, plan.value);
            text = plan.message + " written and read back.\n";
        } else {
            failure = CutterFailure(ReadBackMismatchText(read, inches));
        }
        break;
    }
    case LadderPlan::Kind::NextStrip: {
        document["next_cells"] = CellsJson(plan.next);
        text = "No cell was clean.\n";
        if (!a.noCut) {
            const StripOutcome outcome = CutStrip(*cutter, before, plan.next, request.side, inches,
                                                  LadderAnswerText(plan, strip, inches), sent, err);
            document["restored"] = outcome.restored;
            failure = outcome.failure;
            std::ostringstream strip;
            PrintStrip(strip, plan.next, request.side, inches);
            text += "Next strip cut: " + strip.str();
        } else {
            text += "Next strip (not cut): " + LadderMapText(plan.next, inches) + "\n";
        }
        text += "Answer with: " + answer + ValuesList(plan.next, inches) + " --seen WORDS\n";
        break;
    }
    case LadderPlan::Kind::AtLimit:
        break;
    }
    document["sent"] = sent;
    if (options.json)
        out << document.dump(2) << "\n";
    else
        out << text;
    if (plan.kind == LadderPlan::Kind::AtLimit)
        throw UsageError(plan.message);
    if (failure)
        throw *failure;
}

} // namespace zopra::cli
