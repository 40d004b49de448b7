#pragma once
// The program's one window as behaviour: its state and every handler, timer tick and message,
// written once against the control interface (Controls.h). A toolkit builds the controls
// from the layout table, then makes the form over them; the form connects its handlers to the
// controls' events in its constructor, and the toolkit reports the user's events from then on.
//
// One class over several files: MainForm.cpp (construction, first show and the protocol
// side), MainFormConnect.cpp (connect flow, timers, parameter display),
// MainFormSettingPage.cpp, MainFormAdjustPage.cpp, MainFormTestCutPage.cpp,
// MainFormLadder.cpp (the Test Cut page's ladders), MainFormSettingsFiles.cpp ("Save..." and
// "Load..."), MainFormPresets.cpp (the material
// presets) and MainFormHelp.cpp (help when the cutter is not there).
#include "form/Controls.h"
#include "form/OneShotTimer.h"
#include "link/CutterSession.h"
#include "platform/LastPort.h"
#include "protocol/Commands.h"
#include "protocol/Ladder.h"
#include "protocol/TestCut.h"
#include "settings/Doctor.h"
#include "settings/History.h"
#include "settings/JournaledWrite.h"
#include "settings/PresetStore.h"

#include <array>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zopra {

// What to check when a connection fails, after the failure's own message.
inline constexpr const char* kConnectAdvice =
    "Check that it is switched on, that its cable is plugged in at both ends, and that the port "
    "chosen is the machine's.";

// The last failure of a link that the window met, for "Why?" (which explains it first) and
// the report; forgotten once a cutter is read.
struct LinkFailure {
    enum class Kind {
        None,
        NothingAnswered, // no entry of the list answered as a cutter
        NoModemLine,     // "No Machine Connected"
        PortNotOpen,     // the serial component refused the port
        NoAnswer,        // a query got no reply within the bound
        ConnectionLost,
        Other // a write that failed, a USB device that would not open
    };
    Kind kind = Kind::None;
    std::string message; // as the user was told it
    std::string port;    // the port it happened on; "" for none
    std::string query;   // the query that got no reply (NoAnswer)
};

class TMainForm_ {
public:
    // Connects to the devices of this computer.
    explicit TMainForm_(IFormWindow& window);
    // Connects through `links` (tests pass made-up devices) and keeps the last port in
    // `lastPort` and the presets in `presets` (the user's settings unless given).
    TMainForm_(IFormWindow& window, std::unique_ptr<CutterConnections> links,
               std::unique_ptr<platform::LastPortStore> lastPort = platform::UserLastPortStore(),
               settings::PresetStore presets = settings::PresetStore::ForUser());
    ~TMainForm_();

    TMainForm_(const TMainForm_&) = delete;
    TMainForm_& operator=(const TMainForm_&) = delete;

    IFormWindow& Window;

    // Top strip, on the window itself.
    IList& CBConnects;
    IButton& BuConnect;
    ILabel& Label1;
    ILabel& LaMName;
    ILabel& Label2;
    ILabel& LaVer;
    ITabs& TSSetting;

    // Page "Setting" (TabSheet1).
    ILabel& Label3;
    ILabel& LaLength;
    ILabel& Label20;
    ILabel& Label4;
    ILabel& LaWidth;
    ILabel& Label21;
    ILabel& Label5;
    ILabel& LaForce;
    ILabel& Label28;
    IScrollBar& SBForce;
    ILabel& Label39;
    IList& CBBladeHolder;
    ILabel& Label7;
    IList& CBOffset;
    ILabel& Label29;
    ILabel& Label9;
    IList& CBMedia;
    ILabel& Label6;
    IList& CBWeight;
    ILabel& Label8;
    IList& CBUnroll;
    ILabel& Label10;
    IList& CBAccel;
    ILabel& Label11;
    IList& CBSmooth;
    ILabel& Label37;
    IList& CoUnit;
    IButton& BuUpdate;
    IButton& BuQuery;
    IButton& BuSaveFile;
    IButton& BuLoadFile;
    ILabel& Label40;
    IList& CBPreset;
    IButton& BuApplyPreset;
    IButton& BuSavePreset;

