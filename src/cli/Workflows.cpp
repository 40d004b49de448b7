#include "cli/Workflows.h"

#include "cli/CliErrors.h"
#include "cli/Cutter.h"
#include "cli/Files.h"
#include "cli/History.h"
#include "cli/Interrupt.h"
#include "cli/Reports.h"
#include "protocol/Calibration.h"
#include "protocol/ModelRules.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"
#include "settings/BackupDocument.h"
#include "settings/CutterText.h"
#include "settings/SettingsPlan.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>

namespace zopra::cli {

using namespace settings;

namespace fs = std::filesystem;

// Several lines, one per setting that the cutter did not take.
std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += (text.empty() ? "" : "\n") + line;
    return text;
}

namespace {

std::vector<ConnectionEntry> Discover(std::ostream& err) {
    std::vector<std::string> messages;
    std::vector<ConnectionEntry> entries = DiscoverConnections(messages);
    // The window shows these in message boxes and goes on; so does the command line. A
    // message may carry a second line of advice; each line is one line of standard error.
    for (const std::string& message : messages) {
        std::istringstream lines(message);
        for (std::string line; std::getline(lines, line);)
            err << "zopra-cli: " << line << "\n";
    }
    return entries;
}

} // namespace

std::unique_ptr<Cutter> Connect(const std::string& device, const Options& options,
                                std::ostream& err) {
    std::vector<ConnectionEntry> entries = Discover(err);
    Target target = ResolveDevice(device, entries);
    auto cutter =
        std::make_unique<Cutter>(std::move(entries), std::move(target), options.replyBound);
    cutter->Open();
    return cutter;
}

ReadResult Read(Cutter& cutter) {
    const MachineSettings values = cutter.ReadParameters();
    return {cutter.Text(), values, cutter.ReadsBladeHolder(), HasAasOffsets(values.FModelName)};
}

void PrintRead(const ReadResult& read, const Options& options, std::ostream& out) {
    if (options.json) {
        Json document = {{"version", kJsonVersion}};
        document.update(ReadJson(read));
        out << document.dump(2) << "\n";
    } else {
        out << ReadText(read, options.inches);
    }
}

namespace {

// "500x500" (or "19.685x19.685") into its two texts, each a number above 0.
std::pair<std::string, std::string> SizePair(const std::string& text, const char* what,
                                             char separator) {
    const auto at = text.find_first_of(separator == 'x' ? "xX" : ",");
    if (at == std::string::npos)
        throw UsageError(std::string(what) + " '" + text + "' is not two numbers joined by '" +
                         separator + "'");
    std::pair<std::string, std::string> sides{text.substr(0, at), text.substr(at + 1)};
    for (const std::string& side : {sides.first, sides.second}) {
        try {
            StrToFloat(side);
        } catch (const ConversionError& error) {
            throw UsageError(std::string(what) + ": " + error.what());
        }
    }
    return sides;
}

long double Value(const std::string& text) {
    return StrToFloat(text);
}

// A file name for a cutter's backup in a folder: its list position and its entry text with
// everything but letters, digits, '-', '_' and '.' made '_'.
std::string BackupFileName(std::size_t position, const std::string& text) {
    std::string name = std::to_string(position) + "-";
    for (const char c : text)
        name += std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.'
                    ? c
                    : '_';
    return name + ".json";
}

bool Names(const std::vector<std::string>& names, const ConnectionEntry& entry, std::size_t i) {
    return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
        return name == entry.text || name == std::to_string(i);
    });
}

// The entries an --all command talks to: every identified cutter (a probed printer-class
// device, a vendor-library device), and of the serial ports only those named with --port.
// Opening a port raises DTR and RTS, which resets boards that reset on DTR and wakes
// modems, so nothing tells which port has a cutter on it. A named port that the list does
// not show is added to it.
std::vector<bool> ChooseForAll(std::vector<ConnectionEntry>& entries, const Options& options) {
    for (const std::string& port : options.ports) {
        const bool listed = std::any_of(entries.begin(), entries.end(), [&](const auto& entry) {
            return entry.kind == kLinkSerial && entry.text == port;
        });
        const bool position = !port.empty() && port.size() < 6 &&
                              std::all_of(port.begin(), port.end(),
                                          [](unsigned char c) { return std::isdigit(c) != 0; });
        if (position) {
            const auto at = static_cast<std::size_t>(std::stoi(port));
            if (at >= entries.size() || entries[at].kind != kLinkSerial)
                throw UsageError("--port " + port + ": entry " + port +
                                 " of the connection list is not a serial port");
        } else if (!listed) {
            if (LinkKindOfText(port) != kLinkSerial)
                throw UsageError("--port " + port + " names no serial port");
            entries.push_back({port, kLinkSerial, -1});
        }
    }
    std::vector<bool> chosen(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        chosen[i] = (entries[i].kind != kLinkSerial || Names(options.ports, entries[i], i)) &&
                    !Names(options.except, entries[i], i);
    return chosen;
}

} // namespace

