// The receive thread's line assembly on any stream of reads. The input is a script: each
// step either resets the assembler or feeds it a read, and the same script is played a
// second time with every read cut at other places. Both plays must give the lines worked
// out plainly from the stream (so no byte fed before a reset ever reaches a line after it);
// no line holds a CR or is longer than the assembler keeps.
#include "link/LineAssembler.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using zopra::LineAssembler;

constexpr std::size_t kLongest = LineAssembler::kCapacity - 1;

void Require(bool condition) {
    if (!condition)
        std::abort();
}

struct Step {
    bool reset = false;
    std::string bytes; // one read of the link
};

// Byte 0xFF resets; any other byte n starts a read of the next n bytes (or the rest). A
// fuzzer rarely finds a read longer than the buffer, so 0xFE doubles the read before it.
std::vector<Step> ReadScript(const std::uint8_t* data, std::size_t size) {
    std::vector<Step> steps;
    std::size_t at = 0;
    while (at < size) {
        const std::uint8_t op = data[at++];
        if (op == 0xFF) {
            steps.push_back({true, {}});
        } else if (op == 0xFE) {
            if (!steps.empty() && !steps.back().reset && steps.back().bytes.size() < 3 * kLongest)
                steps.back().bytes += std::string(steps.back().bytes) + steps.back().bytes;
        } else {
            const std::size_t n = std::min<std::size_t>(op, size - at);
            steps.push_back({false, std::string(reinterpret_cast<const char*>(data) + at, n)});
            at += n;
        }
    }
    return steps;
}

// What any line must be: never a CR in it, never longer than the assembler keeps.
void CheckLine(std::string_view line) {
    Require(line.size() <= kLongest);
    Require(line.find('\r') == std::string_view::npos);
}

// The lines of each stretch between resets (a line may hold any text, so no marker in
// the lines could stand for a reset).
using Lines = std::vector<std::vector<std::string>>;

// Plays the script, feeding each read in pieces of `piece` bytes (0: whole) and taking the
// lines after each piece as the receive thread does. Bytes a full buffer refuses are fed
// again after the lines waiting are taken, as the thread does by reading the link again.
Lines Play(const std::vector<Step>& steps, std::size_t piece) {
    LineAssembler assembler;
    Lines lines(1);
    auto takeAll = [&] {
        while (auto line = assembler.TakeLine()) {
            CheckLine(*line);
            lines.back().emplace_back(*line);
        }
        Require(!assembler.HasPending());
    };
    for (const Step& step : steps) {
        if (step.reset) {
            assembler.Reset();
            Require(!assembler.HasPending());
            Require(!assembler.TakeLine());
            lines.emplace_back();
            continue;
        }
        std::string_view rest = step.bytes;
        while (!rest.empty()) {
            const std::string_view part = piece == 0 ? rest : rest.substr(0, piece);
            const std::size_t taken = assembler.Feed(part);
            Require(taken <= part.size());
            Require(taken > 0); // after every TakeLine loop the buffer has room again
            rest.remove_prefix(taken);
            takeAll();
        }
    }
    return lines;
}

// The same lines worked out plainly: the bytes of the reads between two resets cut at
// every CR, each piece that a CR ends is a line unless it is longer than kLongest; the
// piece after the last CR has not ended yet. Only the reads after a reset count for the
// lines after it.
Lines Expected(const std::vector<Step>& steps) {
    Lines lines(1);
    std::string stretch;
    auto cut = [&] {
        std::size_t start = 0;
        for (std::size_t cr; (cr = stretch.find('\r', start)) != std::string::npos; start = cr + 1)
            if (cr - start <= kLongest)
                lines.back().push_back(stretch.substr(start, cr - start));
    };
    for (const Step& step : steps) {
        if (step.reset) {
            cut();
            stretch.clear();
            lines.emplace_back();
        } else {
            stretch += step.bytes;
        }
    }
    cut();
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses how the second play cuts each read (1 to 64 bytes).
    const std::size_t piece = (data[0] & 63) + 1;
    const std::vector<Step> steps = ReadScript(data + 1, size - 1);

    const Lines whole = Play(steps, 0);
    Require(whole == Expected(steps));
    Require(Play(steps, piece) == whole);
    return 0;
}
