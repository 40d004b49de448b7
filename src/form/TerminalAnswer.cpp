#include "form/TerminalAnswer.h"

namespace zopra {

namespace {

constexpr std::string_view kUsage =
    "Usage: zopra [--help | --version]\n"
    "A desktop utility for cutting plotters: lists the cutters this computer reaches by\n"
    "serial port or USB, reads the cutter's identity and parameters, writes them back, and\n"
    "calibrates the cutter. Without options it opens its window.\n"
    "\n"
    "  --help      print this text and exit\n"
    "  --version   print the version and exit\n";

} // namespace

std::optional<std::string> TerminalAnswer(int argc, char* argv[], std::string_view version,
                                          std::string_view toolkitNote) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help" || option == "-h") {
            std::string usage(kUsage);
            if (!toolkitNote.empty())
                usage.append("\n").append(toolkitNote).append("\n");
            return usage;
        }
        if (option == "--version")
            return "zopra " + std::string(version) + "\n";
    }
    return std::nullopt;
}

} // namespace zopra
