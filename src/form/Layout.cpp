// The window's pixel layout: every control at the design's position and size, in its initial
// state. The behaviour lives in the MainForm*.cpp files.
#include "form/Layout.h"

#include "protocol/TestCut.h"

#include <cctype>
#include <cstdlib>

namespace zopra {

namespace {

using K = ControlKind;
using C = ControlId;

constexpr C W = C::Window;
constexpr C P1 = C::TabSheet1; // page "Setting"
constexpr C P2 = C::TabSheet2; // page "Adjust"
constexpr C P3 = C::TabSheet3; // page "Test Cut"
constexpr C P4 = C::TabSheet4; // page "History"

// A caption placed by its top-left corner; it takes the size of its text.
ControlRow Label(C id, std::string_view name, C parent, int left, int top,
                 std::string_view text = {}, bool visible = true) {
    return {.id = id,
            .name = name,
            .kind = K::Label,
            .parent = parent,
            .bounds = {left, top, 0, 0},
            .caption = text,
            .visible = visible};
}

ControlRow Heading(C id, std::string_view name, int left, int top, std::string_view text) {
    ControlRow layoutRow = Label(id, name, P2, left, top, text);
    layoutRow.kind = K::Heading;
    return layoutRow;
}

ControlRow Button(C id, std::string_view name, C parent, Bounds bounds, std::string_view caption,
                  char mnemonic, bool enabled) {
    return {.id = id,
            .name = name,
            .kind = K::Button,
            .parent = parent,
            .bounds = bounds,
            .caption = caption,
            .enabled = enabled,
            .mnemonic = mnemonic};
}

// A button of the help beside the status line, drawn as a link.
ControlRow LinkButton(C id, std::string_view name, Bounds bounds, std::string_view caption,
                      char mnemonic, bool visible) {
    ControlRow layoutRow = Button(id, name, W, bounds, caption, mnemonic, true);
    layoutRow.visible = visible;
    layoutRow.link = true;
    return layoutRow;
}

// A drop-down list of fixed entries; it starts without a selection unless `position` says
// otherwise.
ControlRow List(C id, std::string_view name, C parent, Bounds bounds,
                std::vector<std::string_view> entries, bool enabled, int position = -1) {
    return {.id = id,
            .name = name,
            .kind = K::List,
            .parent = parent,
            .bounds = bounds,
            .entries = std::move(entries),
            .enabled = enabled,
            .position = position};
}

// A drop-down list whose field also takes a typed text.
ControlRow EditableList(C id, std::string_view name, C parent, Bounds bounds, bool enabled) {
    ControlRow layoutRow = List(id, name, parent, bounds, {}, enabled);
    layoutRow.editable = true;
    return layoutRow;
}

ControlRow Edit(C id, std::string_view name, Bounds bounds, std::string_view text, bool border,
                C parent = P2, bool enabled = true) {
    return {.id = id,
            .name = name,
            .kind = K::Edit,
            .parent = parent,
            .bounds = bounds,
            .caption = text,
            .enabled = enabled,
            .border = border};
}

ControlRow ScrollBar(C id, std::string_view name, C parent, Bounds bounds, int minimum, int maximum,
                     int position, int largeStep, bool visible) {
    return {.id = id,
            .name = name,
            .kind = K::ScrollBar,
            .parent = parent,
            .bounds = bounds,
            .visible = visible,
            .position = position,
            .minimum = minimum,
            .maximum = maximum,
            .step = 1,
            .largeStep = largeStep};
}

ControlRow UpDown(C id, std::string_view name, Bounds bounds) {
    return {.id = id,
            .name = name,
            .kind = K::UpDown,
            .parent = P2,
            .bounds = bounds,
            .enabled = false,
            .position = 0,
            .minimum = -100,
            .maximum = 100,
            .step = 1};
}

// A line of the "History" page: a field of the page's width, 20 pixels a row.
ControlRow HistoryLine(C id, std::string_view name, int row) {
    return {.id = id,
            .name = name,
            .kind = K::Label,
            .parent = P4,
            .bounds = {12, 30 + 20 * row, 376, 16}};
}

// What the user can see on a test cut, in the order of the guided fix's table.
std::vector<std::string_view> CutSeenCaptions() {
    std::vector<std::string_view> captions;
    for (const CutSeenEntry& entry : CutSeenEntries())
        captions.push_back(entry.caption);
    return captions;
}

// A ladder cell's column and row: four to a row, the second row under the first.
constexpr int LadderLeft(int cell) {
    return 12 + 97 * (cell % 4);
}
constexpr int LadderTop(int cell) {
    return 158 + 46 * (cell / 4);
}

// A ladder cell's value ("3: 178 g"), hidden until a strip is cut.
ControlRow LadderCell(C id, std::string_view name, int cell) {
    return Label(id, name, P3, LadderLeft(cell), LadderTop(cell), {}, false);
}

// What was seen on a cell; its entries follow the kind of ladder cut.
ControlRow LadderSeen(C id, std::string_view name, int cell) {
    ControlRow layoutRow =
        List(id, name, P3, {LadderLeft(cell), LadderTop(cell) + 16, 92, 24}, {}, true);
    layoutRow.visible = false;
    return layoutRow;
}

// Every tick of the program is a single one: a workflow starts the timer, the handler runs
// once and the timer stays stopped until the next workflow starts it.
ControlRow Timer(C id, std::string_view name, int intervalMs) {
    return {.id = id, .name = name, .kind = K::Timer, .parent = W, .intervalMs = intervalMs};
}

// A column right of the client area (left 424 and beyond): the window clips it away.
constexpr int DiagnosticLeft = 432;
constexpr int DiagnosticTop(int row) {
    return 4 + 18 * row;
}

std::vector<ControlRow> MakeLayout() {
    return {
        // Top strip.
        EditableList(C::CBConnects, "CBConnects", W, {4, 4, 149, 24}, true),
        Button(C::BuConnect, "BuConnect", W, {156, 4, 65, 25}, "Connect", 'C', false),
        Label(C::Label1, "Label1", W, 228, 4, "Model:"),
        Label(C::LaMName, "LaMName", W, 272, 4, " "),
        Label(C::Label2, "Label2", W, 228, 20, "Version:"),
        Label(C::LaVer, "LaVer", W, 280, 20, " "),
        {.id = C::TSSetting,
         .name = "TSSetting",
         .kind = K::Tabs,
         .parent = W,
         .bounds = {5, 40, 404, 357}},
        {.id = C::TabSheet1,
         .name = "TabSheet1",
         .kind = K::Page,
         .parent = C::TSSetting,
         .caption = "Setting"},
        {.id = C::TabSheet2,
         .name = "TabSheet2",
         .kind = K::Page,
         .parent = C::TSSetting,
         .caption = "Adjust"},
        {.id = C::TabSheet3,
         .name = "TabSheet3",
         .kind = K::Page,
         .parent = C::TSSetting,
         .caption = "Test Cut"},
        {.id = C::TabSheet4,
         .name = "TabSheet4",
         .kind = K::Page,
         .parent = C::TSSetting,
         .caption = "History"},

        // Page "Setting".
        Label(C::Label3, "Label3", P1, 12, 8, "Paper Length (X)"),
        Label(C::LaLength, "LaLength", P1, 128, 8, "0"),
        Label(C::Label20, "Label20", P1, 200, 8),
        Label(C::Label4, "Label4", P1, 12, 28, "Paper Width (Y)"),
        Label(C::LaWidth, "LaWidth", P1, 128, 28, "0"),
        Label(C::Label21, "Label21", P1, 200, 28),
        Label(C::Label5, "Label5", P1, 12, 56, "Blade Force"),
        Label(C::LaForce, "LaForce", P1, 137, 56, "0"),
        Label(C::Label28, "Label28", P1, 168, 56, "g"),
        // Grams: one per click on an arrow (and per arrow key), ten per click on the track
        // (and per Page key).
        ScrollBar(C::SBForce, "SBForce", P1, {48, 76, 149, 17}, 5, 400, 5, 10, false),
        Label(C::Label7, "Label7", P1, 12, 108, "Blade Offset"),
        EditableList(C::CBOffset, "CBOffset", P1, {124, 104, 75, 24}, false),
        Label(C::Label29, "Label29", P1, 200, 108, {}, false),
        Label(C::Label9, "Label9", P1, 12, 132, "Media Type"),
        List(C::CBMedia, "CBMedia", P1, {124, 128, 75, 24}, {"Single", "Roll"}, false),
        Label(C::Label6, "Label6", P1, 12, 156, "Media Weight"),
        List(C::CBWeight, "CBWeight", P1, {124, 152, 75, 24}, {"Heavy", "Light"}, false),
        Label(C::Label8, "Label8", P1, 12, 180, "Auto Unroll"),
        List(C::CBUnroll, "CBUnroll", P1, {124, 176, 75, 24}, {"Disable", "Enable"}, false),
        Label(C::Label10, "Label10", P1, 12, 204, "Vector Quality"),
        List(C::CBAccel, "CBAccel", P1, {124, 200, 75, 24}, {"Fine", "Draft"}, false),
        Label(C::Label11, "Label11", P1, 12, 228, "Vector Smooth"),
        List(C::CBSmooth, "CBSmooth", P1, {124, 224, 75, 24}, {"Disable", "Enable"}, false),
        Label(C::Label37, "Label37", P1, 12, 252, "Unit"),
        List(C::CoUnit, "CoUnit", P1, {124, 248, 75, 24}, {"mm/g", "Inch/oz"}, false, 0),
        // The right column comes after the left one in the Tab order, and the row of buttons
        // across the page's foot after both.
        Label(C::Label39, "Label39", P1, 220, 56, "Blade Holder"),
        List(C::CBBladeHolder, "CBBladeHolder", P1, {308, 52, 81, 24}, {"Metal", "Plastic"}, false),
        Button(C::BuUpdate, "BuUpdate", P1, {12, 285, 75, 25}, "Update", 'U', false),
        Button(C::BuQuery, "BuQuery", P1, {100, 285, 125, 25}, "Read Parameters", 'R', false),
        // The cutter's settings to a file of the user's and back.
        Button(C::BuSaveFile, "BuSaveFile", P1, {232, 285, 75, 25}, "Save...", 'S', false),
        Button(C::BuLoadFile, "BuLoadFile", P1, {314, 285, 75, 25}, "Load...", 'L', false),

        // Page "Adjust". STEP1: plot a test square.
        Heading(C::Label13, "Label13", 112, 4, "STEP1"),
        Label(C::Label31, "Label31", P2, 0, 24, "Draw a square for testing"),
        Label(C::Label15, "Label15", P2, 4, 52, "Length (X)"),
        Edit(C::EdTestDraw_X, "EdTestDraw_X", {80, 52, 41, 17}, "500.0", false),
        Label(C::Label32, "Label32", P2, 128, 52),
        Label(C::Label14, "Label14", P2, 4, 84, "Width (Y)"),
        Edit(C::EdTestDraw_Y, "EdTestDraw_Y", {80, 84, 41, 17}, "500.0", false),
        Label(C::Label33, "Label33", P2, 128, 84),
        Button(C::BuScale1, "BuScale1", P2, {188, 62, 97, 25}, "Scaling Test", 'S', false),
        // STEP2: enter what was measured on the plot and calibrate.
        Heading(C::Label34, "Label34", 112, 112, "STEP2"),
        Label(C::Label16, "Label16", P2, 0, 132, "Measure and enter the actual output"),
        Label(C::Label19, "Label19", P2, 4, 158, "Length (X)"),
        Edit(C::EdMeasure_x, "EdMeasure_x", {80, 156, 60, 24}, "500.0", true),
        Label(C::Label18, "Label18", P2, 152, 160),
        Label(C::Label17, "Label17", P2, 4, 186, "Width (Y)"),
        Edit(C::EdMeasure_y, "EdMeasure_y", {80, 184, 60, 24}, "500.0", true),
        Label(C::Label35, "Label35", P2, 152, 188),
        Button(C::BuScale2, "BuScale2", P2, {192, 176, 75, 21}, "Calibrate", 'a', false),
        // AAS offsets: the current values and the adjustment to add to them.
        Heading(C::Label36, "Label36", 64, 216, "AASII Offset Function"),
        Label(C::Label23, "Label23", P2, 2, 245, "AAS X Offset"),
        Label(C::LaAASII_X_Offset, "LaAASII_X_Offset", P2, 92, 245, "0.000"),
        Label(C::Label25, "Label25", P2, 138, 244, "Adjust "),
        Edit(C::EdAASII_X_Offset, "EdAASII_X_Offset", {184, 243, 45, 24}, "0", true),
        UpDown(C::UpDown1, "UpDown1", {229, 243, 17, 24}),
        Label(C::Label27, "Label27", P2, 248, 246),
        Label(C::Label22, "Label22", P2, 2, 276, "AAS Y Offset"),
        Label(C::LaAASII_Y_Offset, "LaAASII_Y_Offset", P2, 92, 276, "0.000"),
        Label(C::Label24, "Label24", P2, 138, 274, "Adjust "),
        Edit(C::EdAASII_Y_Offset, "EdAASII_Y_Offset", {184, 272, 45, 24}, "0.000", true),
        UpDown(C::UpDown2, "UpDown2", {229, 271, 17, 24}),
        Label(C::Label26, "Label26", P2, 248, 276),
        Button(C::BuAASIIUpdate, "BuAASIIUpdate", P2, {28, 299, 143, 27}, "AASII Offset Update",
               'O', false),

        // Page "Test Cut": cut the pattern, say what it looks like, let the one change that
        // fixes it be written and cut again; at the page's foot the material presets.
        Label(C::LaCutSizeCaption, "LaCutSizeCaption", P3, 12, 12, "Square side"),
        Edit(C::EdCutSize, "EdCutSize", {108, 8, 60, 24}, "10.0", true, P3, false),
        Label(C::LaCutSizeUnit, "LaCutSizeUnit", P3, 174, 12, "mm"),
        Button(C::BuCutTest, "BuCutTest", P3, {236, 8, 97, 25}, "Cut Test", 'T', false),
        Label(C::LaCutSizeNote, "LaCutSizeNote", P3, 12, 38),
        // One cut and its guided fix, or a strip of cells (a force or offset ladder) over the
        // range and cell count beside the choice.
        List(C::CBCutMode, "CBCutMode", P3, {12, 56, 120, 24},
             {"One cut", "Force ladder", "Offset ladder"}, false, 0),
        Edit(C::EdLadderFrom, "EdLadderFrom", {138, 56, 44, 24}, "", true, P3, false),
        Label(C::LaLadderTo, "LaLadderTo", P3, 186, 60, "to"),
        Edit(C::EdLadderTo, "EdLadderTo", {204, 56, 44, 24}, "", true, P3, false),
        Label(C::LaLadderUnit, "LaLadderUnit", P3, 252, 60, "g"),
        Label(C::LaLadderCellsCaption, "LaLadderCellsCaption", P3, 284, 60, "Cells"),
        List(C::CBLadderCells, "CBLadderCells", P3, {324, 56, 44, 24},
             {"3", "4", "5", "6", "7", "8"}, false, 2),
        Label(C::LaCutSeenCaption, "LaCutSeenCaption", P3, 12, 86, "What do you see?"),
        List(C::CBCutSeen, "CBCutSeen", P3, {12, 104, 216, 24}, CutSeenCaptions(), false),
        // A ladder's cells: each one's value over what was seen on it, in two rows of four,
        // where the one-cut loop shows its last steps; the answers come before "Fix and Cut
        // Again" in the Tab order.
        LadderCell(C::LaLadderCell1, "LaLadderCell1", 0),
        LadderSeen(C::CBLadderSeen1, "CBLadderSeen1", 0),
        LadderCell(C::LaLadderCell2, "LaLadderCell2", 1),
        LadderSeen(C::CBLadderSeen2, "CBLadderSeen2", 1),
        LadderCell(C::LaLadderCell3, "LaLadderCell3", 2),
        LadderSeen(C::CBLadderSeen3, "CBLadderSeen3", 2),
        LadderCell(C::LaLadderCell4, "LaLadderCell4", 3),
        LadderSeen(C::CBLadderSeen4, "CBLadderSeen4", 3),
        LadderCell(C::LaLadderCell5, "LaLadderCell5", 4),
        LadderSeen(C::CBLadderSeen5, "CBLadderSeen5", 4),
        LadderCell(C::LaLadderCell6, "LaLadderCell6", 5),
        LadderSeen(C::CBLadderSeen6, "CBLadderSeen6", 5),
        LadderCell(C::LaLadderCell7, "LaLadderCell7", 6),
        LadderSeen(C::CBLadderSeen7, "CBLadderSeen7", 6),
        LadderCell(C::LaLadderCell8, "LaLadderCell8", 7),
        LadderSeen(C::CBLadderSeen8, "CBLadderSeen8", 7),
        Button(C::BuCutFix, "BuCutFix", P3, {236, 104, 145, 25}, "Fix and Cut Again", 'F', false),
        Label(C::LaCutForceCaption, "LaCutForceCaption", P3, 12, 136, "Blade Force"),
        Label(C::LaCutForce, "LaCutForce", P3, 100, 136, " "),
        Label(C::LaCutOffsetCaption, "LaCutOffsetCaption", P3, 200, 136, "Blade Offset"),
        Label(C::LaCutOffset, "LaCutOffset", P3, 292, 136, " "),
        Label(C::LaCutStepsCaption, "LaCutStepsCaption", P3, 12, 158, "Last steps"),
        Label(C::LaCutStep1, "LaCutStep1", P3, 20, 176),
        Label(C::LaCutStep2, "LaCutStep2", P3, 20, 194),
        Label(C::LaCutStep3, "LaCutStep3", P3, 20, 212),
        Label(C::LaCutStep4, "LaCutStep4", P3, 20, 230),
        Label(C::LaCutStep5, "LaCutStep5", P3, 20, 248),
        Label(C::LaCutOutcome, "LaCutOutcome", P3, 12, 274),
        // Material presets: a name chosen from the list is applied, a name typed is saved from
        // the settings the "Setting" page shows (after a clean cut, the ones that cut clean).
        Label(C::Label40, "Label40", P3, 12, 302, "Preset"),
        EditableList(C::CBPreset, "CBPreset", P3, {62, 298, 166, 24}, true),
        Button(C::BuApplyPreset, "BuApplyPreset", P3, {236, 298, 68, 25}, "Apply", 'p', false),
        Button(C::BuSavePreset, "BuSavePreset", P3, {310, 298, 75, 25}, "Save As...", 'A', false),

        // Page "History": the connected cutter's last twelve writes, newest first, each one line
        // cut to the page's width (whole in its tooltip); below, every entry to choose from
        // and "Undo", which brings the cutter back to the values before the one chosen.
        Label(C::LaHistoryCaption, "LaHistoryCaption", P4, 12, 8,
              "Writes to this cutter, newest first"),
        HistoryLine(C::LaHistory1, "LaHistory1", 0),
        HistoryLine(C::LaHistory2, "LaHistory2", 1),
        HistoryLine(C::LaHistory3, "LaHistory3", 2),
        HistoryLine(C::LaHistory4, "LaHistory4", 3),
        HistoryLine(C::LaHistory5, "LaHistory5", 4),
        HistoryLine(C::LaHistory6, "LaHistory6", 5),
        HistoryLine(C::LaHistory7, "LaHistory7", 6),
        HistoryLine(C::LaHistory8, "LaHistory8", 7),
        HistoryLine(C::LaHistory9, "LaHistory9", 8),
        HistoryLine(C::LaHistory10, "LaHistory10", 9),
        HistoryLine(C::LaHistory11, "LaHistory11", 10),
        HistoryLine(C::LaHistory12, "LaHistory12", 11),
        Label(C::LaUndoCaption, "LaUndoCaption", P4, 12, 278, "Undo back to before"),
        List(C::CBHistory, "CBHistory", P4, {12, 298, 300, 24}, {}, false),
        Button(C::BuUndo, "BuUndo", P4, {318, 298, 67, 25}, "Undo", 'n', false),

        // Diagnostic controls.
        Label(C::LaCName, "LaCName", W, DiagnosticLeft, DiagnosticTop(0)),
        Label(C::LaDate, "LaDate", W, DiagnosticLeft, DiagnosticTop(1)),
        Label(C::LaTime, "LaTime", W, DiagnosticLeft, DiagnosticTop(2)),
        Label(C::LaOffset, "LaOffset", W, DiagnosticLeft, DiagnosticTop(3)),
        Label(C::LaMedia, "LaMedia", W, DiagnosticLeft, DiagnosticTop(4)),
        Label(C::LaWeight, "LaWeight", W, DiagnosticLeft, DiagnosticTop(5)),
        Label(C::LaUnroll, "LaUnroll", W, DiagnosticLeft, DiagnosticTop(6)),
        Label(C::LaAccel, "LaAccel", W, DiagnosticLeft, DiagnosticTop(7)),
        Label(C::LaSmooth, "LaSmooth", W, DiagnosticLeft, DiagnosticTop(8)),
        Label(C::LaXScale, "LaXScale", W, DiagnosticLeft, DiagnosticTop(9)),
        Label(C::LaYScale, "LaYScale", W, DiagnosticLeft, DiagnosticTop(10)),
        Label(C::LaSpeed, "LaSpeed", W, DiagnosticLeft, DiagnosticTop(11)),
        Label(C::AASOFFSET_outputevalue, "AASOFFSET_outputevalue", W, DiagnosticLeft,
              DiagnosticTop(12)),
        // Cutting speed and blade offset in scroll-bar form; the pages show them as lists.
        ScrollBar(C::SBSpeed, "SBSpeed", W, {DiagnosticLeft, DiagnosticTop(13), 121, 17}, 3, 600, 5,
                  1, false),
        ScrollBar(C::SBOffset, "SBOffset", W, {DiagnosticLeft, DiagnosticTop(14), 121, 17}, 0, 40,
                  0, 10, true),

        // Below the pages, where the window has grown by one line for it: the connection on the
        // left, the last action's outcome beside it, each cut to its width (whole in the
        // tooltip), and at the right end "Why?" (only while it has something to explain) and
        // "Save Report...".
        {.id = C::StatusConnection,
         .name = "StatusConnection",
         .kind = K::Label,
         .parent = W,
         .bounds = {6, 400, 132, 16},
         .caption = "Not connected"},
        {.id = C::StatusLine,
         .name = "StatusLine",
         .kind = K::Label,
         .parent = W,
         .bounds = {142, 400, 122, 16}},
        LinkButton(C::BuWhy, "BuWhy", {266, 399, 44, 18}, "Why?", 'W', false),
        LinkButton(C::BuSaveReport, "BuSaveReport", {312, 399, 97, 18}, "Save Report...", 'v',
                   true),

        Timer(C::Timer1, "Timer1", 100),
        Timer(C::Timer2, "Timer2", 100),
        Timer(C::Timer3, "Timer3", 2000),
    };
}

} // namespace

const WindowFrame& MainWindowFrame() {
    static const WindowFrame window{.name = "MainForm_",
                                    .title = "ZOPRA V2.04-03",
                                    .clientWidth = 413,
                                    .clientHeight = 418,
                                    .fontFamily = "Arial",
                                    .fallbackFontFamily = "Liberation Sans",
                                    .fontPixelSize = 13,
                                    .fontBold = true,
                                    .headingRgb = 0xA6CAF0};
    return window;
}

const std::vector<ControlRow>& MainWindowLayout() {
    static const std::vector<ControlRow> layout = MakeLayout();
    return layout;
}

bool OutsideClientArea(const ControlRow& layoutRow) {
    return layoutRow.parent == ControlId::Window &&
           layoutRow.bounds.left >= MainWindowFrame().clientWidth;
}

bool TakesFocus(const ControlRow& layoutRow) {
    switch (layoutRow.kind) {
    case ControlKind::Button:
    case ControlKind::Edit:
    case ControlKind::List:
    case ControlKind::Tabs:
        return true;
    case ControlKind::ScrollBar:
        return !OutsideClientArea(layoutRow);
    default:
        return false;
    }
}

std::vector<ControlId> TabOrder() {
    std::vector<ControlId> order;
    for (const ControlRow& layoutRow : MainWindowLayout())
        if (TakesFocus(layoutRow))
            order.push_back(layoutRow.id);
    return order;
}

std::string CaptionWithMnemonic(const ControlRow& layoutRow) {
    std::string caption(layoutRow.caption);
    const auto lower = [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    };
    for (std::size_t i = 0; layoutRow.mnemonic != 0 && i < caption.size(); ++i)
        if (lower(caption[i]) == lower(layoutRow.mnemonic))
            return caption.insert(i, 1, '&');
    return caption;
}

ControlId SpinnerBuddy(ControlId upDown) {
    const ControlRow& spinner = RowOf(upDown);
    ControlId buddy = ControlId::Window;
    for (const ControlRow& layoutRow : MainWindowLayout()) {
        if (layoutRow.id == upDown)
            break;
        if (layoutRow.kind == ControlKind::Edit && layoutRow.parent == spinner.parent)
            buddy = layoutRow.id;
    }
    return buddy;
}

const ControlRow& RowOf(ControlId id) {
    for (const ControlRow& layoutRow : MainWindowLayout())
        if (layoutRow.id == id)
            return layoutRow;
    // Every id but Window has a row; asking for the window's is a programming error.
    std::abort();
}

} // namespace zopra
