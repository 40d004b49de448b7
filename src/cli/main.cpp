// zopra-cli: the cutter's settings, backups and calibration from a terminal or a script.
#include "cli/CliErrors.h"
#include "cli/Cutter.h"
#include "cli/Files.h"
#include "cli/History.h"
#include "cli/Interrupt.h"
#include "cli/Presets.h"
#include "cli/Workflows.h"
#include "platform/ProcessStart.h"
#include "protocol/Numbers.h"
#include "settings/Doctor.h"
#include "settings/SupportReport.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <sstream>

namespace {

using namespace zopra::cli;
using zopra::settings::PresetStore;

// One line per error on standard error, each naming the program.
void PrintError(const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        std::cerr << "zopra-cli: " << line << "\n";
}

// --timeout in the program's own number reading: "nan", "inf" and "0x10" are no numbers.
std::chrono::milliseconds ReplyBound(const std::string& seconds) {
    long double value = 0;
    try {
        value = zopra::StrToFloat(seconds);
    } catch (const zopra::ConversionError&) {
        // 0 stays, and is refused below in the same words as a number out of range.
    }
    if (!(value >= 0.1L && value <= 600))
        throw UsageError("--timeout " + seconds + " is not a number of seconds from 0.1 to 600");
    return std::chrono::milliseconds(static_cast<long>(value * 1000));
}

// Where a subcommand writes its result, and the exit status when it ends without throwing.
struct Output {
    std::ostream& out;
    int status = kExitDone;
};

// What the command line says, filled in by the parse.
struct Arguments {
    Options options;
    std::string timeout = "10";
    std::string device;
    std::string second;
    std::vector<std::string> words;
    bool all = false;
    bool dryRun = false;
    bool force = false;
    bool noCut = false;
    std::string test, measured, adjust, size;
    std::string undoTo;
    PresetArguments preset;
    LadderArguments ladder;
    // The subcommand of `preset` that was given, by its name.
    std::vector<std::pair<std::string, CLI::App*>> presetCommands;
};

void SetUpNothing(CLI::App&, Arguments&) {}

void RunListCommand(const Arguments& a, Output& output) {
    RunList(a.options, output.out, std::cerr);
}

// --all and what chooses its cutters, for the subcommands that can work on every cutter.
void AddAllOptions(CLI::App& command, Arguments& a, const std::string& allDescription) {
    command.add_flag("--all", a.all, allDescription);
    command.add_option("--port", a.options.ports,
                       "with --all: also this serial port (repeatable); no port is opened unless "
                       "named");
    command.add_option("--except", a.options.except,
                       "with --all: leave out this entry (repeatable)");
}

void SetUpRead(CLI::App& command, Arguments& a) {
    command.add_option("DEVICE", a.device, "entry of the connection list");
    AddAllOptions(command, a, "every identified cutter, at the same time");
}

void RunReadCommand(const Arguments& a, Output& output) {
    if (a.all == !a.device.empty())
        throw UsageError("read takes either DEVICE or --all");
    if (a.all)
        RunReadAll(a.options, output.out, std::cerr);
    else
        RunRead(a.device, a.options, output.out, std::cerr);
}

void SetUpSet(CLI::App& command, Arguments& a) {
    command.add_option("SETTINGS", a.words, "NAME=VALUE words")->required();
}

void RunSetCommand(const Arguments& a, Output& output) {
    RunSet(a.device, a.words, a.options, output.out, std::cerr);
}

void SetUpBackup(CLI::App& command, Arguments& a) {
    command.add_option("DEVICE", a.device, "entry of the connection list (with --all: DIR)");
    command.add_option("FILE", a.second, "the file to write");
    AddAllOptions(command, a, "every identified cutter, at the same time, into the folder DIR");
}

void RunBackupCommand(const Arguments& a, Output& output) {
    if (a.all) {
        if (a.device.empty() || !a.second.empty())
            throw UsageError("backup --all takes one folder: backup --all DIR");
        RunBackupAll(a.device, a.options, output.out, std::cerr);
    } else {
        if (a.device.empty())
            throw UsageError("backup takes DEVICE [FILE], or --all DIR");
        RunBackup(a.device, a.second, a.options, output.out, std::cerr);
    }
}

void SetUpRestore(CLI::App& command, Arguments& a) {
    command.add_option("FILE", a.second, "the backup")->required();
    command.add_flag("--dry-run", a.dryRun, "print the commands, send none");
    command.add_flag("--force", a.force, "write a backup of another model");
}

void RunRestoreCommand(const Arguments& a, Output& output) {
    RunRestore(a.device, a.second, a.dryRun, a.force, a.options, output.out, std::cerr);
}

void SetUpSquare(CLI::App& command, Arguments& a) {
    command.add_option("SIZE", a.second, "X x Y in mm (inches with --inch)")->required();
}

void RunSquareCommand(const Arguments& a, Output& output) {
    RunSquare(a.device, a.second, a.options, output.out, std::cerr);
}

void SetUpCalibrate(CLI::App& command, Arguments& a) {
    command.add_option("--test", a.test, "the square as plotted, X x Y")->required();
    command.add_option("--measured", a.measured, "the square as measured, X x Y")->required();
}

void RunCalibrateCommand(const Arguments& a, Output& output) {
    RunCalibrate(a.device, a.test, a.measured, a.options, output.out, std::cerr);
}

void SetUpAas(CLI::App& command, Arguments& a) {
    command.add_option("--adjust", a.adjust, "X,Y to add, in mm (inches with --inch)")->required();
}

void RunAasCommand(const Arguments& a, Output& output) {
    RunAas(a.device, a.adjust, a.options, output.out, std::cerr);
}

void SetUpTestCut(CLI::App& command, Arguments& a) {
    command.add_option("--size", a.size,
                       "side of the square, 5 to 50 mm (inches with --inch; default 10 mm)");
}

void RunTestCutCommand(const Arguments& a, Output& output) {
    RunTestCut(a.device, a.size, a.options, output.out, std::cerr);
}

void SetUpTune(CLI::App& command, Arguments& a) {
    command
        .add_option("SEEN", a.second,
                    "what the last test cut shows: clean, not-through, into-backing, "
                    "rounded-corners or overcut-corners")
        ->required();
    command.add_flag("--no-cut", a.noCut, "make the change and read it back, cut nothing");
    SetUpTestCut(command, a);
}

void RunTuneCommand(const Arguments& a, Output& output) {
    RunTune(a.device, a.second, a.noCut, a.size, a.options, output.out, std::cerr);
}

void SetUpLadder(CLI::App& command, Arguments& a) {
    LadderArguments& l = a.ladder;
    command.add_option("KIND", l.kind, "force or offset")->required();
    command.add_option("--from", l.from,
                       "the first cell: grams, or a blade offset entry in mm (inches with "
                       "--inch); default the model's lowest");
    command.add_option("--to", l.to, "the last cell; default the model's highest");
    command.add_option("--cells", l.cells,
                       "cells of a force ladder, 3 to 8 (default 5); an offset ladder has one "
                       "per entry");
    command.add_option("--size", l.size,
                       "side of each cell's square, 5 to 50 mm (inches with --inch; default "
                       "8 mm)");
    command.add_option("--values", l.values,
                       "the strip's cells, comma-separated, as an earlier answer printed them");
    command.add_option("--seen", l.seen,
                       "what each cell shows, comma-separated: not-through, clean, "
                       "into-backing (n, c, b) or rounded, sharp, overcut (r, s, o); writes the "
                       "planner's value or cuts the next strip");
    command.add_flag("--no-cut", l.noCut, "with --seen: do not cut the next strip");
}

void RunLadderCommand(const Arguments& a, Output& output) {
    RunLadder(a.device, a.ladder, a.options, output.out, std::cerr);
}

void SetUpHistory(CLI::App& command, Arguments& a) {
    command.add_option("DEVICE", a.device, "entry of the connection list (every cutter without)");
}

void RunHistoryCommand(const Arguments& a, Output& output) {
    RunHistory(a.device, a.options, output.out, std::cerr);
}

void SetUpUndo(CLI::App& command, Arguments& a) {
    command.add_option("--to", a.undoTo, "undo every entry from this id on");
    command.add_flag("--force", a.force,
                     "undo also when the cutter no longer holds what the newest entry left");
}

void RunUndoCommand(const Arguments& a, Output& output) {
    std::optional<std::int64_t> to;
    if (!a.undoTo.empty()) {
        if (a.undoTo.size() > 18 || a.undoTo.find_first_not_of("0123456789") != std::string::npos)
            throw UsageError("--to " + a.undoTo + " is no entry id (zopra-cli history shows them)");
        to = std::stoll(a.undoTo);
    }
    RunUndo(a.device, to, a.force, a.options, output.out, std::cerr);
}

// `preset` and its own subcommands; DEVICE, FILE and the flags only where they apply.
void SetUpPreset(CLI::App& command, Arguments& a) {
    command.require_subcommand(1, 1);
    auto add = [&](const char* name, const char* description) {
        CLI::App* sub = command.add_subcommand(name, description);
        a.presetCommands.emplace_back(name, sub);
        return sub;
    };
    add("list", "the presets' names (with --json: everything)")
        ->add_flag("--json", a.options.json, "JSON output (documented in docs/CLI.md)");
    CLI::App* save = add("save", "a new preset from the cutter's current settings");
    save->add_option("NAME", a.preset.name, "the preset's name")->required();
    save->add_option("DEVICE", a.preset.device, "entry of the connection list")->required();
    save->add_option("--note", a.preset.note, "a note kept with the preset");
    save->add_flag("--replace", a.preset.replace, "overwrite a preset of the same name");
    add("show", "a preset's settings and note")
        ->add_option("NAME", a.preset.name, "the preset's name")
        ->required();
    CLI::App* apply = add("apply", "write a preset to a cutter, then read back and compare");
    apply->add_option("NAME", a.preset.name, "the preset's name")->required();
    apply->add_option("DEVICE", a.preset.device, "entry of the connection list");
    AddAllOptions(*apply, a, "every identified cutter, at the same time");
    apply->add_flag("--json", a.options.json, "JSON output (documented in docs/CLI.md)");
    apply->add_flag("--inch", a.options.inches, "inches and ounces instead of mm and grams");
    add("delete", "remove a preset")
        ->add_option("NAME", a.preset.name, "the preset's name")
        ->required();
    add("export", "every preset as one JSON document (FILE, or standard output with -)")
        ->add_option("FILE", a.preset.file, "the file to write")
        ->required();
    CLI::App* import = add("import", "add the presets of an exported file");
    import->add_option("FILE", a.preset.file, "the exported file, or - for standard input")
        ->required();
    import->add_flag("--replace", a.preset.replace, "overwrite presets of the same names");
}

void RunPresetCommand(const Arguments& a, Output& output) {
    PresetStore store = PresetStore::ForUser();
    PresetArguments preset = a.preset;
    preset.all = a.all;
    std::string chosen;
    for (const auto& [name, command] : a.presetCommands)
        if (command->parsed())
            chosen = name;
    std::ostream& out = output.out;
    if (chosen == "list")
        RunPresetList(store, a.options, out);
    else if (chosen == "save")
        RunPresetSave(store, preset, a.options, out, std::cerr);
    else if (chosen == "show")
        RunPresetShow(store, preset, out);
    else if (chosen == "apply")
        RunPresetApply(store, preset, a.options, out, std::cerr);
    else if (chosen == "delete")
        RunPresetDelete(store, preset, out);
    else if (chosen == "export")
        RunPresetExport(store, preset, out);
    else
        RunPresetImport(store, preset, out);
}

void RunDoctorCommand(const Arguments&, Output& output) {
    const zopra::settings::DoctorFindings findings = zopra::settings::RunDoctor();
    output.out << zopra::settings::DoctorText(findings);
    output.status = findings.cutterBlocked ? kExitCutterFailed : kExitDone;
}

void SetUpReport(CLI::App& command, Arguments& a) {
    command.add_option("FILE", a.second, "the report to write")->required();
    command.add_option("DEVICE", a.device, "entry of the connection list: read it first");
}

// The list and the doctor, and with DEVICE that cutter's read and traffic. A read that fails
// is in the report too (its traffic is what a support person needs most); the command then
// ends with the read's failure, after the report is written.
void RunReportCommand(const Arguments& a, Output& output) {
    namespace settings = zopra::settings;
    settings::ReportContents contents;
    contents.entries = DiscoverConnections(contents.listMessages);
    contents.doctor = settings::RunDoctor();
    std::optional<CutterFailure> readFailure;
    if (!a.device.empty()) {
        Cutter cutter(contents.entries, ResolveDevice(a.device, contents.entries),
                      a.options.replyBound);
        contents.cutterPort = cutter.Text();
        try {
            cutter.Open();
            contents.cutter = cutter.ReadParameters();
            contents.journal = LastEntriesOf(*contents.cutter, 20);
        } catch (const CutterFailure& error) {
            contents.cutterFailure = error.what();
            readFailure = error;
        }
        contents.traffic = cutter.Traffic();
    }
    if (const auto failure = settings::WriteReportFile(PathFromArgument(a.second),
                                                       settings::SupportReportText(contents)))
        throw CutterFailure("cannot write " + a.second + ": " + *failure);
    output.out << "report written to " << a.second << "\n";
    if (readFailure)
        throw *readFailure;
}

// The options most subcommands share, added around a subcommand's own: DEVICE before them,
// --json and --inch after.
enum Shared : unsigned { kOwnOnly = 0, kDevice = 1, kJson = 2, kInch = 4 };

// The subcommands in the order of the help text. Each runs with what the parse filled in,
// writes its result to the output and ends, or throws UsageError, CutterFailure or
// Interrupted.
struct Subcommand {
    const char* name;
    const char* description;
    unsigned shared;
    void (*setUp)(CLI::App& command, Arguments& arguments);
    void (*run)(const Arguments& arguments, Output& output);
};

constexpr unsigned kOnDevice = kDevice | kJson | kInch;

constexpr Subcommand kSubcommands[] = {
    {"list", "the connection list, as the window shows it", kJson, SetUpNothing, RunListCommand},
    {"read", "identity and every parameter of a cutter", kJson | kInch, SetUpRead, RunReadCommand},
    {"set",
     "change settings: NAME=VALUE ... (offset, force, weight, quality, smooth, unroll, media, "
     "holder)",
     kOnDevice, SetUpSet, RunSetCommand},
    {"backup",
     "settings, scale factors and AAS offsets as a JSON document (FILE, or standard output)",
     kOwnOnly, SetUpBackup, RunBackupCommand},
    {"restore", "write a backup back, then read back and compare", kOnDevice, SetUpRestore,
     RunRestoreCommand},
    {"square", "plot the test square, for example 500x500", kOnDevice, SetUpSquare,
     RunSquareCommand},
    {"calibrate", "new scale factors from the measured test square", kOnDevice, SetUpCalibrate,
     RunCalibrateCommand},
    {"aas", "adjust the AAS offsets, then read them back", kOnDevice, SetUpAas, RunAasCommand},
    {"testcut", "cut the test pattern (a square with a triangle inside) beside the last one",
     kOnDevice, SetUpTestCut, RunTestCutCommand},
    {"tune",
     "the one change of blade force or offset that fixes what the test cut shows, written, "
     "read back and cut again",
     kOnDevice, SetUpTune, RunTuneCommand},
    {"ladder",
     "a strip of test cuts, each with its own blade force or offset, the values from before "
     "written back after it; with --seen, the value to write or the next strip",
     kOnDevice, SetUpLadder, RunLadderCommand},
    {"history", "the journal of writes to the cutter on DEVICE, or to every cutter", kJson,
     SetUpHistory, RunHistoryCommand},
    {"undo", "bring the cutter back to the values before its newest journal entry (or --to ID)",
     kDevice | kJson, SetUpUndo, RunUndoCommand},
    {"doctor",
     "why a cutter is not listed or cannot be opened: every serial port and USB device of "
     "vendor 7a3c, its driver, owner, group and mode, and what to do",
     kOwnOnly, SetUpNothing, RunDoctorCommand},
    {"report",
     "a text file for support: version, system, the connection list, the doctor's findings, "
     "and with DEVICE that cutter's identity, settings and traffic",
     kOwnOnly, SetUpReport, RunReportCommand},
    {"preset",
     "material presets in the user's settings folder: list, save, show, apply, delete, export, "
     "import",
     kOwnOnly, SetUpPreset, RunPresetCommand},
};

CLI::App* AddSubcommand(CLI::App& app, const Subcommand& subcommand, Arguments& a) {
    CLI::App* command = app.add_subcommand(subcommand.name, subcommand.description);
    if ((subcommand.shared & kDevice) != 0)
        command->add_option("DEVICE", a.device, "entry of the connection list")->required();
    subcommand.setUp(*command, a);
    if ((subcommand.shared & kJson) != 0)
        command->add_flag("--json", a.options.json, "JSON output (documented in docs/CLI.md)");
    if ((subcommand.shared & kInch) != 0)
        command->add_flag("--inch", a.options.inches, "inches and ounces instead of mm and grams");
    return command;
}

// Runs the parsed subcommand and turns what it throws into the exit status.
int RunParsed(const Subcommand& subcommand, Arguments& a, std::ostream& out) {
    try {
        a.options.replyBound = ReplyBound(a.timeout);
        Output output{out};
        subcommand.run(a, output);
        return output.status;
    } catch (const UsageError& error) {
        PrintError(error.what());
        return kExitUsage;
    } catch (const Interrupted& error) {
        PrintError(error.what());
        return InterruptExitStatus();
    } catch (const zopra::ConversionError& error) {
        PrintError(error.what());
        return kExitUsage;
    } catch (const std::exception& error) {
        // CutterFailure, and whatever else a link raised.
        PrintError(error.what());
        return kExitCutterFailed;
    }
}

} // namespace

