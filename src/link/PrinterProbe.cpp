#include "link/PrinterProbe.h"

#include "platform/Trace.h"
#include "protocol/Commands.h"

#include <algorithm>
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
    std::array<char, kProbeAnswerCapacity> buffer{};
    // What an earlier answer left (one longer than the reads that took it) would be read as
    // this answer's beginning, and name the cutter after its tail.
    for (int read = 0; read < kProbeDiscardReads; ++read)
        if (readHandle.Read(buffer.data(), buffer.size(), std::chrono::milliseconds(0)) <= 0)
            break;
    const std::string probe = IdentificationProbe();
    // An unwritten probe shows as no answer; the trace says why.
    if (const auto written = writeHandle.Write(probe.data(), probe.size());
        written != static_cast<std::ptrdiff_t>(probe.size()))
        platform::TraceNote("the identification probe was not written whole",
                            std::to_string(written) + " of " + std::to_string(probe.size()) +
                                " bytes");
    std::this_thread::sleep_for(kProbePause);
    // The answer is taken to its line end, which may come in several reads; what goes
    // beyond the capacity is read and dropped, so that none of it is left for the next use
    // of the handle.
    std::string answer;
    const auto deadline = std::chrono::steady_clock::now() + kProbeAnswerWait;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const auto got = readHandle.Read(buffer.data(), buffer.size(),
                                         std::max(left, std::chrono::milliseconds(0)));
        if (got <= 0)
            break;
        const std::string_view chunk(buffer.data(), static_cast<std::size_t>(got));
        answer +=
            chunk.substr(0, kProbeAnswerCapacity - std::min(answer.size(), kProbeAnswerCapacity));
        if (chunk.find_first_of("\r\n") != std::string_view::npos)
            break;
    }
    return answer.substr(0, answer.find('\0'));
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