    // Page "Adjust" (TabSheet2).
    IEdit& EdTestDraw_X;
    ILabel& Label32;
    IEdit& EdTestDraw_Y;
    ILabel& Label33;
    IButton& BuScale1;
    IEdit& EdMeasure_x;
    ILabel& Label18;
    IEdit& EdMeasure_y;
    ILabel& Label35;
    IButton& BuScale2;
    ILabel& LaAASII_X_Offset;
    IEdit& EdAASII_X_Offset;
    IUpDown& UpDown1;
    ILabel& Label27;
    ILabel& LaAASII_Y_Offset;
    IEdit& EdAASII_Y_Offset;
    IUpDown& UpDown2;
    ILabel& Label26;
    IButton& BuAASIIUpdate;

    // Diagnostic controls (outside the client area): the display still writes into them.
    ILabel& LaCName;
    ILabel& LaDate;
    ILabel& LaTime;
    ILabel& LaOffset;
    ILabel& LaMedia;
    ILabel& LaWeight;
    ILabel& LaUnroll;
    ILabel& LaAccel;
    ILabel& LaSmooth;
    ILabel& LaXScale;
    ILabel& LaYScale;
    ILabel& LaSpeed;
    IScrollBar& SBSpeed;
    IScrollBar& SBOffset;
    ILabel& AASOFFSET_outputevalue;

    // Under the pages: the connection, and beside it the outcome of the last action.
    ILabel& StatusConnection;
    ILabel& StatusLine;

    // Help when the cutter is not there (MainFormHelp.cpp): "Why?" beside the status line
    // explains the last failure and shows the doctor's findings; "Save Report..." writes the
    // report a user sends.
    IButton& BuWhy;
    IButton& BuSaveReport;
    void BuWhyClick();
    void BuSaveReportClick();
    // Keeps `failure` for "Why?" and the report.
    void NoteFailure(LinkFailure failure);
    // Keeps `failure` and offers "Why?".
    void OfferWhy(LinkFailure failure);
    // After a discovery: "Why?" when no entry answered as a cutter (a serial port cannot
    // before Connect), none otherwise; "No cutter found" on the status line for an empty list.
    void OfferWhyForList(const std::vector<ConnectionEntry>& entries);
    // A cutter answered: nothing to explain.
    void WithdrawWhy();

    // One-shot timers, stopped until a workflow starts them.
    TOneShotTimer Timer1;
    TOneShotTimer Timer2;
    TOneShotTimer Timer3;

    // What the window knows of the cutter, its links and its dispatcher, for tests.
    MachineRecord& Record() { return FSession.Record(); }
    CutterConnections& Links() { return FSession.Links(); }
    CommandDispatcher& Dispatcher() { return FSession.Dispatcher(); }

    // Connection strip.
    void CBConnectsDropDown();
    void CBConnectsChange();
    void BuConnectClick();
    // Timers.
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    // Page "Setting".
    void BuQueryClick();
    void BuUpdateClick();
    void SBForceChange();
    void CBOffsetChange();
    void SBSpeedChange();
    void SBOffsetChange();
    void CoUnitChange();
    // Page "Setting": settings files and material presets.
    void BuSaveFileClick();
    void BuLoadFileClick();
    void CBPresetDropDown();
    void BuApplyPresetClick();
    void BuSavePresetClick();
    // Page "Adjust".
    void TSSettingChange();
    void BuScale1Click();
    void BuScale2Click();
    void BuAASIIUpdateClick();
    void UpDown1ChangingEx(bool& allowChange, int newValue, UpDownDirection direction);
    void UpDown2ChangingEx(bool& allowChange, int newValue, UpDownDirection direction);
    void UpDown1Click(UpDownButton button);
    void UpDown2Click(UpDownButton button);
    // The window.
    void FormShow();
    // The user asks to close the window: true when it may close now. During a wait the answer
    // is no, the wait ends at its next step (no further command goes out), no handler starts
    // any more, and once the last one has returned the form asks the window to close.
    bool FormCloseQuery();

private:
    // A wait of the window (a reply, a write, a pause, discovery, an opening): the busy cursor
    // while it lasts, and a close asked for during it ends it.
    class Wait {
    public:
        explicit Wait(TMainForm_& form) : form_(form), busy_(form.Window) { ++form_.FWaits; }
        ~Wait() { --form_.FWaits; }
        Wait(const Wait&) = delete;
        Wait& operator=(const Wait&) = delete;

    private:
        TMainForm_& form_;
        BusyCursor busy_;
    };

