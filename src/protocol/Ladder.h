#pragma once
// Tuning in rounds: a strip of test cuts side by side, each with its own blade force (a force
// ladder) or blade offset (an offset ladder), and the planner that turns what the user saw on
// each cell into the value to write or the next strip. Pure, like the test cut: both windows
// and zopra-cli build the strip's bytes, run its series and plan from here.
#include "protocol/LinkWrite.h"
#include "protocol/MachineSettings.h"
#include "protocol/TestCut.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zopra {

enum class LadderKind { Force, Offset };

inline constexpr int kLadderCellsMinimum = 3;
inline constexpr int kLadderCellsMaximum = 8;
inline constexpr int kLadderCellsDefault = 5;

// A ladder that cannot be cut as asked: a range outside the model's, a range that does not
// rise, a cell count outside 3 to 8. The text ends "; nothing was sent."
class LadderError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The cells of a strip, left to right: grams (force bar positions) for a force ladder,
// positions in the blade offset list for an offset ladder.
struct Ladder {
    LadderKind kind = LadderKind::Force;
    std::vector<std::int32_t> cells;
    bool operator==(const Ladder&) const = default;
};

// Cell k of N gets FROM + (TO - FROM) * (k - 1) / (N - 1) grams, rounded, so the cells rise
// from left to right (the least risk to the backing first). FROM below TO, both within the
// model's force range (5 up to its maximum); N from 3 to 8.
Ladder ForceLadder(std::string_view modelName, std::int32_t from, std::int32_t to, int cells);
// The model's whole force range.
Ladder DefaultForceLadder(std::string_view modelName, int cells = kLadderCellsDefault);
// The offset list's entries from FROM to TO (positions, FROM below TO), in list order: the
// cell count follows from them and must be 3 to 8.
Ladder OffsetLadder(int fromIndex, int toIndex);
// All eight entries.
Ladder DefaultOffsetLadder();
// A strip whose cells are given (a next strip the planner made): rising, within the range,
// 1 to 8 of them.
Ladder LadderOfCells(std::string_view modelName, LadderKind kind, std::vector<std::int32_t> cells);

// A ladder's end as typed in the unit shown: whole grams, or ounces taken to the nearest gram;
// an offset as one of the list's entries (its position). Nothing for a text that is neither.
std::optional<std::int32_t> LadderEndFromText(LadderKind kind, std::string_view text, bool inches,
                                              char decimalSeparator = '.');
// What a range field shows for a value: "350", "12.35", "0.250".
std::string LadderEndText(LadderKind kind, std::int32_t value, bool inches,
                          char decimalSeparator = '.');

// The cell's side before the user types: 8 mm, in the unit shown ("8.0", "0.315"). The side
// follows the test cut's 5 to 50 mm rule (TestCutSide).
std::string LadderDefaultSize(bool inches, char decimalSeparator = '.');

// "178 g", "0.250 mm".
std::string LadderCellText(const Ladder& ladder, std::size_t cell, bool inches,
                           char decimalSeparator = '.');
// The strip's map: "1: 5 g  2: 91 g  3: 178 g".
std::string LadderMapText(const Ladder& ladder, bool inches, char decimalSeparator = '.');
// What the journal and the status line call the strip: "Force ladder 5-350 g, 5 cells",
// "Offset ladder 0.000-1.000 mm, 8 cells".
std::string LadderTitle(const Ladder& ladder, bool inches, char decimalSeparator = '.');

// The force and offset of a cell, the cutter's other value as it was before the strip.
CutValues CellValues(const Ladder& ladder, std::size_t cell, const CutValues& before);

// The strip as bytes: before each cell the whole settings update (the nine writes, every value
// but the cell's as the cutter held it), then the cell's test cut, which ends where the next
// begins; after the last cell the nine writes of the values from before.
struct LadderStrip {
    std::vector<std::vector<std::string>> cells;
    std::vector<std::string> restore;
};
// Nothing when the values read cannot be written back as they are (a list value that is no
// entry, a force or offset that no control shows): the strip could not leave the cutter as it
// found it.
std::optional<LadderStrip> MakeLadderStrip(const MachineSettings& before, const Ladder& ladder,
                                           std::int32_t side);

// One write to the open link.
using LinkWriter = std::function<LinkWriteResult(const std::string& bytes)>;

// What cutting a strip came to.
struct StripRun {
    int cellsCut = 0;                   // cells whose every byte went out
    std::optional<std::string> failure; // the reason of the write that stopped the series
    bool restoreWritten = false;        // the old values' nine writes all went out
    std::vector<std::string> sent;      // every write that went out, in order
};

// The strip as one series: the first write that fails stops it, and the old values are
// written back all the same (a cell's update may have gone out half).
StripRun CutLadderStrip(const LadderStrip& strip, const LinkWriter& write);

// "The strip stopped after cell 2 of 5: <reason> The cutter's values from before were
// written back." (or "... could not be written back either: <reason>").
std::string StripFailureText(const StripRun& run, std::size_t cells);

// "The cutter did not take its values from before back: it reports blade force 120 g and
// blade offset 0.250 mm.", as ReportedCutValuesText shows them.
std::string RestoreMismatchText(const MachineSettings& after, bool inches,
                                char decimalSeparator = '.');

// What the user says of one cell. Force: not cut through, clean, into the backing; offset:
// corners rounded, sharp, overcut.
enum class CellSeen { Under, Good, Over };

struct CellSeenEntry {
    CellSeen seen;
    std::string_view caption; // the window's list entry
    std::string_view word;    // zopra-cli's word
    std::string_view letter;  // and its short form
    std::string_view judged;  // how a step names it ("not cut through")
};
// The three of a kind, in the order of the window's lists.
const std::array<CellSeenEntry, 3>& CellSeenEntries(LadderKind kind);
std::optional<CellSeen> CellSeenFromWord(LadderKind kind, std::string_view word);
// "not-through, clean, into-backing (or n, c, b)".
std::string CellSeenWords(LadderKind kind);

// What to do after a strip.
struct LadderPlan {
    enum class Kind {
        Write,     // write `value` (the middle of the widest run of clean cells), read it back
        NextStrip, // no cell was clean: cut `next`
        AtLimit,   // nothing to cut or write: `message` names the limit
    };
    Kind kind = Kind::AtLimit;
    std::int32_t value = 0; // Write: grams or an offset position
    Ladder next;            // NextStrip
    std::string message;    // Write: "Blade force 178 g"; NextStrip: the new map; AtLimit
};

// One answer per cell, in cell order; answers that contradict the rising order are taken as
// they come. Throws std::invalid_argument when the answers are not one per cell.
LadderPlan PlanLadder(const Ladder& strip, const std::vector<CellSeen>& seen,
                      std::string_view modelName, bool inches, char decimalSeparator = '.');

// "Ladder answer: 178 g written", "Ladder answer: next strip 1: 278 g  2: 293 g ...",
// "Ladder answer: <limit message>" for the journal.
std::string LadderAnswerText(const LadderPlan& plan, const Ladder& strip, bool inches,
                             char decimalSeparator = '.');

} // namespace zopra
