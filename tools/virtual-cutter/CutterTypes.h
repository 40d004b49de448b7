#pragma once
// The plain values the virtual cutter keeps, reports and can be told: its state, the
// figures it plotted, its deliberate misbehaviour and its options.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zopra::vc {

// Everything the cutter keeps. The numbers are in the cutter's own units, exactly as its
// replies report them.
struct CutterState {
    // Identity, reported by ESC.R4: in this order.
    std::string cname = "QRM-CT";
    std::string model = "Vantor II 24 PZ";
    std::string version = "V2.10";
    std::string date = "2023-11-08";
    std::string time = "14:05";

    // Cutting parameters, reported by ESC.R1: in this order.
    int speed = 60;        // media weight "Heavy" stores 10, "Light" stores 60
    int force = 120;       // grams
    int bladeOffset = 250; // micrometres
    int vectorQuality = 1; // 1 fine, 3 draft
    int vectorSmooth = 0;  // 0 disabled, 1 enabled
    int autoUnroll = 0;    // 0 disabled, 1 enabled
    int mediaType = 1;     // 3 single sheet, 1 roll

    // Paper size, reported by OH; as hard-clip limits of 40 plotter units per millimetre.
    double paperLengthMm = 2000.0;
    double paperWidthMm = 600.0;

    int scaleX = 10000; // ESC.R3: first value
    int scaleY = 10000; // ESC.R3: second value
    int aasX = 0;       // ESC.R5:, plotter units
    int aasY = 0;
    int bladeHolder = 0; // ESC.R6: 0 metal, 1 plastic

    int parameterCommits = 0; // how many ESC.C1;0;: arrived
    int scaleCommits = 0;     // how many ESC.C6;2;: arrived

    // HP-GL plotting state.
    int velocity = 0;      // VS
    int pen = 0;           // SP
    bool relative = false; // PR (true) or PA (false)
    bool penDown = false;
    double penX = 0.0; // commanded pen position, plotter units
    double penY = 0.0;

    bool operator==(const CutterState&) const = default;
};

struct PointMm {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const PointMm&) const = default;
};

// One stretch of pen-down travel, from putting the pen down to lifting it, measured where
// the blade really went (after the mechanism's length error and the scale factors).
struct Figure {
    std::vector<PointMm> path;
    bool closed = false; // the commanded path ended where it began
    double widthMm = 0.0;
    double heightMm = 0.0;
};

// Misbehaviour on purpose. Every field can be changed while the cutter runs.
struct Faults {
    bool silent = false;    // answer nothing at all
    int delayMs = 0;        // hold every reply this long before writing it (see delayOnly)
    bool split = false;     // write every reply in two writes ...
    int splitPauseMs = 50;  // ... with this pause between them
    bool glue = false;      // hold a reply until the next one, then write both in one write
    bool noLineEnd = false; // leave the line end off every reply
    bool garbage = false;   // send the garbage text instead of every reply
    int vanishAfter = 0;    // close the line when this many commands have arrived; 0 never
    std::string delayOnly = {}; // when set, delayMs holds only the replies to this command

    bool operator==(const Faults&) const = default;
};

// The material loaded in the cutter, for test cuts: the blade forces (grams) that cut it
// through without cutting into the backing, and the blade offset (micrometres) its corners
// need. The cutter's log then says what a person would see on a test cut.
struct Material {
    int forceMin = 0;
    int forceMax = 0;
    int offsetUm = 0;
    bool operator==(const Material&) const = default;
};

// How the cutter presents itself to the computer.
enum class Link {
    Serial,  // a pseudo-terminal announced under serial/
    Printer, // a pseudo-terminal announced under printer/, one reply per read
    UsbApi,  // a SOCK_SEQPACKET Unix socket announced under usbapi/, one reply per message
};

// What ends a reply. Default is CR on the serial presentation and nothing on the two USB
// presentations, where each read or message is one reply.
enum class LineEnd { Default, None, Cr, CrLf };

// The folder name of a presentation in the runtime directory ("serial", "printer", "usbapi").
const char* LinkKind(Link link);

struct Options {
    Link link = Link::Serial;
    CutterState state; // what the cutter starts with
    LineEnd lineEnd = LineEnd::Default;

    // Length error of the mechanism per axis: 1.01 draws 1 % long until the scale corrects it.
    double errorX = 1.0;
    double errorY = 1.0;

    // None: a test cut's log names only its size.
    std::optional<Material> material;

    Faults faults;
    std::string garbageText = "#?%GARBAGE%?#";

    // Keep the received bytes, the commands and the written blocks for Commands(),
    // Received() and Writes(). A long-running cutter for people turns this off.
    bool keepHistory = true;

    // Root of the announcements; empty means the runtime directory of the platform.
    std::filesystem::path runtimeDir;

    // Called on the cutter's own thread after each command has been applied to the state
    // and before it is answered, with the command's exact bytes.
    std::function<void(const std::string& command)> onCommand;
    // Called on the cutter's own thread with each line of the readable log.
    std::function<void(const std::string& line)> onLog;
};

} // namespace zopra::vc
