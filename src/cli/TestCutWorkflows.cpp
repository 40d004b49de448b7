// `testcut` and `tune`: the "Test Cut" page's two buttons from the command line, over the
// same pattern, guided fix and read-back as the window.
#include "cli/CliErrors.h"
#include "cli/Cutter.h"
#include "cli/History.h"
#include "cli/Reports.h"
#include "cli/Workflows.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"
#include "protocol/TestCut.h"
#include "settings/CutterText.h"
#include "settings/SettingsPlan.h"

namespace zopra::cli {

using settings::CutterText;
using settings::ShownText;

namespace {

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
    const GuidedFix fix = GuideFix(*seen, before.FModelName, now, options.inches);
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
                         {"cut", cut}};
        out << document.dump(2) << "\n";
    } else if (fix.kind == GuidedFix::Kind::Clean) {
        out << fix.message << " Nothing was changed.\n";
    } else if (*matched) {
        out << fix.message << " written and read back"
            << (cut ? "; cut again beside the last one" : "") << "\n";
    }
    if (matched && !*matched)
        throw CutterFailure(ReadBackMismatchText(read, options.inches));
}

} // namespace zopra::cli