    void ConnectHandlers();
    // Runs a handler of the user's or a timer's event inside the guard; none once the window
    // is closing, and the window closes after the last one has returned.
    template <typename Handler> void Guarded(Handler&& handler);
    // Inside a wait, after the window handled its pending events: ends the wait when the user
    // asked to close the window (throws WindowClosing).
    void EndWaitIfClosing() const;

    // The protocol side of the window.
    void SendCommand(CommandCode code);
    // Writes to the open link; throws LinkWriteError when not every byte went out.
    void WriteToLink(const std::string& bytes);
    CommandInputs CurrentCommandInputs() const;
    void ReportUnreadableReply();
    void ShowParameterValues();
    void EnableParameterControls();
    void ApplyModelRules(const std::string& modelName);
    void RefreshConnections();
    // With nothing typed or chosen, the entry of the last port whose cutter was read is chosen
    // for the user.
    void PreselectLastPort(const std::vector<ConnectionEntry>& entries);
    // The port of the connection chosen now, as the last port is kept.
    std::string ChosenPort() const;
    int OpenConnection();
    // The queries of a parameter read, then the display tick and the pause after a read.
    void ReadParameters();
    // A connection attempt that failed or a link that broke: the values shown are no longer
    // the connected cutter's, so they go, and nothing may write, plot or calibrate until a
    // read of the connected cutter succeeds.
    void ForgetCutter();
    // The buttons that write settings, plot or calibrate, as a read of the cutter allows them.
    void EnableWorkButtons();
    // The status line's text for the connection: port and model, or none.
    std::string ConnectionStatus();
    // Waits (within the reply bound) for the reply still outstanding, as the queries before
    // a display do; a cutter that never answers is forgotten, as for any query.
    void WaitForReply();
    // A reply that did not come, told with what to check; the lost link is told as it is.
    // "Why?" is offered for it, naming the query that got no reply.
    [[noreturn]] void ThrowNoAnswer(const NoAnswerError& error, CommandCode query);
    // A number field of the page: its value, or, for a text that is no number, the field
    // marked and focused and its name with the reason on the status line (nothing thrown:
    // nothing was sent and the buttons stay as they were).
    std::optional<long double> NumberIn(IEdit& field, const char* name);

    // "Inch/oz" chosen in the unit list.
    bool InchesSelected() const;
    // Setting page.
    std::vector<std::string> UnselectedUpdateLists() const;
    // A blade offset typed into the list's field that is one of its entries' values selects
    // that entry; another number is marked at the field and the allowed values named. False
    // when the field holds a number that is no entry.
    bool TakeTypedBladeOffset();
    // The settings the page shows, as the update writes them.
    SettingsUpdate PageSettings() const;
    // What an update would change against the values last read, named for the status line.
    std::string ChangedSettingsText(const SettingsUpdate& update) const;
    std::string SettingsDifferenceText(const SettingsUpdate& update,
                                       const SettingsUpdate& before) const;

    // Writes the settings update's nine commands back to back; the first write that fails
    // ends it with its reason and how far it got.
    void WriteSettings(const SettingsUpdate& update);

    // Settings files and presets (MainFormSettingsFiles.cpp, MainFormPresets.cpp).
    // Whether the connection shows the blade holder list (not on a "QT-24" entry).
    bool ConnectionReadsBladeHolder() const;
    // Writes `update` over the settings of `current` (the cutter's, as known), reads the
    // cutter again and names on the status line what it did not take, or `done` once the
    // read-back shows every value; journaled as `action`.
    void WriteAndReadBack(const SettingsUpdate& update, const MachineSettings& current,
                          const std::string& done, const std::string& action);
    // The preset list's entries from the presets file; a file that cannot be used is named on
    // the status line. The presets, or nothing.
    std::optional<std::vector<settings::Preset>> LoadPresets();

    // Adjust page.
    void ShowSpinnerAdjustment(IEdit& edit, int position);
    void SpinnerAdjustmentToInches(IEdit& edit);
    // The adjustment fields and spinners back at 0, in the unit shown.
    void ResetAasAdjustments();
    // Help (MainFormHelp.cpp): the doctor on a worker thread while the window keeps answering,
    // told about the ports of the list and the one this window holds; the text of "Why?".
    settings::DoctorFindings RunDoctorWhileWaiting();
    std::string WhyText(const settings::DoctorFindings& findings);
    // File dialogs (MainFormSettingsFiles.cpp) start in the folder last used, else in the
    // user's documents; a file chosen makes its folder the one last used.
    std::string FileDialogFolder() const;
    void RememberFileFolder(const std::string& chosenFile);

