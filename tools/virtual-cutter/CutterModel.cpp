#include "CutterModel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace zopra::vc {

namespace {

constexpr double kMmPerUnit = 0.025; // one plotter unit

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> fields;
    for (;;) {
        const auto at = text.find(separator);
        fields.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return fields;
        text.remove_prefix(at + 1);
    }
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

std::string Mm(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

} // namespace

std::optional<int> ParseInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    long long magnitude = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    const long long value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<double> ParseDecimal(std::string_view text) {
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Digits with at most one point and at least one digit: from_chars alone would also take
    // "inf", "nan" and exponents.
    int digits = 0;
    int points = 0;
    for (char c : text) {
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c == '.')
            ++points;
        else
            return std::nullopt;
    }
    if (digits == 0 || points > 1)
        return std::nullopt;
    double value = 0.0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return negative ? -value : value;
}

CutterModel::CutterModel(const CutterState& state, double errorX, double errorY,
                         std::optional<Material> material)
    : state_(state), errorX_(errorX), errorY_(errorY), material_(material),
      nominalScaleX_(state.scaleX), nominalScaleY_(state.scaleY) {}

void CutterModel::SetState(const CutterState& state) {
    state_ = state;
}

Outcome CutterModel::Execute(std::string_view command) {
    if (command.size() >= 4 && command.front() == '\x1b' && command.back() == ':')
        return Escape(command.substr(2, command.size() - 3));
    if (command.size() >= 3 && command.back() == ';') {
        std::string mnemonic(command.substr(0, 2));
        for (char& c : mnemonic)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        return Hpgl(mnemonic, command.substr(2, command.size() - 3));
    }
    return {std::nullopt, {"not a command, ignored"}};
}

// body: the letter and what follows it, without ESC "." and the final ":".
Outcome CutterModel::Escape(std::string_view body) {
    if (body[0] == 'R') {
        Outcome out;
        FlushStrip(out);
        updateSinceCut_ = false;
        if (body.size() == 2 && std::string_view("13456").find(body[1]) != std::string_view::npos)
            out.reply = QueryReply(body[1]);
        else
            out.notes.push_back("unknown query, not answered");
        return out;
    }

    const auto fields = Split(body, ';');
    if (fields[0] == "C1" || fields[0] == "C6") {
        if (fields.size() != 3)
            return {std::nullopt, {"malformed setting, ignored"}};
        updateSinceCut_ = true;
        return Setting(fields[0] == "C1" ? 1 : 6, fields);
    }
    if (fields[0] == "D6") {
        const auto x = fields.size() == 3 ? ParseInteger(fields[1]) : std::nullopt;
        const auto y = fields.size() == 3 ? ParseInteger(fields[2]) : std::nullopt;
        if (!x || !y)
            return {std::nullopt, {"malformed AAS offsets, ignored"}};
        state_.aasX = *x;
        state_.aasY = *y;
        return {std::nullopt,
                {"AAS offsets = " + std::to_string(*x) + ", " + std::to_string(*y) + " units"}};
    }
    return {std::nullopt, {"unknown command, ignored"}};
}

// fields: "C1" or "C6", the item number, the value.
Outcome CutterModel::Setting(int group, const std::vector<std::string_view>& fields) {
    const auto item = ParseInteger(fields[1]);
    if (!item)
        return {std::nullopt, {"malformed setting number " + Quoted(fields[1]) + ", ignored"}};

    // The commit items carry no value.
    const bool commit = (group == 1 && *item == 0) || (group == 6 && *item == 2);
    if (commit) {
        if (!fields[2].empty())
            return {std::nullopt, {"commit with a value " + Quoted(fields[2]) + ", ignored"}};
        if (group == 1)
            return {std::nullopt,
                    {"parameters stored (" + std::to_string(++state_.parameterCommits) + ")"}};
        return {std::nullopt, {"scale stored (" + std::to_string(++state_.scaleCommits) + ")"}};
    }

    const auto value = ParseInteger(fields[2]);
    if (!value)
        return {std::nullopt, {"malformed value " + Quoted(fields[2]) + ", ignored"}};
    const int n = *value;
    auto outOfRange = [&] {
        return Outcome{std::nullopt, {"value " + std::to_string(n) + " out of range, ignored"}};
    };
    auto stored = [](const char* what, int& field, int v, const char* unit = "") {
        field = v;
        return Outcome{std::nullopt, {std::string(what) + " = " + std::to_string(v) + unit}};
    };

    if (group == 6) {
        if (*item != 0 && *item != 1)
            return {std::nullopt, {"unknown scale item " + std::to_string(*item) + ", ignored"}};
        if (n <= 0) // a scale of zero or below would stall the mechanism
            return outOfRange();
        return *item == 1 ? stored("X scale", state_.scaleX, n)
                          : stored("Y scale", state_.scaleY, n);
    }

    switch (*item) {
    case 16:
        if (n < 0 || n >= static_cast<int>(std::size(kBladeOffsets)))
            return outOfRange();
        return stored("blade offset", state_.bladeOffset, kBladeOffsets[n], " um");
    case 17:
        if (n != 0 && n != 1)
            return outOfRange();
        return stored("speed", state_.speed, n == 0 ? 10 : 60,
                      n == 0 ? " (heavy media)" : " (light media)");
    case 18:
        if (n != 0 && n != 1)
            return outOfRange();
        return stored("vector quality", state_.vectorQuality, n == 0 ? 1 : 3);
    case 19:
        if (n != 0 && n != 1)
            return outOfRange();
        return stored("vector smooth", state_.vectorSmooth, n);
    case 20:
        if (n != 0 && n != 1)
            return outOfRange();
        return stored("auto unroll", state_.autoUnroll, n);
    case 21:
        if (n != 0 && n != 1)
            return outOfRange();
        return stored("media type", state_.mediaType, n == 0 ? 3 : 1);
    case 22:
        if (n < 0)
            return outOfRange();
        return stored("blade force", state_.force, n, " g");
    case 32:
        if (n != 0 && n != 1)
            return outOfRange();
        return stored("blade holder", state_.bladeHolder, n);
    default:
        return {std::nullopt, {"unknown setting " + std::to_string(*item) + ", ignored"}};
    }
}

