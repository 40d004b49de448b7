#pragma once
// What the cutter does with one command: queries produce the reply text, settings change
// the state, HP-GL moves the pen through a mechanism with a length error per axis. Pure:
// no threads, no devices; the caller serialises access.
#include "CutterTypes.h"

#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zopra::vc {

struct Outcome {
    std::optional<std::string> reply; // without line end; none for settings and plotting
    std::vector<std::string> notes;   // what happened, for the log
};

class CutterModel {
public:
    // The scale factors in state are those the mechanism was built for: a length error of
    // 1.0 draws true at exactly those scales.
    // `material` is what test cuts are judged against (none: they are only measured).
    CutterModel(const CutterState& state, double errorX, double errorY,
                std::optional<Material> material = std::nullopt);

    // One complete command as the reader cut it: ESC "." letter ... ":" or XX ... ";".
    Outcome Execute(std::string_view command);

    const CutterState& State() const { return state_; }
    void SetState(const CutterState& state);
    const std::deque<Figure>& Figures() const { return figures_; }

    // Plotted figures kept; the oldest go first.
    static constexpr std::size_t kMaxFigures = 1000;

private:
    Outcome Escape(std::string_view body);
    Outcome Setting(int group, const std::vector<std::string_view>& fields);
    Outcome Hpgl(std::string_view mnemonic, std::string_view parameters);
    void MoveTo(double x, double y);
    void PenUp(Outcome& out);
    std::string QueryReply(char which) const;
    // After a figure: a closed triangle inside the closed square just before it is a test
    // cut, and the log says what a person would see on it.
    void NoteTestCut(Outcome& out);
    std::string TestCutVerdict() const;
    // A cell of a strip, judged as it was cut: "(178 g, 0.250 mm): cut through cleanly;
    // corners rounded".
    std::string CellVerdict() const;
    // The held cells into the log, numbered "k of N" (a single one as a plain test cut).
    void FlushStrip(Outcome& out);

    CutterState state_;
    double errorX_;
    double errorY_;
    std::optional<Material> material_;
    int nominalScaleX_;
    int nominalScaleY_;

    PointMm head_; // where the blade really is
    bool drawing_ = false;
    Figure current_;
    double startX_ = 0.0; // commanded position where the current figure began
    double startY_ = 0.0;
    std::deque<Figure> figures_;

    // A strip of test cuts: each cell follows a settings update directly, with no query in
    // between, and the strip ends at the next query (the read-back after the old values were
    // written back). Its cells are held until then, so that each can say "k of N".
    struct HeldCell {
        std::string plain; // the line a lone test cut gets
        std::string cell;  // the values and the verdict
    };
    bool updateSinceCut_ = false;
    std::vector<HeldCell> strip_;
};

// Strict integer text: optional sign and digits, nothing else, within int.
std::optional<int> ParseInteger(std::string_view text);
// Strict decimal text: optional sign, digits, optional fraction; blanks around allowed.
std::optional<double> ParseDecimal(std::string_view text);

// The blade offsets, in micrometres, that the list indexes 0 to 7 of ESC.C1;16; select.
inline constexpr int kBladeOffsets[] = {0, 175, 250, 275, 300, 500, 750, 1000};

} // namespace zopra::vc