    // Waits `pause` while the window keeps painting; takes no user input, and holds back the
    // ticks of the window's timers until the pause is over, as a plain sleep would.
    void PauseKeepingWindowPainted(std::chrono::milliseconds pause);

    // The cutter's record (filled by the receive thread, shown by the timers), its links,
    // dispatcher and receive thread.
    CutterSession FSession;
    MachineRecord& FRecord = FSession.Record();
    CutterConnections* const FLinks = &FSession.Links();
    // The unit system the display shows now (0 "mm/g", 1 "Inch/oz"): a switch converts the
    // blade offset's text only when the unit really changes.
    int FShownUnit = 0;
    // A parameter read of the cutter now connected has been answered in full.
    bool FCutterRead = false;
    // The next offset display shows what an "AASII Offset Update" left in the cutter.
    bool FAasUpdateReadBack = false;
    // The AAS labels show offsets that a completed read of the cutter now connected put
    // there: only these may be adjusted and sent back.
    bool FAasOffsetsShown = false;
    // The connected model offers the AAS offset function (read at connect).
    bool FAasOffered = true;
    // The settings as the last read (or the last update) left them in the cutter.
    std::optional<SettingsUpdate> FSettingsRead;
    // Where the port of the last cutter read is kept between runs.
    std::unique_ptr<platform::LastPortStore> FLastPort;
    // The user's material presets.
    settings::PresetStore FPresets;
    // What the status line says when the display tick of a read-back shows the read (instead
    // of "Settings read").
    std::optional<std::string> FReadBackOutcome;
    // The last failure of a link, for "Why?" and the report.
    LinkFailure FLastFailure;
    // The status line's complaint about the offset field's text, until the text is a number.
    std::string FOffsetMessage;
    // Waits under way, one inside the other, and whether the user asked to close meanwhile.
    int FWaits = 0;
    bool FCloseRequested = false;

    // Page "Test Cut" (TabSheet3, MainFormTestCutPage.cpp): a small pattern to weed, what the
    // user sees on it, and the one change of force or offset that fixes it, written, read
    // back and cut again beside the last one until the cut is clean.
public:
    IEdit& EdCutSize;
    ILabel& LaCutSizeUnit;
    IButton& BuCutTest;
    ILabel& LaCutSizeNote;
    IList& CBCutSeen;
    IButton& BuCutFix;
    ILabel& LaCutForce;
    ILabel& LaCutOffset;
    ILabel& LaCutStep1;
    ILabel& LaCutStep2;
    ILabel& LaCutStep3;
    ILabel& LaCutStep4;
    ILabel& LaCutStep5;
    ILabel& LaCutOutcome;
    // One cut, or a strip of cells (MainFormLadder.cpp): its kind, range and cell count, and
    // under them, once a strip is cut, each cell's value over what was seen on it.
    IList& CBCutMode;
    IEdit& EdLadderFrom;
    IEdit& EdLadderTo;
    ILabel& LaLadderUnit;
    IList& CBLadderCells;

    void BuCutTestClick();
    void BuCutFixClick();
    void CBCutModeChange();

private:
    // The page's controls take input only while a read of the connected cutter stands.
    void EnableTestCutPage(bool enabled);
    // Every value of the page in the unit shown; the size field at its default only when the
    // unit changed (a size typed in this unit stays).
    void ShowTestCutUnit();
    // The cutter's force and offset and the last five steps, in the unit shown.
    void ShowCutValues();
    // The side typed, or nothing (the field and the status line then say why).
    std::optional<std::int32_t> CutSideFromField();
    // Cuts the pattern of `side` plotter units beside the last one.
    void CutTestPattern(std::int32_t side);
    // Writes the update with `next`, reads the force and offset back: true when the cutter
    // took them (otherwise the page says what it reports).
    // `action` names the write in the journal.
    bool WriteAndReadBack(const MachineSettings& before, const CutValues& next,
                          const std::string& action);