std::string CutterModel::QueryReply(char which) const {
    const auto& s = state_;
    auto n = [](auto v) { return std::to_string(v); };
    switch (which) {
    case '1':
        return "R1," + n(s.speed) + "," + n(s.force) + "," + n(s.bladeOffset) + "," +
               n(s.vectorQuality) + "," + n(s.vectorSmooth) + "," + n(s.autoUnroll) + "," +
               n(s.mediaType) + ";";
    case '3':
        return "R3," + n(s.scaleX) + "," + n(s.scaleY) + ";";
    case '4':
        return "R4," + s.cname + "," + s.model + "," + s.version + "," + s.date + "," + s.time +
               ";";
    case '5':
        return "R5," + n(s.aasX) + "," + n(s.aasY) + ";";
    default:
        return "R6," + n(s.bladeHolder) + ";";
    }
}

Outcome CutterModel::Hpgl(std::string_view mnemonic, std::string_view parameters) {
    std::vector<double> numbers;
    if (!TrimBlanks(parameters).empty()) {
        for (auto field : Split(parameters, ',')) {
            const auto number = ParseDecimal(field);
            if (!number)
                return {std::nullopt, {"malformed parameters, ignored"}};
            numbers.push_back(*number);
        }
    }

    Outcome out;
    if (mnemonic == "OH") {
        if (!numbers.empty())
            return {std::nullopt, {"OH takes no parameters, not answered"}};
        out.reply = "0,0," + std::to_string(std::llround(state_.paperLengthMm * 40.0)) + "," +
                    std::to_string(std::llround(state_.paperWidthMm * 40.0));
        return out;
    }
    if (mnemonic == "VS" || mnemonic == "SP") {
        if (numbers.size() > 1 || (!numbers.empty() && std::fabs(numbers[0]) > 1e9))
            return {std::nullopt, {"malformed parameters, ignored"}};
        const int value = numbers.empty() ? 0 : static_cast<int>(numbers[0]);
        (mnemonic == "VS" ? state_.velocity : state_.pen) = value;
        return out;
    }
    if (mnemonic == "IN") {
        PenUp(out);
        state_.relative = false;
        return out;
    }
    const bool known = mnemonic == "PA" || mnemonic == "PR" || mnemonic == "PU" || mnemonic == "PD";
    if (!known)
        return {std::nullopt, {"unknown instruction, ignored"}};
    if (numbers.size() % 2 != 0)
        return {std::nullopt, {"odd number of coordinates, ignored"}};

    if (mnemonic == "PA")
        state_.relative = false;
    else if (mnemonic == "PR")
        state_.relative = true;
    else if (mnemonic == "PU")
        PenUp(out);
    else if (!state_.penDown) {
        state_.penDown = true;
        drawing_ = true;
        current_ = Figure{};
        current_.path.push_back(head_);
        startX_ = state_.penX;
        startY_ = state_.penY;
    }

    for (std::size_t i = 0; i < numbers.size(); i += 2) {
        if (state_.relative)
            MoveTo(state_.penX + numbers[i], state_.penY + numbers[i + 1]);
        else
            MoveTo(numbers[i], numbers[i + 1]);
    }
    return out;
}