std::vector<CutterOutcome> ForEveryCutter(const Options& options, std::ostream& err,
                                          const std::function<ReadResult(Cutter&)>& work) {
    std::vector<ConnectionEntry> entries = Discover(err);
    const std::vector<bool> chosen = ChooseForAll(entries, options);
    if (std::none_of(chosen.begin(), chosen.end(), [](bool c) { return c; }))
        throw CutterFailure("no cutter to talk to: no USB cutter is listed, and no serial port "
                            "was named with --port");
    std::vector<CutterOutcome> outcomes(entries.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        outcomes[i].device = entries[i].text;
        if (!chosen[i]) {
            outcomes[i].skipped = true;
            continue;
        }
        threads.emplace_back([&, i] {
            CutterOutcome& outcome = outcomes[i];
            try {
                Cutter cutter(entries, {static_cast<int>(i), entries[i].text}, options.replyBound);
                cutter.Open();
                outcome.read = work(cutter);
            } catch (const Interrupted&) {
                outcome.interrupted = true;
            } catch (const std::exception& error) {
                outcome.error = error.what();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    return outcomes;
}

void FinishAll(const std::vector<CutterOutcome>& outcomes, std::ostream& err) {
    std::size_t failed = 0;
    std::size_t tried = 0;
    for (const CutterOutcome& outcome : outcomes) {
        if (outcome.interrupted)
            throw Interrupted();
        if (outcome.skipped)
            continue;
        ++tried;
        if (!outcome.read) {
            err << "zopra-cli: "
                << (outcome.device.empty() ? "(no name)" : ShownText(outcome.device)) << ": "
                << outcome.error << "\n";
            ++failed;
        }
    }
    if (failed > 0)
        throw CutterFailure(std::to_string(failed) + " of " + std::to_string(tried) +
                            " cutters failed");
}

void PrintAll(const std::vector<CutterOutcome>& outcomes, const Options& options,
              std::ostream& out) {
    if (options.json) {
        Json cutters = Json::array();
        for (const CutterOutcome& outcome : outcomes)
            if (!outcome.skipped)
                cutters.push_back(outcome.read ? ReadJson(*outcome.read)
                                               : Json{{"device", CutterText(outcome.device)},
                                                      {"error", outcome.error}});
        out << Json{{"version", kJsonVersion}, {"cutters", cutters}}.dump(2) << "\n";
        return;
    }
    bool first = true;
    for (const CutterOutcome& outcome : outcomes) {
        if (!outcome.read)
            continue;
        out << (first ? "" : "\n") << ReadText(*outcome.read, options.inches);
        first = false;
    }
}

void RunList(const Options& options, std::ostream& out, std::ostream& err) {
    const std::vector<ConnectionEntry> entries = Discover(err);
    if (options.json)
        out << ConnectionsJson(entries).dump(2) << "\n";
    else
        out << ConnectionsText(entries);
}

void RunRead(const std::string& device, const Options& options, std::ostream& out,
             std::ostream& err) {
    auto cutter = Connect(device, options, err);
    PrintRead(Read(*cutter), options, out);
}

void RunReadAll(const Options& options, std::ostream& out, std::ostream& err) {
    const std::vector<CutterOutcome> outcomes = ForEveryCutter(options, err, Read);
    PrintAll(outcomes, options, out);
    FinishAll(outcomes, err);
}

void RunSet(const std::string& device, const std::vector<std::string>& assignments,
            const Options& options, std::ostream& out, std::ostream& err) {
    if (assignments.empty())
        throw UsageError("name at least one setting, for example force=120");
    SettingsRequest request = ParseSettingsRequest(assignments);
    request.offsetInInches = options.inches;
    auto cutter = Connect(device, options, err);
    const MachineSettings current = cutter->ReadParameters();
    const SettingsUpdate update = PlanSettingsUpdate(request, current, cutter->ReadsBladeHolder());
    std::string action = "Set";
    for (const std::string& assignment : assignments)
        action += " " + assignment;
    JournaledWrite journal(*cutter, current, action, err);
    cutter->WriteSettings(update);
    const ReadResult after = Read(*cutter);
    journal.Done(ValuesAfterUpdate(current, update), after.values);
    PrintRead(after, options, out);
    const std::vector<std::string> missing =
        SettingsNotTaken(update, after.values, cutter->ReadsBladeHolder());
    if (!missing.empty())
        throw CutterFailure(JoinLines(missing));
}

void RunBackup(const std::string& device, const std::string& file, const Options& options,
               std::ostream& out, std::ostream& err) {
    auto cutter = Connect(device, options, err);
    const std::string text = BackupJson(Read(*cutter)).dump(2) + "\n";
    if (file.empty() || file == "-")
        out << text;
    else
        WriteBackupFile(PathFromArgument(file), text);
}

void RunBackupAll(const std::string& folder, const Options& options, std::ostream& out,
                  std::ostream& err) {
    const fs::path folderPath = PathFromArgument(folder);
    std::error_code error;
    fs::create_directories(folderPath, error);
    if (!fs::is_directory(folderPath))
        throw UsageError("cannot make the folder " + folder);
    std::vector<CutterOutcome> outcomes = ForEveryCutter(options, err, Read);
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        CutterOutcome& outcome = outcomes[i];
        if (!outcome.read)
            continue;
        // The file names are ASCII, made from the list position and the entry text.
        const std::string name = BackupFileName(i, outcome.device);
        try {
            WriteBackupFile(folderPath / name, BackupJson(*outcome.read).dump(2) + "\n");
            out << PathText(folderPath / name) << "\n";
        } catch (const std::exception& failure) {
            // One cutter's failure is its own: the others still get their files.
            outcome.read.reset();
            outcome.error = failure.what();
        }
    }
    FinishAll(outcomes, err);
}

RestoreWrites WriteBackup(Cutter& cutter, const MachineSettings& current, const Backup& backup,
                          bool dryRun) {
    const MachineSettings& wanted = backup.values;
    for (const double scale : {wanted.FXScale, wanted.FYScale})
        if (!(scale >= 1 && scale <= 2147483647.0 && scale == static_cast<std::int32_t>(scale)))
            throw UsageError("the scale factors to write are not whole numbers above 0");
    const std::string& model = current.FModelName;
    const bool holder = cutter.ReadsBladeHolder();
    // The media type a model does not let be chosen is compared below.
    const SettingsUpdate update = PlanBackupUpdate(backup, current, holder);

    const auto xScale = static_cast<std::int32_t>(wanted.FXScale);
    const auto yScale = static_cast<std::int32_t>(wanted.FYScale);
    const bool writeScales = current.FXScale != xScale || current.FYScale != yScale;
    const bool aas = backup.aasOffsets && HasAasOffsets(model);
    const bool writeAas = aas && (current.FAASXOffset != wanted.FAASXOffset ||
                                  current.FAASYOffset != wanted.FAASYOffset);
    std::int32_t aasX = 0, aasY = 0;
    if (aas) {
        try {
            aasX = Trunc(wanted.FAASXOffset);
            aasY = Trunc(wanted.FAASYOffset);
        } catch (const ConversionError& error) {
            throw UsageError(std::string("the AAS offsets to write: ") + error.what());
        }
    }

    RestoreWrites result;
    for (const std::string& bytes : SettingsUpdateWrites(update))
        result.sent.push_back(Readable(bytes));
    if (writeScales)
        result.sent.push_back(Readable(CalibrationText(xScale, yScale)));
    if (writeAas)
        for (const std::string& bytes : AasOffsetWrites(aasX, aasY))
            result.sent.push_back(Readable(bytes));
    if (dryRun)
        return result;

    cutter.WriteSettings(update);
    if (writeScales)
        cutter.WriteScaleFactors(xScale, yScale);
    result.after = writeAas ? cutter.WriteAasOffsetsAndReread(aasX, aasY) : cutter.ReadParameters();
    const MachineSettings& afterValues = *result.after;

    std::vector<std::string>& missing = result.notTaken;
    missing = SettingsNotTaken(update, afterValues, holder);
    const auto media =
        RequestFromValues(wanted, false).choices[static_cast<std::size_t>(Choice::Media)];
    const auto mediaNow =
        RequestFromValues(afterValues, false).choices[static_cast<std::size_t>(Choice::Media)];
    if (media && media != mediaNow)
        missing.push_back(std::string("media=") + ChoiceWord(Choice::Media, *media) +
                          " (the model does not let it be chosen; the cutter reports " +
                          (mediaNow ? ChoiceWord(Choice::Media, *mediaNow) : "none") + ")");
    if (afterValues.FXScale != xScale || afterValues.FYScale != yScale)
        missing.push_back("scale=" + std::to_string(xScale) + "," + std::to_string(yScale) +
                          " (the cutter reports " + FormatGeneral(afterValues.FXScale) + "," +
                          FormatGeneral(afterValues.FYScale) + ")");
    if (aas && (afterValues.FAASXOffset != aasX || afterValues.FAASYOffset != aasY))
        missing.push_back("aas=" + std::to_string(aasX) + "," + std::to_string(aasY) +
                          " units (the cutter reports " + FormatGeneral(afterValues.FAASXOffset) +
                          "," + FormatGeneral(afterValues.FAASYOffset) + ")");
    return result;
}

void RunRestore(const std::string& device, const std::string& file, bool dryRun, bool force,
                const Options& options, std::ostream& out, std::ostream& err) {
    const Backup backup = ParseBackup(ReadBackupText(file));
    const MachineSettings& wanted = backup.values;
    for (const double scale : {wanted.FXScale, wanted.FYScale})
        if (!(scale >= 1 && scale <= 2147483647.0 && scale == static_cast<std::int32_t>(scale)))
            throw UsageError("the backup's scale factors are not whole numbers above 0");

    auto cutter = Connect(device, options, err);
    const MachineSettings current = cutter->ReadParameters();
    // The backup holds the model as the JSON of a read shows it.
    if (wanted.FModelName != CutterText(current.FModelName) && !force)
        throw UsageError("the backup is of '" + wanted.FModelName + "', the cutter is '" +
                         ShownText(current.FModelName) + "' (--force writes it anyway)");

    if (dryRun) {
        for (const std::string& line : WriteBackup(*cutter, current, backup, true).sent)
            out << line << "\n";
        return;
    }
    JournaledWrite journal(*cutter, current,
                           "Restore " + (file == "-" ? std::string("standard input")
                                                     : PathText(PathFromArgument(file).filename())),
                           err);
    const RestoreWrites written = WriteBackup(*cutter, current, backup, false);
    journal.Done(*written.after, true,
                 written.notTaken.empty() ? "all written"
                                          : "read back different: " + JoinLines(written.notTaken));
    PrintRead({cutter->Text(), *written.after, cutter->ReadsBladeHolder(),
               HasAasOffsets(written.after->FModelName)},
              options, out);
    if (!written.notTaken.empty())
        throw CutterFailure(JoinLines(written.notTaken));
}

void RunSquare(const std::string& device, const std::string& size, const Options& options,
               std::ostream& out, std::ostream& err) {
    const auto [x, y] = SizePair(size, "the square", 'x');
    TestSquareSize square;
    try {
        square = TestSquareSides(x, y, options.inches);
    } catch (const ConversionError& error) {
        throw UsageError(std::string("the square: ") + error.what());
    }
    const std::int32_t xUnits = square.x;
    const std::int32_t yUnits = square.y;

    auto cutter = Connect(device, options, err);
    const MachineSettings values = cutter->ReadParameters();
    JournaledWrite journal(*cutter, values, "Test square " + x + " x " + y, err);
    cutter->PlotTestSquare({x, y, "", "", options.inches, '.'});
    journal.Done(values, false, "all written");
    if (options.json)
        out << Json{{"version", kJsonVersion},
                    {"device", CutterText(cutter->Text())},
                    {"model", CutterText(values.FModelName)},
                    {"square_units", {{"x", xUnits}, {"y", yUnits}}}}
                   .dump(2)
            << "\n";
    else
        out << "Plotted the test square " << xUnits << " x " << yUnits << " plotter units ("
            << FormatGeneral(xUnits * units::kMmPerPlotterUnit) << " x "
            << FormatGeneral(yUnits * units::kMmPerPlotterUnit) << " mm) on "
            << ShownText(cutter->Text()) << "\n";
}

void RunCalibrate(const std::string& device, const std::string& test, const std::string& measured,
                  const Options& options, std::ostream& out, std::ostream& err) {
    const auto [tx, ty] = SizePair(test, "--test", 'x');
    const auto [mx, my] = SizePair(measured, "--measured", 'x');
    bool accepted = false;
    try {
        accepted = CalibrationSizesAccepted(Value(tx), Value(ty), Value(mx), Value(my));
    } catch (const DivisionByZeroError& error) {
        throw UsageError(error.what());
    }
    if (!accepted)
        throw UsageError(kCalibrationOutOfBandMessage);

    auto cutter = Connect(device, options, err);
    const MachineSettings values = cutter->ReadParameters();
    try {
        RequireScaleFactorsRead(values);
    } catch (const NotReadError& error) {
        throw CutterFailure(error.what());
    }
    if (!(values.FXScale > 0 && values.FYScale > 0))
        throw CutterFailure("the cutter reported no scale factors");
    const CommandInputs inputs{tx, ty, mx, my, options.inches, '.'};
    std::string text;
    try {
        text = BuildCommandText(kCmdCalibrate, inputs, values);
    } catch (const ConversionError& error) {
        throw UsageError(error.what());
    }
    JournaledWrite journal(*cutter, values,
                           "Calibrate " + mx + " x " + my + (options.inches ? " in" : " mm"), err);
    cutter->Calibrate(inputs);
    // The calibration block is not read back: the entry holds the scale factors it wrote.
    MachineSettings written = values;
    const ScaleFactors scales = CalibratedScales(inputs, values);
    written.FXScale = scales.x;
    written.FYScale = scales.y;
    journal.Done(written, false, "all written");
    if (options.json)
        out << Json{{"version", kJsonVersion},
                    {"device", CutterText(cutter->Text())},
                    {"model", CutterText(values.FModelName)},
                    {"scale_before", {{"x", values.FXScale}, {"y", values.FYScale}}},
                    {"sent", Readable(text)}}
                   .dump(2)
            << "\n";
    else
        out << "Sent " << Readable(text) << " to " << ShownText(cutter->Text())
            << " (scale factors were " << FormatGeneral(values.FXScale) << " and "
            << FormatGeneral(values.FYScale) << ")\n";
}

void RunAas(const std::string& device, const std::string& adjust, const Options& options,
            std::ostream& out, std::ostream& err) {
    const auto [ax, ay] = SizePair(adjust, "--adjust", ',');
    auto cutter = Connect(device, options, err);
    const MachineSettings current = cutter->ReadParameters();
    if (!HasAasOffsets(current.FModelName))
        throw UsageError("'" + ShownText(current.FModelName) + "' has no AAS offsets");
    // As the window does: the current offsets are taken back from the text it shows them in.
    try {
        RequireAasOffsetsRead(current);
    } catch (const NotReadError& error) {
        throw CutterFailure(error.what());
    }
    AasOffsetPair offsets;
    try {
        offsets =
            AdjustedAasOffsets(ax, ay, AasOffsetText(current.FAASXOffset, options.inches),
                               AasOffsetText(current.FAASYOffset, options.inches), options.inches);
    } catch (const ConversionError& error) {
        throw UsageError(std::string("--adjust: ") + error.what());
    }
    const std::int64_t x = offsets.x;
    const std::int64_t y = offsets.y;
    JournaledWrite journal(*cutter, current,
                           "AAS offsets " + ax + ", " + ay + (options.inches ? " in" : " mm"), err);
    const MachineSettings after = cutter->WriteAasOffsetsAndReread(x, y);
    MachineSettings wanted = after;
    wanted.FAASXOffset = static_cast<double>(x);
    wanted.FAASYOffset = static_cast<double>(y);
    journal.Done(wanted, after);
    PrintRead({cutter->Text(), after, cutter->ReadsBladeHolder(), true}, options, out);
    if (after.FAASXOffset != x || after.FAASYOffset != y)
        throw CutterFailure("aas=" + std::to_string(x) + "," + std::to_string(y) +
                            " units (the cutter reports " + FormatGeneral(after.FAASXOffset) + "," +
                            FormatGeneral(after.FAASYOffset) + ")");
}

} // namespace zopra::cli