int main(int argc, char** argv) {
    // Before anything can load a library: no DLL from the current folder or PATH.
    zopra::platform::RestrictDllSearch();
    // Arguments in UTF-8 (on Windows from the wide command line), read once here.
    const std::vector<std::string> arguments = zopra::platform::Utf8Arguments(argc, argv);
    std::vector<const char*> argumentTexts;
    for (const std::string& argument : arguments)
        argumentTexts.push_back(argument.c_str());

    CLI::App app{"zopra-cli " ZOPRA_VERSION
                 ": read, back up, restore, set and calibrate cutting plotters.\n"
                 "DEVICE is an entry of `zopra-cli list`: its text or its position."};
    app.set_version_flag("--version", "zopra-cli " ZOPRA_VERSION);
    app.require_subcommand(1, 1);
    app.fallthrough();

    Arguments parsed;
    app.add_option("--timeout", parsed.timeout,
                   "seconds to wait for each reply of the cutter, 0.1 to 600 (default 10)");
    std::vector<CLI::App*> commands;
    for (const Subcommand& subcommand : kSubcommands)
        commands.push_back(AddSubcommand(app, subcommand, parsed));

    try {
        app.parse(static_cast<int>(argumentTexts.size()), argumentTexts.data());
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            // --help and --version: their text goes out like any result, checked.
            std::ostringstream text;
            app.exit(error, text, std::cerr);
            if (const auto failure = WriteStandardOutput(text.str())) {
                PrintError(*failure);
                return kExitCutterFailed;
            }
            return kExitDone;
        }
        PrintError(error.what());
        return kExitUsage;
    }
    InstallInterruptHandler();
    std::ostringstream out;
    int status = kExitDone;
    for (std::size_t i = 0; i < commands.size(); ++i)
        if (commands[i]->parsed())
            status = RunParsed(kSubcommands[i], parsed, out);
    // What was found is printed also when a later step failed (the read-back of `set`
    // shows what the cutter holds now).
    if (const auto failure = WriteStandardOutput(out.str())) {
        PrintError(*failure);
        status = status == kExitDone ? kExitCutterFailed : status;
    }
    return status;
}