// A commanded length L comes out as L x 0.025 mm x error x N / scale, N being the scale the
// mechanism was built for: calibrating the scale to measured / requested x N cancels the error.
void CutterModel::MoveTo(double x, double y) {
    const double dx = x - state_.penX;
    const double dy = y - state_.penY;
    head_.x += dx * kMmPerUnit * errorX_ * nominalScaleX_ / state_.scaleX;
    head_.y += dy * kMmPerUnit * errorY_ * nominalScaleY_ / state_.scaleY;
    state_.penX = x;
    state_.penY = y;
    if (drawing_)
        current_.path.push_back(head_);
}

void CutterModel::PenUp(Outcome& out) {
    state_.penDown = false;
    if (!drawing_)
        return;
    drawing_ = false;
    auto [minX, maxX] = std::minmax_element(current_.path.begin(), current_.path.end(),
                                            [](auto& a, auto& b) { return a.x < b.x; });
    auto [minY, maxY] = std::minmax_element(current_.path.begin(), current_.path.end(),
                                            [](auto& a, auto& b) { return a.y < b.y; });
    current_.widthMm = maxX->x - minX->x;
    current_.heightMm = maxY->y - minY->y;
    // Putting the pen down and lifting it again without travel leaves no figure.
    if (current_.widthMm == 0.0 && current_.heightMm == 0.0)
        return;
    current_.closed = current_.path.size() > 2 && state_.penX == startX_ && state_.penY == startY_;
    out.notes.push_back((current_.closed ? "plotted " : "drew an open path ") +
                        Mm(current_.widthMm) + " x " + Mm(current_.heightMm) + " mm");
    figures_.push_back(std::move(current_));
    if (figures_.size() > kMaxFigures)
        figures_.pop_front();
    NoteTestCut(out);
}

void CutterModel::NoteTestCut(Outcome& out) {
    if (figures_.size() < 2)
        return;
    const Figure& triangle = figures_.back();
    const Figure& square = figures_[figures_.size() - 2];
    // A square is its start and four corners; a triangle its start and three corners.
    if (!triangle.closed || triangle.path.size() != 4 || !square.closed || square.path.size() != 5)
        return;
    const auto [squareX, squareXEnd] = std::minmax_element(
        square.path.begin(), square.path.end(), [](auto& a, auto& b) { return a.x < b.x; });
    const auto [squareY, squareYEnd] = std::minmax_element(
        square.path.begin(), square.path.end(), [](auto& a, auto& b) { return a.y < b.y; });
    for (const PointMm& corner : triangle.path)
        if (corner.x <= squareX->x || corner.x >= squareXEnd->x || corner.y <= squareY->y ||
            corner.y >= squareYEnd->y)
            return;
    char size[32];
    std::snprintf(size, sizeof size, "%.1f", square.widthMm);
    const std::string verdict = TestCutVerdict();
    std::string plain =
        "test cut " + std::string(size) + " mm" + (verdict.empty() ? "" : ": " + verdict);
    if (updateSinceCut_) {
        strip_.push_back({std::move(plain), CellVerdict()});
        updateSinceCut_ = false;
        return;
    }
    FlushStrip(out);
    out.notes.push_back(std::move(plain));
}

void CutterModel::FlushStrip(Outcome& out) {
    if (strip_.size() == 1)
        out.notes.push_back(strip_.front().plain);
    else
        for (std::size_t k = 0; k < strip_.size(); ++k)
            out.notes.push_back("test cut " + std::to_string(k + 1) + " of " +
                                std::to_string(strip_.size()) + " " + strip_[k].cell);
    strip_.clear();
}

std::string CutterModel::CellVerdict() const {
    char values[64];
    std::snprintf(values, sizeof values, "(%d g, %.3f mm)", state_.force,
                  state_.bladeOffset / 1000.0);
    if (!material_)
        return values;
    const char* depth = state_.force < material_->forceMin   ? "not cut through"
                        : state_.force > material_->forceMax ? "cut into the backing"
                                                             : "cut through cleanly";
    const char* corners = state_.bladeOffset < material_->offsetUm   ? "corners rounded"
                          : state_.bladeOffset > material_->offsetUm ? "corners overcut"
                                                                     : "corners sharp";
    return std::string(values) + ": " + depth + "; " + corners;
}

// Force first: a cut that does not go through, or goes through the backing, cannot be
// weeded, so its corners cannot be judged.
std::string CutterModel::TestCutVerdict() const {
    if (!material_)
        return "";
    const auto force = " (force " + std::to_string(state_.force) + " g)";
    char offset[48];
    std::snprintf(offset, sizeof offset, " (offset %.3f mm)", state_.bladeOffset / 1000.0);
    if (state_.force < material_->forceMin)
        return "not cut through" + force;
    if (state_.force > material_->forceMax)
        return "cut into the backing" + force;
    if (state_.bladeOffset < material_->offsetUm)
        return "corners rounded" + std::string(offset);
    if (state_.bladeOffset > material_->offsetUm)
        return "corners overcut" + std::string(offset);
    return "clean";
}

} // namespace zopra::vc
