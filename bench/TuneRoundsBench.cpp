// "tune rounds": how many rounds of cut, weed, look and answer it takes to reach a clean cut,
// with the ladder (force strips, then one offset strip) and with the one-cut loop's growing
// steps. Every material whose clean force window is 20 g wide, placed every 10 g across the
// model's range, with every offset entry, from starts at every tenth of the force range and
// every offset entry. A material answers as the virtual cutter judges it: force first, then
// the corners. It counts rounds, never time.
//
//   tune_rounds_bench           the table: worst and median of each way
//   tune_rounds_bench --check   the same, and exit 1 when a worst case is over its bound
#include "protocol/Ladder.h"
#include "protocol/ModelRules.h"
#include "protocol/ParameterDisplay.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace zopra;

constexpr const char* kModel = "Vantor II 24 PZ";
constexpr int kWindowGrams = 20;
// The bounds `--check` holds the worst cases to. The one-cut loop cannot do better than 12
// with its rules: from 5 g a window at the top of a 350 g range takes at least seven cuts with
// steps of 10, 20, 40 ... g, and the offset from the first entry to the seventh five more
// (one entry, two, two, two, one back).
constexpr int kLadderRoundsBound = 3;
constexpr int kOneCutBound = 14;
// A way that has not found the clean cut after this many rounds never will.
constexpr int kGiveUp = 100;

struct Material {
    int forceMin, forceMax, offsetIndex;
};

// What the user sees on one cut, as the virtual cutter judges it.
CutSeen Judge(const Material& m, const CutValues& v) {
    if (v.forceGrams < m.forceMin)
        return CutSeen::NotThrough;
    if (v.forceGrams > m.forceMax)
        return CutSeen::IntoBacking;
    if (v.offsetIndex < m.offsetIndex)
        return CutSeen::RoundedCorners;
    if (v.offsetIndex > m.offsetIndex)
        return CutSeen::OvercutCorners;
    return CutSeen::Clean;
}

CellSeen Depth(const Material& m, int grams) {
    return grams < m.forceMin   ? CellSeen::Under
           : grams > m.forceMax ? CellSeen::Over
                                : CellSeen::Good;
}

CellSeen Corners(const Material& m, int index) {
    return index < m.offsetIndex   ? CellSeen::Under
           : index > m.offsetIndex ? CellSeen::Over
                                   : CellSeen::Good;
}

// Rounds (strips cut) and cells to clean, or nothing when the ladder gave up.
struct Count {
    int rounds = 0;
    int cells = 0;
};

std::optional<Count> LadderRounds(const Material& m) {
    Count count;
    // Force strips until a cell is clean; the offset does not matter to the depth.
    Ladder strip = DefaultForceLadder(kModel);
    CutValues values{0, 0};
    for (;;) {
        if (++count.rounds > kGiveUp)
            return std::nullopt;
        count.cells += static_cast<int>(strip.cells.size());
        std::vector<CellSeen> seen;
        for (const std::int32_t grams : strip.cells)
            seen.push_back(Depth(m, grams));
        const LadderPlan plan = PlanLadder(strip, seen, kModel, false);
        if (plan.kind == LadderPlan::Kind::AtLimit)
            return std::nullopt;
        if (plan.kind == LadderPlan::Kind::Write) {
            values.forceGrams = plan.value;
            break;
        }
        strip = plan.next;
    }
    // One offset strip over the whole list.
    strip = DefaultOffsetLadder();
    ++count.rounds;
    count.cells += static_cast<int>(strip.cells.size());
    std::vector<CellSeen> seen;
    for (const std::int32_t index : strip.cells)
        seen.push_back(Corners(m, index));
    const LadderPlan plan = PlanLadder(strip, seen, kModel, false);
    if (plan.kind != LadderPlan::Kind::Write)
        return std::nullopt;
    values.offsetIndex = plan.value;
    if (Judge(m, values) != CutSeen::Clean)
        return std::nullopt;
    return count;
}

