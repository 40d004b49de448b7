#include "link/PrinterProbe.h"

#include "platform/Trace.h"
#include "protocol/Commands.h"

#include <array>
#include <string>
#include <thread>

namespace zopra {

namespace {

bool IsBlankOrControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7f;
}

// Removes everything up to and including the first comma; nothing when there is none.
std::string_view AfterComma(std::string_view text) {
    const auto comma = text.find(',');
    return comma == std::string_view::npos ? text : text.substr(comma + 1);
}

} // namespace

std::string ProbePrinterAnswer(platform::PrinterHandle& writeHandle,
                               platform::PrinterHandle& readHandle) {
    const std::string probe = IdentificationProbe();
    // An unwritten probe shows as no answer; the trace says why.
    if (const auto written = writeHandle.Write(probe.data(), probe.size());
        written != static_cast<std::ptrdiff_t>(probe.size()))
        platform::TraceNote("the identification probe was not written whole",
                            std::to_string(written) + " of " + std::to_string(probe.size()) +
                                " bytes");
    std::this_thread::sleep_for(kProbePause);
    std::array<char, kProbeAnswerCapacity> buffer{};
    const auto got = readHandle.Read(buffer.data(), buffer.size(), kProbeAnswerWait);
    if (got <= 0)
        return {};
    const std::string_view answer(buffer.data(), static_cast<std::size_t>(got));
    return std::string(answer.substr(0, answer.find('\0')));
}

std::string ModelNameFromProbeAnswer(std::string_view answer) {
    std::string_view rest = AfterComma(AfterComma(answer));
    const auto end = rest.find(',');
    if (end == std::string_view::npos)
        return {};
    std::string_view name = rest.substr(0, end);
    while (!name.empty() && IsBlankOrControl(name.front()))
        name.remove_prefix(1);
    while (!name.empty() && IsBlankOrControl(name.back()))
        name.remove_suffix(1);
    return std::string(name);
}

} // namespace zopra
