#pragma once
// The window's design as one table: every control with its kind, parent, position and size,
// caption, list entries and initial state. Each toolkit builds its window from this table
// alone, row by row in table order (a parent always comes before its children), and applies
// the initial state before the form is made; the form's behaviour never repeats any of it.
#include <string>
#include <string_view>
#include <vector>

namespace zopra {

// Every control of the window, named as the design names it.
enum class ControlId {
    Window, // the window itself: the parent of the top-level rows, not a row of its own
    // Top strip.
    CBConnects,
    BuConnect,
    Label1,
    LaMName,
    Label2,
    LaVer,
    TSSetting,
    TabSheet1,
    TabSheet2,
    TabSheet3,
    // Page "Setting".
    Label3,
    LaLength,
    Label20,
    Label4,
    LaWidth,
    Label21,
    Label5,
    LaForce,
    Label28,
    SBForce,
    Label39,
    CBBladeHolder,
    Label7,
    CBOffset,
    Label29,
    Label9,
    CBMedia,
    Label6,
    CBWeight,
    Label8,
    CBUnroll,
    Label10,
    CBAccel,
    Label11,
    CBSmooth,
    Label37,
    CoUnit,
    BuUpdate,
    BuQuery,
    BuSaveFile,
    BuLoadFile,
    Label40,
    CBPreset,
    BuApplyPreset,
    BuSavePreset,
    // Page "Adjust".
    Label13,
    Label31,
    Label15,
    EdTestDraw_X,
    Label32,
    Label14,
    EdTestDraw_Y,
    Label33,
    BuScale1,
    Label34,
    Label16,
    Label19,
    EdMeasure_x,
    Label18,
    Label17,
    EdMeasure_y,
    Label35,
    BuScale2,
    Label36,
    Label23,
    LaAASII_X_Offset,
    Label25,
    EdAASII_X_Offset,
    UpDown1,
    Label27,
    Label22,
    LaAASII_Y_Offset,
    Label24,
    EdAASII_Y_Offset,
    UpDown2,
    Label26,
    BuAASIIUpdate,
    // Page "Test Cut".
    LaCutSizeCaption,
    EdCutSize,
    LaCutSizeUnit,
    BuCutTest,
    LaCutSizeNote,
    CBCutMode,
    EdLadderFrom,
    LaLadderTo,
    EdLadderTo,
    LaLadderUnit,
    LaLadderCellsCaption,
    CBLadderCells,
    LaCutSeenCaption,
    CBCutSeen,
    LaLadderCell1,
    CBLadderSeen1,
    LaLadderCell2,
    CBLadderSeen2,
    LaLadderCell3,
    CBLadderSeen3,
    LaLadderCell4,
    CBLadderSeen4,
    LaLadderCell5,
    CBLadderSeen5,
    LaLadderCell6,
    CBLadderSeen6,
    LaLadderCell7,
    CBLadderSeen7,
    LaLadderCell8,
    CBLadderSeen8,
    BuCutFix,
    LaCutForceCaption,
    LaCutForce,
    LaCutOffsetCaption,
    LaCutOffset,
    LaCutStepsCaption,
    LaCutStep1,
    LaCutStep2,
    LaCutStep3,
    LaCutStep4,
    LaCutStep5,
    LaCutOutcome,
    // Page "History": the connected cutter's journal, newest first, and its undo.
    TabSheet4,
    LaHistoryCaption,
    LaHistory1,
    LaHistory2,
    LaHistory3,
    LaHistory4,
    LaHistory5,
    LaHistory6,
    LaHistory7,
    LaHistory8,
    LaHistory9,
    LaHistory10,
    LaHistory11,
    LaHistory12,
    LaUndoCaption,
    CBHistory,
    BuUndo,
    // Diagnostic controls, right of the client area: never seen, still written.
    LaCName,
    LaDate,
    LaTime,
    LaOffset,
    LaMedia,
    LaWeight,
    LaUnroll,
    LaAccel,
    LaSmooth,
    LaXScale,
    LaYScale,
    LaSpeed,
    AASOFFSET_outputevalue,
    // Under the pages: the connection state and, beside it, the outcome of the last action,
    // with help at the right end for when the cutter is not there.
    StatusConnection,
    StatusLine,
    BuWhy,
    BuSaveReport,
    SBSpeed,
    SBOffset,
    // One-shot timers.
    Timer1,
    Timer2,
    Timer3,
};

enum class ControlKind {
    Label,     // a caption sized to its text (width and height 0 in the table), or a field
               // of a fixed width that shows a longer text cut, whole in its tooltip
    Heading,   // a label on the heading colour
    Button,    // a push button
    Edit,      // a one-line text field, with or without a border
    List,      // a drop-down list, editable or of fixed entries
    ScrollBar, // horizontal
    UpDown,    // an up-down spinner of its own, tied to no edit field
    Tabs,      // a tab control; its pages are the Page rows that name it as parent
    Page,      // a tab page: the caption is the tab's text
    Timer,     // a one-shot timer: no place, no parent of its own
};

// In pixels of the parent's client area, at 96 dpi.
struct Bounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct ControlRow {
    ControlId id = ControlId::Window;
    std::string_view name = {}; // the control's name as the design gives it ("CBConnects")
    ControlKind kind = ControlKind::Label;
    ControlId parent = ControlId::Window;
    Bounds bounds = {};
    // A label's or heading's text, a button's caption, an edit's text, a page's tab text.
    std::string_view caption = {};
    std::vector<std::string_view> entries = {}; // a list's entries
    // A list whose field takes a text of the user's own (a port name, a blade offset); the
    // other lists offer their fixed entries only.
    bool editable = false;
    bool enabled = true;
    bool visible = true;
    // A list's selected entry (-1 none); a scroll bar's or up-down's position.
    int position = 0;
    int minimum = 0;    // scroll bar, up-down
    int maximum = 0;    // scroll bar, up-down
    int step = 1;       // up-down increment; a scroll bar's step per arrow click
    int largeStep = 0;  // a scroll bar's step per click on the track
    bool border = true; // edits
    int intervalMs = 0; // timers
    // A button's Alt-letter: the first letter of its caption that is this one (in either
    // case) is marked; no two buttons seen at the same time share one.
    char mnemonic = 0;
    // A button drawn as a link (its caption alone, in the link colour), for help that stays
    // out of the way of the work buttons.
    bool link = false;
};

// The window itself.
struct WindowFrame {
    std::string_view name;
    std::string_view title;
    int clientWidth;
    int clientHeight;
    // Arial bold, 13 pixels (not points: the design must not grow with the screen's dpi);
    // where Arial is missing, the second family has the same metrics.
    std::string_view fontFamily;
    std::string_view fallbackFontFamily;
    int fontPixelSize;
    bool fontBold;
    // The window's background is the system's button face; headings have their own colour.
    unsigned headingRgb; // 0xRRGGBB
};

const WindowFrame& MainWindowFrame();

// Every control, parents first, in the order the toolkits create them. The controls that take
// the keyboard come in reading order (the top strip, then each page's left column top to
// bottom, then its right column), which is the order Tab walks them in.
const std::vector<ControlRow>& MainWindowLayout();

// A row right of the client area: never seen, so no window of its own and no Tab stop.
bool OutsideClientArea(const ControlRow& layoutRow);
// A row that takes the keyboard focus: buttons, edits, lists, the tab control and the
// scroll bars that can be seen.
bool TakesFocus(const ControlRow& layoutRow);
// The controls that take the focus, in Tab order (table order).
std::vector<ControlId> TabOrder();
// A button's caption with its mnemonic marked by "&", as both toolkits show it.
std::string CaptionWithMnemonic(const ControlRow& layoutRow);
// The edit an up-down spinner stands beside (the edit the table places just before it on the
// same parent): Up and Down typed there step the spinner.
ControlId SpinnerBuddy(ControlId upDown);

// The row of one control.
const ControlRow& RowOf(ControlId id);

} // namespace zopra