    // The ladder chosen in CBCutMode, or nothing for one cut.
    std::optional<LadderKind> LadderChosen() const;
    // What the mode shows: the one-cut loop's list and steps, or the ladder's range (its
    // defaults for the model, in the unit shown) and, once cut, its cells.
    void ShowCutMode();
    // The size field at the default of the mode chosen (10 mm for one cut, 8 for a cell).
    void ShowCutSizeDefault();
    void EnableLadderControls();
    void ShowLadderRange(LadderKind kind, std::int32_t from, std::int32_t to);
    // The strip the range fields and cell count describe, or nothing (the page says why).
    std::optional<Ladder> LadderFromFields();
    // Cuts the strip, writes the cutter's values from before back and reads them back; the
    // cells then wait for their answers. `action` names the strip in the journal.
    void CutLadder(const Ladder& ladder, std::int32_t side, const std::string& action);
    // "Fix and Cut Again" for a strip: the planner's value written and a test cut, or the
    // next strip.
    void FixFromLadder();
    void ShowLadderCells();

    std::array<ILabel*, kLadderCellsMaximum> FLadderCells;
    std::array<IList*, kLadderCellsMaximum> FLadderSeen;
    // The strip cut last, while its answers are awaited.
    std::optional<Ladder> FLadder;
    // The model whose force range the range fields were last set for.
    std::string FLadderRangeModel;

    // What a clean end offered as a preset: its name, and the settings that cut clean, which
    // "Save As..." keeps under that name (not the Setting page's, which may hold edits).
    struct CleanOffer {
        std::string name;
        SettingsUpdate settings;
    };
    std::optional<CleanOffer> FCleanOffer;
    // A new connection or unit: no steps, no answer, no outcome.
    void ResetTuning();
    // The preset name a clean cut would offer for the force and offset the cutter holds, in
    // the unit shown; "" when none is read.
    std::string CleanPresetName() const;
    // The name a clean cut put into the preset field goes once the cutter no longer holds its
    // values (a later step, another unit, another connection).
    void WithdrawStalePresetName();

    // The steps of this loop, first first; a new loop starts after a clean end.
    std::vector<TuneStep> FTuneSteps;
    bool FTuneEnded = false;
    // The unit the size field's text is in (-1 before the first show): a switch of unit
    // puts the default size there in the new unit, a read in the same unit keeps what was typed.
    int FCutSizeUnit = -1;

    // Page "History" (TabSheet4, MainFormHistory.cpp), and what every write of the window
    // shares: the cutter's values as known (read first where a write was not read back),
    // each write's journal entry, and the page edits a whole update leaves out.
public:
    ILabel& LaHistory1;
    ILabel& LaHistory2;
    ILabel& LaHistory3;
    ILabel& LaHistory4;
    ILabel& LaHistory5;
    ILabel& LaHistory6;
    ILabel& LaHistory7;
    ILabel& LaHistory8;
    ILabel& LaHistory9;
    ILabel& LaHistory10;
    ILabel& LaHistory11;
    ILabel& LaHistory12;
    IList& CBHistory;
    IButton& BuUndo;

    void BuUndoClick();

private:
    // What the cutter holds: the known state, after "ESC.R1:" (and the scale or AAS query)
    // for every part written and not read back since. Never a page's edits.
    MachineSettings CutterHolds();
    // Reads every part an undo compares and writes (parameters, holder, scales, AAS offsets).
    MachineSettings ReadWholeCutter();
    settings::CutterValues ValuesOfCutter(const MachineSettings& values) const;
    // The journal entry of a write about to start on the cutter that holds `before`.
    settings::JournaledWrite JournalWrite(const std::string& action, const MachineSettings& before);
    // " The Setting page's unwritten blade offset 0.500 mm was left as it is." for the page's
    // edits since the last read or update, which a whole update built from the cutter's
    // values leaves out; "" when there are none.
    std::string UnwrittenEditsNote() const;
    // The connected cutter's entries on the page, newest first.
    void ShowHistory();

    settings::Journal FJournal;
    // The entries of the connected cutter, oldest first, as the page shows them.
    std::vector<settings::JournalEntry> FHistory;
};

// The status line's words for a field whose text is no number: "Blade Offset: 'abc' is not a
// number" (an error box keeps the conversion's own text).
std::string NotANumberText(const std::string& fieldName, const std::string& text);

// The one main window of the running program; null before it is created and after it is gone.
extern TMainForm_* MainForm_;

} // namespace zopra