// Cuts to clean with the one-cut loop, the first cut and the clean one included.
std::optional<int> OneCut(const Material& m, CutValues values) {
    std::vector<TuneStep> earlier;
    for (int cuts = 1; cuts <= kGiveUp; ++cuts) {
        const CutSeen seen = Judge(m, values);
        if (seen == CutSeen::Clean)
            return cuts;
        const GuidedFix fix = GuideFix(seen, kModel, values, false, '.', earlier);
        if (fix.kind != GuidedFix::Kind::Change)
            return std::nullopt;
        earlier.push_back({values, seen});
        values = fix.next;
    }
    return std::nullopt;
}

int Median(std::vector<int> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const bool check = argc > 1 && std::strcmp(argv[1], "--check") == 0;
    const int minimum = kForcePositionMinimum;
    const int maximum = RulesForModel(kModel).forceMaximum;
    const int offsets = static_cast<int>(kBladeOffsetEntries.size());

    std::vector<int> ladderRounds, ladderCells, oneCutCuts;
    int failures = 0;
    std::string worstOneCut;
    int worstCuts = 0;
    for (int low = minimum; low + kWindowGrams <= maximum; low += 10)
        for (int offset = 0; offset < offsets; ++offset) {
            const Material m{low, low + kWindowGrams, offset};
            if (const auto count = LadderRounds(m)) {
                ladderRounds.push_back(count->rounds);
                ladderCells.push_back(count->cells);
            } else {
                ++failures;
                std::printf("ladder found no clean cut for %d-%d g, entry %d\n", m.forceMin,
                            m.forceMax, offset);
            }
            for (int tenth = 0; tenth <= 10; ++tenth)
                for (int startOffset = 0; startOffset < offsets; ++startOffset) {
                    const CutValues start{minimum + (maximum - minimum) * tenth / 10, startOffset};
                    const auto cuts = OneCut(m, start);
                    if (!cuts) {
                        ++failures;
                        std::printf("one-cut loop found no clean cut for %d-%d g, entry %d "
                                    "from %d g, entry %d\n",
                                    m.forceMin, m.forceMax, offset, start.forceGrams, startOffset);
                        continue;
                    }
                    oneCutCuts.push_back(*cuts);
                    if (*cuts > worstCuts) {
                        worstCuts = *cuts;
                        worstOneCut = std::to_string(m.forceMin) + "-" +
                                      std::to_string(m.forceMax) + " g, entry " +
                                      std::to_string(offset) + " from " +
                                      std::to_string(start.forceGrams) + " g, entry " +
                                      std::to_string(startOffset);
                    }
                }
        }
    if (ladderRounds.empty() || oneCutCuts.empty())
        return 1;

    const int ladderWorst = *std::max_element(ladderRounds.begin(), ladderRounds.end());
    std::printf("tune rounds over %zu materials and %zu starts (%s)\n", ladderRounds.size(),
                oneCutCuts.size(), kModel);
    std::printf("%-34s %6s %7s\n", "", "worst", "median");
    std::printf("%-34s %6d %7d   (bound %d)\n", "ladder: rounds", ladderWorst, Median(ladderRounds),
                kLadderRoundsBound);
    std::printf("%-34s %6d %7d\n", "ladder: cells cut",
                *std::max_element(ladderCells.begin(), ladderCells.end()), Median(ladderCells));
    std::printf("%-34s %6d %7d   (bound %d)\n", "one-cut loop, growing steps: cuts", worstCuts,
                Median(oneCutCuts), kOneCutBound);
    std::printf("one-cut worst case: %s\n", worstOneCut.c_str());
    if (!check)
        return 0;
    const bool within =
        failures == 0 && ladderWorst <= kLadderRoundsBound && worstCuts <= kOneCutBound;
    std::printf("tune rounds check: %s\n", within ? "within the bounds" : "OVER A BOUND");
    return within ? 0 : 1;
}
