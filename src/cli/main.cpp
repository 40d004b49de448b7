// zopra-cli: the cutter's settings, backups and calibration from a terminal or a script.
#include "cli/CliErrors.h"
#include "cli/Doctor.h"
#include "cli/Files.h"
#include "cli/Interrupt.h"
#include "cli/Workflows.h"
#include "protocol/Numbers.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <sstream>

namespace {

using namespace zopra::cli;

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

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"zopra-cli " ZOPRA_VERSION
                 ": read, back up, restore, set and calibrate cutting plotters.\n"
                 "DEVICE is an entry of `zopra-cli list`: its text or its position."};
    app.set_version_flag("--version", "zopra-cli " ZOPRA_VERSION);
    app.require_subcommand(1, 1);
    app.fallthrough();

    Options options;
    std::string timeout = "10";
    app.add_option("--timeout", timeout,
                   "seconds to wait for each reply of the cutter, 0.1 to 600 (default 10)");

    std::string device;
    std::string second;
    std::vector<std::string> words;
    bool all = false;
    bool dryRun = false;
    bool force = false;
    std::string test, measured, adjust;

    auto json = [&](CLI::App* command) {
        command->add_flag("--json", options.json, "JSON output (documented in docs/CLI.md)");
    };
    auto inch = [&](CLI::App* command) {
        command->add_flag("--inch", options.inches, "inches and ounces instead of mm and grams");
    };

    CLI::App* list = app.add_subcommand("list", "the connection list, as the window shows it");
    json(list);

    CLI::App* read = app.add_subcommand("read", "identity and every parameter of a cutter");
    read->add_option("DEVICE", device, "entry of the connection list");
    read->add_flag("--all", all, "every listed cutter, at the same time");
    read->add_option("--except", options.except, "with --all: leave out this entry (repeatable)");
    json(read);
    inch(read);

    CLI::App* set = app.add_subcommand("set", "change settings: NAME=VALUE ... (offset, force, "
                                              "weight, quality, smooth, unroll, media, holder)");
    set->add_option("DEVICE", device, "entry of the connection list")->required();
    set->add_option("SETTINGS", words, "NAME=VALUE words")->required();
    json(set);
    inch(set);

    CLI::App* backup =
        app.add_subcommand("backup", "settings, scale factors and AAS offsets "
                                     "as a JSON document (FILE, or standard output)");
    backup->add_option("DEVICE", device, "entry of the connection list (with --all: DIR)");
    backup->add_option("FILE", second, "the file to write");
    backup->add_flag("--all", all, "every listed cutter, at the same time, into the folder DIR");
    backup->add_option("--except", options.except, "with --all: leave out this entry (repeatable)");

    CLI::App* restore =
        app.add_subcommand("restore", "write a backup back, then read back and compare");
    restore->add_option("DEVICE", device, "entry of the connection list")->required();
    restore->add_option("FILE", second, "the backup")->required();
    restore->add_flag("--dry-run", dryRun, "print the commands, send none");
    restore->add_flag("--force", force, "write a backup of another model");
    json(restore);
    inch(restore);

    CLI::App* square = app.add_subcommand("square", "plot the test square, for example 500x500");
    square->add_option("DEVICE", device, "entry of the connection list")->required();
    square->add_option("SIZE", second, "X x Y in mm (inches with --inch)")->required();
    json(square);
    inch(square);

    CLI::App* calibrate =
        app.add_subcommand("calibrate", "new scale factors from the measured test square");
    calibrate->add_option("DEVICE", device, "entry of the connection list")->required();
    calibrate->add_option("--test", test, "the square as plotted, X x Y")->required();
    calibrate->add_option("--measured", measured, "the square as measured, X x Y")->required();
    json(calibrate);
    inch(calibrate);

    CLI::App* aas = app.add_subcommand("aas", "adjust the AAS offsets, then read them back");
    aas->add_option("DEVICE", device, "entry of the connection list")->required();
    aas->add_option("--adjust", adjust, "X,Y to add, in mm (inches with --inch)")->required();
    json(aas);
    inch(aas);

    CLI::App* doctor = app.add_subcommand(
        "doctor", "why a cutter is not listed or cannot be opened: every serial port and USB "
                  "device of vendor 7a3c, its driver, owner, group and mode, and what to do");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0)
            return app.exit(error);
        PrintError(error.what());
        return kExitUsage;
    }
    InstallInterruptHandler();
    std::ostringstream out;
    int status = kExitDone;
    try {
        options.replyBound = ReplyBound(timeout);
        if (doctor->parsed()) {
            status = RunDoctor({}, out);
        } else if (list->parsed()) {
            RunList(options, out, std::cerr);
        } else if (read->parsed()) {
            if (all == !device.empty())
                throw UsageError("read takes either DEVICE or --all");
            all ? RunReadAll(options, out, std::cerr) : RunRead(device, options, out, std::cerr);
        } else if (set->parsed()) {
            RunSet(device, words, options, out, std::cerr);
        } else if (backup->parsed()) {
            if (all) {
                if (device.empty() || !second.empty())
                    throw UsageError("backup --all takes one folder: backup --all DIR");
                RunBackupAll(device, options, out, std::cerr);
            } else {
                if (device.empty())
                    throw UsageError("backup takes DEVICE [FILE], or --all DIR");
                RunBackup(device, second, options, out, std::cerr);
            }
        } else if (restore->parsed()) {
            RunRestore(device, second, dryRun, force, options, out, std::cerr);
        } else if (square->parsed()) {
            RunSquare(device, second, options, out, std::cerr);
        } else if (calibrate->parsed()) {
            RunCalibrate(device, test, measured, options, out, std::cerr);
        } else if (aas->parsed()) {
            RunAas(device, adjust, options, out, std::cerr);
        }
    } catch (const UsageError& error) {
        PrintError(error.what());
        status = kExitUsage;
    } catch (const Interrupted& error) {
        PrintError(error.what());
        status = InterruptExitStatus();
    } catch (const zopra::ConversionError& error) {
        PrintError(error.what());
        status = kExitUsage;
    } catch (const std::exception& error) {
        // CutterFailure, and whatever else a link raised.
        PrintError(error.what());
        status = kExitCutterFailed;
    }
    // What was found is printed also when a later step failed (the read-back of `set`
    // shows what the cutter holds now).
    if (const auto failure = WriteStandardOutput(out.str())) {
        PrintError(*failure);
        status = status == kExitDone ? kExitCutterFailed : status;
    }
    return status;
}
