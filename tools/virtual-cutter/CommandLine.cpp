#include "CommandLine.h"

#include "CutterModel.h"

#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>

namespace zopra::vc {

namespace {

using Apply = std::function<void(CommandLine&, const std::string& value)>;

struct OptionRow {
    const char* name;
    const char* value; // nullptr: a flag without a value
    const char* help;
    Apply apply;
};

[[noreturn]] void Bad(const std::string& option, const std::string& value, const char* why) {
    throw std::invalid_argument(option + ": '" + value + "' " + why);
}

int Whole(const std::string& option, const std::string& value, int minimum) {
    const auto number = ParseInteger(value);
    if (!number)
        Bad(option, value, "is not a whole number");
    if (*number < minimum)
        Bad(option, value, minimum == 0 ? "is negative" : "must be at least 1");
    return *number;
}

double Positive(const std::string& option, const std::string& value, bool zeroAllowed) {
    const auto number = ParseDecimal(value);
    if (!number)
        Bad(option, value, "is not a number");
    if (*number < 0.0 || (*number == 0.0 && !zeroAllowed))
        Bad(option, value, "must be above zero");
    return *number;
}

// The cutter separates reply fields with ',' and ends them with ';': an identity text
// holding either would change the reply's layout rather than its content.
std::string Text(const std::string& option, const std::string& value) {
    for (char c : value) {
        if (c == ',' || c == ';')
            Bad(option, value, "must not contain ',' or ';'");
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f')
            Bad(option, value, "must not contain control characters");
    }
    return value;
}

// FORCE_MIN-FORCE_MAX,OFFSET: grams and millimetres ("90-110,0.250").
Material MaterialOf(const std::string& option, const std::string& value) {
    const auto dash = value.find('-');
    const auto comma = value.find(',');
    if (dash == std::string::npos || comma == std::string::npos || comma < dash)
        Bad(option, value, "is not FORCE_MIN-FORCE_MAX,OFFSET (for example 90-110,0.250)");
    Material material;
    material.forceMin = Whole(option, value.substr(0, dash), 0);
    material.forceMax = Whole(option, value.substr(dash + 1, comma - dash - 1), 0);
    if (material.forceMax < material.forceMin)
        Bad(option, value, "has a force range that ends below its start");
    const double offsetMm = Positive(option, value.substr(comma + 1), true);
    material.offsetUm = static_cast<int>(offsetMm * 1000.0 + 0.5);
    return material;
}

int Any(const std::string& option, const std::string& value) {
    const auto number = ParseInteger(value);
    if (!number)
        Bad(option, value, "is not a whole number");
    return *number;
}

const std::vector<OptionRow>& OptionRows() {
    static const std::vector<OptionRow> rows = {
        {"--link", "serial|printer|usbapi", "how the cutter presents itself (default serial)",
         [](CommandLine& c, const std::string& v) {
             if (v == "serial")
                 c.options.link = Link::Serial;
             else if (v == "printer")
                 c.options.link = Link::Printer;
             else if (v == "usbapi")
                 c.options.link = Link::UsbApi;
             else
                 Bad("--link", v, "is not serial, printer or usbapi");
         }},
        {"--model", "NAME", "model name (default \"Vantor II 24 PZ\")",
         [](CommandLine& c, const std::string& v) { c.options.state.model = Text("--model", v); }},
        {"--cname", "TEXT", "first identity text",
         [](CommandLine& c, const std::string& v) { c.options.state.cname = Text("--cname", v); }},
        {"--version", "TEXT", "firmware version text",
         [](CommandLine& c, const std::string& v) {
             c.options.state.version = Text("--version", v);
         }},
        {"--date", "TEXT", "firmware date text",
         [](CommandLine& c, const std::string& v) { c.options.state.date = Text("--date", v); }},
        {"--time", "TEXT", "firmware time text",
         [](CommandLine& c, const std::string& v) { c.options.state.time = Text("--time", v); }},
        {"--speed", "N", "speed as reported (default 60)",
         [](CommandLine& c, const std::string& v) { c.options.state.speed = Any("--speed", v); }},
        {"--force", "G", "blade force in grams (default 120)",
         [](CommandLine& c, const std::string& v) {
             c.options.state.force = Whole("--force", v, 0);
         }},
        {"--blade-offset", "UM", "blade offset in micrometres (default 250)",
         [](CommandLine& c, const std::string& v) {
             c.options.state.bladeOffset = Whole("--blade-offset", v, 0);
         }},
        {"--vector-quality", "N", "1 fine, 3 draft (default 1)",
         [](CommandLine& c, const std::string& v) {
             c.options.state.vectorQuality = Any("--vector-quality", v);
         }},
        {"--vector-smooth", "N", "0 disabled, 1 enabled (default 0)",
         [](CommandLine& c, const std::string& v) {
             c.options.state.vectorSmooth = Any("--vector-smooth", v);
         }},
        {"--auto-unroll", "N", "0 disabled, 1 enabled (default 0)",
         [](CommandLine& c, const std::string& v) {
             c.options.state.autoUnroll = Any("--auto-unroll", v);
         }},
        {"--media", "N", "3 single sheet, 1 roll (default 1)",
         [](CommandLine& c, const std::string& v) {
             c.options.state.mediaType = Any("--media", v);
         }},
        {"--paper-length", "MM", "paper length in millimetres (default 2000)",
         [](CommandLine& c, const std::string& v) {
             c.options.state.paperLengthMm = Positive("--paper-length", v, true);
         }},
        {"--paper-width", "MM", "paper width in millimetres (default 600)",
         [](CommandLine& c, const std::string& v) {
             c.options.state.paperWidthMm = Positive("--paper-width", v, true);
         }},
        {"--scale-x", "N", "X scale factor (default 10000)",
         [](CommandLine& c, const std::string& v) {
             c.options.state.scaleX = Whole("--scale-x", v, 1);
         }},
        {"--scale-y", "N", "Y scale factor (default 10000)",
         [](CommandLine& c, const std::string& v) {
             c.options.state.scaleY = Whole("--scale-y", v, 1);
         }},
        {"--aas-x", "UNITS", "AAS X offset in plotter units (default 0)",
         [](CommandLine& c, const std::string& v) { c.options.state.aasX = Any("--aas-x", v); }},
        {"--aas-y", "UNITS", "AAS Y offset in plotter units (default 0)",
         [](CommandLine& c, const std::string& v) { c.options.state.aasY = Any("--aas-y", v); }},
        {"--blade-holder", "N", "0 metal, 1 plastic (default 0)",
         [](CommandLine& c, const std::string& v) {
             c.options.state.bladeHolder = Any("--blade-holder", v);
         }},
        {"--error-x", "F", "length error of the X mechanism (default 1.0)",
         [](CommandLine& c, const std::string& v) {
             c.options.errorX = Positive("--error-x", v, false);
         }},
        {"--error-y", "F", "length error of the Y mechanism (default 1.0)",
         [](CommandLine& c, const std::string& v) {
             c.options.errorY = Positive("--error-y", v, false);
         }},
        {"--material", "FMIN-FMAX,OFFSET",
         "the material loaded: blade forces in g that cut it cleanly and the blade offset in mm "
         "its corners need (for example 90-110,0.250); the log then says what a test cut "
         "looks like",
         [](CommandLine& c, const std::string& v) {
             c.options.material = MaterialOf("--material", v);
         }},
        {"--crlf", nullptr, "end replies with CR LF",
         [](CommandLine& c, const std::string&) { c.options.lineEnd = LineEnd::CrLf; }},
        {"--line-end", "default|none|cr|crlf",
         "reply end (default: CR on serial, nothing on the USB links)",
         [](CommandLine& c, const std::string& v) {
             if (v == "default")
                 c.options.lineEnd = LineEnd::Default;
             else if (v == "none")
                 c.options.lineEnd = LineEnd::None;
             else if (v == "cr")
                 c.options.lineEnd = LineEnd::Cr;
             else if (v == "crlf")
                 c.options.lineEnd = LineEnd::CrLf;
             else
                 Bad("--line-end", v, "is not default, none, cr or crlf");
         }},
        {"--log", nullptr, "print every command received and what it did",
         [](CommandLine& c, const std::string&) { c.log = true; }},
        {"--silent", nullptr, "fault: never answer",
         [](CommandLine& c, const std::string&) { c.options.faults.silent = true; }},
        {"--delay", "MS", "fault: hold every reply this many milliseconds",
         [](CommandLine& c, const std::string& v) {
             c.options.faults.delayMs = Whole("--delay", v, 0);
         }},
        {"--delay-only", "COMMAND", "hold only the replies to COMMAND (ESC written as \\e, e.g. \\e.R5:)",
         [](CommandLine& c, const std::string& v) {
             std::string command = v;
             for (std::size_t at = command.find("\\e"); at != std::string::npos;
                  at = command.find("\\e", at + 1))
                 command.replace(at, 2, "\x1b");
             c.options.faults.delayOnly = command;
         }},
        {"--split", nullptr, "fault: write every reply in two writes",
         [](CommandLine& c, const std::string&) { c.options.faults.split = true; }},
        {"--split-pause", "MS", "pause between the two writes (default 50)",
         [](CommandLine& c, const std::string& v) {
             c.options.faults.splitPauseMs = Whole("--split-pause", v, 0);
         }},
        {"--glue", nullptr, "fault: hold each reply until the next, write both at once",
         [](CommandLine& c, const std::string&) { c.options.faults.glue = true; }},
        {"--no-cr", nullptr, "fault: leave the line end off every reply",
         [](CommandLine& c, const std::string&) { c.options.faults.noLineEnd = true; }},
        {"--garbage", nullptr, "fault: answer every query with the garbage text",
         [](CommandLine& c, const std::string&) { c.options.faults.garbage = true; }},
        {"--garbage-text", "TEXT", "the garbage text",
         [](CommandLine& c, const std::string& v) { c.options.garbageText = v; }},
        {"--vanish-after", "N", "fault: close the line when the N-th command arrives",
         [](CommandLine& c, const std::string& v) {
             c.options.faults.vanishAfter = Whole("--vanish-after", v, 1);
         }},
        {"--help", nullptr, "print this text",
         [](CommandLine& c, const std::string&) { c.help = true; }},
    };
    return rows;
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != name.npos) {
            inlineValue = name.substr(equals + 1);
            name.resize(equals);
        }
        if (name == "-h")
            name = "--help";
        const OptionRow* known = nullptr;
        for (const auto& candidate : OptionRows())
            if (name == candidate.name)
                known = &candidate;
        if (known == nullptr)
            throw std::invalid_argument("unknown option '" + args[i] + "'");
        if (known->value == nullptr) {
            if (inlineValue)
                throw std::invalid_argument(name + " takes no value");
            known->apply(line, {});
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= args.size())
                throw std::invalid_argument(name + " needs a value (" + known->value + ")");
            inlineValue = args[++i];
        }
        known->apply(line, *inlineValue);
    }
    return line;
}

std::string Usage() {
    std::ostringstream out;
    out << "usage: virtual-cutter [options]\n"
           "A stand-in cutter. Prints the device to connect to as its first line, announces\n"
           "it in the runtime directory and serves until SIGINT or SIGTERM.\n\n"
           "options:\n";
    for (const auto& known : OptionRows()) {
        std::string left = std::string("  ") + known.name;
        if (known.value != nullptr)
            left += std::string(" ") + known.value;
        out << left;
        if (left.size() < 30)
            out << std::string(30 - left.size(), ' ');
        else
            out << "\n" << std::string(30, ' ');
        out << known.help << "\n";
    }
    return out.str();
}

} // namespace zopra::vc
