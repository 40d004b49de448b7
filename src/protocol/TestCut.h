#pragma once
// Tuning the cut: a small test pattern the user weeds and looks at, and the one change of
// blade force or blade offset that fixes what they saw. Pure, like the test square: both
// windows and zopra-cli build the pattern and take the guided fix from here.
#include "protocol/Commands.h"
#include "protocol/MachineSettings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zopra {

// A test cut's size that is a number but lies outside 5 to 50 mm.
class TestCutSizeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The side of the test cut's square in plotter units, from the size typed in the unit shown
// (inches as for the test square: x 40 x 25.4, truncated). Throws ConversionError for a text
// that is no number and TestCutSizeError for a size outside 5 to 50 mm.
std::int32_t TestCutSide(std::string_view typed, bool inches, char decimalSeparator = '.');

// The size field's text before the user types: 10 mm, in the unit shown ("10.0", "0.394").
std::string TestCutDefaultSize(bool inches, char decimalSeparator = '.');

// The size in mm as the status line and the log name it ("10.0").
std::string TestCutSizeMm(std::int32_t side, char decimalSeparator = '.');

// The pattern as one HP-GL text: a closed square of `side` plotter units with a closed
// triangle inside it (apex up, its corners a fifth of the side in from the square's), all in
// relative moves, the pen up before the first move and at the end, where it stands the side
// plus 5 mm to the right of where it started, so that the next cut lands beside this one.
// No "VS" (the cutter's own speed cuts, as in a job), no "IN;" (it would reset the cutter's
// settings), no absolute move.
std::string TestCutText(std::int32_t side);

// What the user sees on the weeded test cut.
enum class CutSeen { Clean, NotThrough, IntoBacking, RoundedCorners, OvercutCorners };

struct CutSeenEntry {
    CutSeen seen;
    std::string_view caption; // the window's list entry
    std::string_view word;    // zopra-cli's SEEN word
    std::string_view step;    // how a step of the loop names it
};

// The five, in the order of the window's list.
const std::array<CutSeenEntry, 5>& CutSeenEntries();
const CutSeenEntry& EntryOf(CutSeen seen);
std::optional<CutSeen> CutSeenFromWord(std::string_view word);
// "clean, not-through, into-backing, rounded-corners, overcut-corners".
std::string CutSeenWords();

// The two values the loop changes: the force as the force bar's position (grams, 5 up to the
// model's maximum) and the blade offset as its list position (0 to 7).
struct CutValues {
    std::int32_t forceGrams = 0;
    int offsetIndex = 0;
    bool operator==(const CutValues&) const = default;
};

// The guided fix's first force step, and the smallest.
inline constexpr std::int32_t kForceStepGrams = 10;

// One cut of the loop and what was seen on it.
struct TuneStep {
    CutValues values;
    CutSeen seen = CutSeen::Clean;
};

// What the guided fix does for what was seen.
struct GuidedFix {
    enum class Kind {
        Clean,   // nothing changes, and the loop ends
        Change,  // write `next` (one value changed), read it back, cut again
        AtLimit, // the value is at its limit: nothing is sent, `message` names the limit
    };
    Kind kind = Kind::Clean;
    CutValues next;
    // Change: the value changed, as the status line names it ("Blade force 90 g");
    // AtLimit and Clean: the whole message.
    std::string message;
    // Clean right after a force step: the clean value may sit at the edge of the clean range
    // (a blade that wears soon falls out of it), so a force ladder one step each way around
    // it is offered, to find the middle.
    struct ForceRange {
        std::int32_t from = 0;
        std::int32_t to = 0;
    };
    std::optional<ForceRange> ladderOffer;
};

// The one change for `seen` from `now` on a cutter of `modelName`, after the `earlier` cuts
// of this loop (first first, `now` not among them). Texts in the unit shown.
// - Force: up or down within the model's force range. The step starts at 10 g and doubles
//   each time the same sight repeats (10, 20, 40, 80 g ...). A reversal (not through after
//   into the backing, or the reverse) halves the last step, never below 10 g, and from then
//   on each step is half the one before: the clean range lies between the two sights. A step
//   never reaches a force this loop already saw on the other side.
// - Offset: one entry up or down, two when the same sight repeats.
// Throws std::invalid_argument for an offset position that is no entry of the list.
GuidedFix GuideFix(CutSeen seen, std::string_view modelName, const CutValues& now, bool inches,
                   char decimalSeparator = '.', const std::vector<TuneStep>& earlier = {});

// What the guided fix and the ladder's planner say when the clean value would lie between two
// neighbours already seen on either side: "No whole gram lies between 100 g and 101 g, ...".
std::string NoForceBetweenText(std::int32_t low, std::int32_t high, bool inches,
                               char decimalSeparator = '.');
std::string NoOffsetBetweenText(int low, int high, bool inches, char decimalSeparator = '.');

// The force and offset of a read, or nothing when either is no position of its control (a
// force no bar position sends, an offset that is none of the eight entries).
std::optional<CutValues> CutValuesOf(const MachineSettings& values);

// The settings update (the nine writes of "Update") that writes back what was read, with the
// force and offset of `cut`: the guided fix changes one value and leaves the cutter's others
// as they are. Nothing when a value read names no entry of its list: it could not be
// written back as it is.
std::optional<SettingsUpdate> TuneSettingsUpdate(const MachineSettings& values,
                                                 const CutValues& cut);
inline constexpr const char* kTuneUnwritableMessage =
    "A setting read from the cutter is none of its list's entries, so the update cannot write "
    "it back as it is; nothing was sent.";

// True when the values read back (after "ESC.R1:") are those the update wrote.
bool ReadBackMatches(const MachineSettings& after, std::string_view modelName,
                     const CutValues& written);

// "blade force 80 g and blade offset 0.250 mm": what "ESC.R1:" reported, in the unit chosen,
// as the page shows them (a force no bar position sends as the cutter reports it).
std::string ReportedCutValuesText(const MachineSettings& after, bool inches,
                                  char decimalSeparator = '.');

// "The cutter did not take the change: it reports blade force 80 g and blade offset
// 0.250 mm; no test cut was made.", force and offset in the unit chosen, as the page shows
// them.
std::string ReadBackMismatchText(const MachineSettings& after, bool inches,
                                 char decimalSeparator = '.');

// The force and offset as the page and the steps show them: "90 g", "0.250 mm".
std::string CutForceText(std::int32_t grams, bool inches, char decimalSeparator = '.');
std::string CutOffsetText(int offsetIndex, bool inches, char decimalSeparator = '.');

// "2: 90 g, 0.250 mm, clean".
std::string TuneStepText(int number, const TuneStep& step, bool inches,
                         char decimalSeparator = '.');

// What the loop's clean end says: "Clean cut: blade force 90 g, blade offset 0.250 mm."
std::string CleanCutText(const CutValues& values, bool inches, char decimalSeparator = '.');

} // namespace zopra
