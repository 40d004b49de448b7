#pragma once
// The control interface the window's behaviour is written against (Passive View). The form
// (TMainForm_, in this folder) holds every handler, message text and conversion; a toolkit
// adapter (ui/qt/, ui/win32/) builds one control per row of the layout table (Layout.h),
// implements these interfaces over its own controls and carries the user's events in.
//
// Contract
// - Threads. Everything here runs on the interface thread, except
//   IFormWindow::PostToInterfaceThread, which any thread may call.
// - The form calls the virtual setters and getters. A setter never raises an event: the
//   adapter must not report a change the program made (a list position or text, a scroll
//   position or range, an up-down position, a tab page, an edit text). Where the window
//   relies on a program-made change running a handler (a scroll bar whose position the
//   display sets or whose maximum clamps it), the form raises the event itself through
//   IScrollBar::MoveTo and IScrollBar::LimitTo; adapters report only what the user did.
// - The adapter calls the Report... methods, on the interface thread, for what the user did
//   and for timer ticks, exactly when this header says. Each Report runs the form's handler
//   inside the form's guard: it never throws, and an error is shown in the error box by the
//   form itself. A Report whose handler is not set does nothing.
// - A disabled or hidden control takes no user input, so its adapter reports nothing for it.
// - Texts are UTF-8. Numbers are formatted by the form (with the host's decimal separator,
//   which the adapter gives through IFormWindow::DecimalSeparator); adapters convert nothing.
// - The adapter owns every control; the form keeps references for as long as the window
//   lives, so the controls must outlive the form.
#include "form/Layout.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace zopra {

// Which way an up-down spinner is about to move.
enum class UpDownDirection { None, Up, Down };

// Which arrow of an up-down spinner was pressed.
enum class UpDownButton { Up, Down };

// Which of the two boxes the program puts up.
enum class MessageKind {
    Message, // plain box with an OK button ("No Machine Connected")
    Error,   // the toolkit's standard error box, for errors raised inside event handlers
};

// What every visible control has.
class IControl {
public:
    virtual ~IControl() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual bool Visible() const = 0;
};

// A caption. It takes the size of its text at every change, placed by its top-left corner,
// so that a long model name or "Inch" in place of "mm" is never clipped. A label whose row
// has a width (the status fields) keeps that width instead: a text too long for it is shown
// cut at its end with an ellipsis, and the whole text is the label's tooltip. Text() always
// gives the whole text.
class ILabel : public IControl {
public:
    virtual void SetText(const std::string& text) = 0;
    virtual std::string Text() const = 0;
};

// A one-line text field the user types into. It reports nothing: the form reads it when a
// button asks for it.
class IEdit : public IControl {
public:
    virtual void SetText(const std::string& text) = 0;
    virtual std::string Text() const = 0;
    // Shows (or stops showing) the field as holding a text that is no usable value, as
    // IList::SetMarked does; changes nothing else.
    virtual void SetMarked(bool marked) = 0;
    // Gives the field the keyboard focus (it was named as holding no number).
    virtual void Focus() = 0;
};

// A push button. Report a click when the user releases the pressed button over it (or
// presses it from the keyboard).
class IButton : public IControl {
public:
    void OnClick(std::function<void()> handler) { click_ = std::move(handler); }
    void ReportClick() const {
        if (click_)
            click_();
    }

private:
    std::function<void()> click_;
};

// A drop-down list: a text field with a list of entries under it. Only a list whose layout
// row is editable takes typed text; the others offer their entries alone.
// - Position is the selected entry's index, or -1 for none. SetPosition(-1) (or a position
//   out of range) selects none and empties the text; any other position shows its entry's
//   text. SetText writes the field's text only and leaves the position as it is.
// - When the user types, the adapter sets the position to the entry whose text is exactly the
//   typed text (case-sensitive, as the cutter's names are), or to -1 when none is, keeps the
//   typed text as it is (no completion, never added to the entries), and then reports Change.
//   When the user chooses an entry from the opened list, report Change after the position and
//   text show it (also when it is the entry selected before).
// - Report DropDown when the list is about to open, before the entries are shown, so that the
//   handler can fill it first; the list then opens with the entries as the handler left them.
class IList : public IControl {
public:
    virtual void Clear() = 0; // no entries, no position, an empty text
    virtual void AddEntry(const std::string& entry) = 0;
    virtual int Count() const = 0;
    virtual std::string Entry(int index) const = 0;
    virtual int Position() const = 0;
    virtual void SetPosition(int position) = 0;
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
    // Shows (or stops showing) the field as holding a text that is no usable value, plainly
    // enough to be seen at a glance; changes nothing else.
    virtual void SetMarked(bool marked) = 0;

    void OnDropDown(std::function<void()> handler) { dropDown_ = std::move(handler); }
    void OnChange(std::function<void()> handler) { change_ = std::move(handler); }
    void ReportDropDown() const {
        if (dropDown_)
            dropDown_();
    }
    void ReportChange() const {
        if (change_)
            change_();
    }

private:
    std::function<void()> dropDown_;
    std::function<void()> change_;
};

// A horizontal scroll bar: Minimum..Maximum, one step per arrow click, the layout's large
// step per click on the track. SetPosition and SetMaximum clamp the position into the range
// and report nothing. Report Change after the user moved the position (arrow, track, thumb),
// once per new position, never when the position stayed.
class IScrollBar : public IControl {
public:
    virtual int Minimum() const = 0;
    virtual int Maximum() const = 0;
    virtual void SetMaximum(int maximum) = 0;
    virtual int Position() const = 0;
    virtual void SetPosition(int position) = 0;

    void OnChange(std::function<void()> handler) { change_ = std::move(handler); }
    void ReportChange() const {
        if (change_)
            change_();
    }

    // The program's own moves, for the form: the window has always reacted to a position it
    // set itself (or that a smaller maximum clamped) as to the user's move, so these raise
    // Change when the position really changed. Written once here, not in each adapter.
    void MoveTo(int position) {
        const int before = Position();
        SetPosition(position);
        if (Position() != before)
            ReportChange();
    }
    void LimitTo(int maximum) {
        const int before = Position();
        SetMaximum(maximum);
        if (Position() != before)
            ReportChange();
    }

private:
    std::function<void()> change_;
};

// An up-down spinner (two arrows, up above down) stepping a position Minimum..Maximum by the
// layout's increment, never wrapping and tied to no edit field. A press asks first: report
// Changing with the position the spinner is about to take and the direction; a handler may
// refuse by clearing `allow`. Only when allowed does the position change, and then report
// Click with the arrow pressed. A press that cannot move the position (at the limit) reports
// nothing. Holding an arrow down repeats the press. SetPosition clamps and reports nothing.
class IUpDown : public IControl {
public:
    virtual int Position() const = 0;
    virtual void SetPosition(int position) = 0;

    using ChangingHandler =
        std::function<void(bool& allow, int newPosition, UpDownDirection direction)>;
    void OnChanging(ChangingHandler handler) { changing_ = std::move(handler); }
    void OnClick(std::function<void(UpDownButton)> handler) { click_ = std::move(handler); }
    // Returns whether the move is allowed.
    bool ReportChanging(int newPosition, UpDownDirection direction) const {
        bool allow = true;
        if (changing_)
            changing_(allow, newPosition, direction);
        return allow;
    }
    void ReportClick(UpDownButton button) const {
        if (click_)
            click_(button);
    }

private:
    ChangingHandler changing_;
    std::function<void(UpDownButton)> click_;
};

// The tab control with its pages (the rows of kind Page whose parent it is, in table order).
// SetPage shows a page and reports nothing. Report Change after the user brought another page
// to the front.
class ITabs : public IControl {
public:
    virtual int Page() const = 0;
    virtual void SetPage(int page) = 0;

    void OnChange(std::function<void()> handler) { change_ = std::move(handler); }
    void ReportChange() const {
        if (change_)
            change_();
    }

private:
    std::function<void()> change_;
};

// A one-shot timer with the layout's interval. Start (re)arms it; Stop disarms it. Report Tick
// once when an armed timer's interval has passed (it is then disarmed), on the interface
// thread from the event loop, never from inside ProcessPendingEvents: a tick that comes due
// during a wait comes after it, as after a plain sleep.
class ITimer {
public:
    virtual ~ITimer() = default;
    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual bool Active() const = 0;

    void OnTick(std::function<void()> handler) { tick_ = std::move(handler); }
    void ReportTick() const {
        if (tick_)
            tick_();
    }

private:
    std::function<void()> tick_;
};

// The window as the form sees it: its controls by the layout table's ids, and the services of
// the toolkit. Asking for a control with the wrong kind's accessor is a programming error
// (the adapter may abort).
class IFormWindow {
public:
    virtual ~IFormWindow() = default;

    virtual ILabel& Label(ControlId id) = 0;
    virtual IEdit& Edit(ControlId id) = 0;
    virtual IButton& Button(ControlId id) = 0;
    virtual IList& List(ControlId id) = 0;
    virtual IScrollBar& ScrollBar(ControlId id) = 0;
    virtual IUpDown& UpDown(ControlId id) = 0;
    virtual ITabs& Tabs(ControlId id) = 0;
    virtual ITimer& Timer(ControlId id) = 0;
    // Page and Heading rows: a heading is a label (ILabel through Label()); a page is shown
    // through its tab control only.

    // A modal box; returns when the user has closed it. While the busy cursor is up, the
    // adapter shows the ordinary arrow over the box and puts the busy cursor back after it.
    virtual void ShowMessage(MessageKind kind, const std::string& text) = 0;
    // A box with the doctor's findings: the text read-only (it may run to many lines), its
    // lines wrapped at the box's width (no scrolling sideways), with "Copy" and "Close";
    // Escape closes it as "Close" does. Returns when the user has closed it, true when by
    // "Copy".
    virtual bool ShowFindings(const std::string& text) = 0;
    // Puts `text` on the system's clipboard.
    virtual void CopyToClipboard(const std::string& text) = 0;
    // A question with the answers Yes and No, modal as ShowMessage; true for Yes.
    virtual bool AskYesNo(const std::string& text) = 0;
    // The toolkit's own file dialog, modal: the path chosen (UTF-8), or nothing when the user
    // cancelled. Saving suggests `suggestedName`, offers the files of its kind (its ending:
    // a settings file's .json, a report's .txt) and asks before an existing file is replaced;
    // opening takes only a settings file (*.json) that exists. The dialog starts in
    // `startFolder` (UTF-8; the toolkit's own choice when it is empty).
    virtual std::optional<std::string> ChooseFileToSave(const std::string& title,
                                                        const std::string& suggestedName,
                                                        const std::string& startFolder) = 0;
    virtual std::optional<std::string> ChooseFileToOpen(const std::string& title,
                                                        const std::string& startFolder) = 0;
    // The busy cursor over the window from Begin to the matching End; pairs nest.
    virtual void BeginBusyCursor() = 0;
    virtual void EndBusyCursor() = 0;
    // Handles what is pending now (painting, posted tasks) and returns. Never delivers user
    // input (keys, clicks), so no second command series can start in the middle of one:
    // input to the window that arrives meanwhile is dropped, not run after the wait, except
    // the release of a mouse button pressed before the wait, which completes that press
    // once the wait is over. Never delivers a timer tick either: a handler's wait must not
    // run another handler. Does not wait for more to come.
    virtual void ProcessPendingEvents() = 0;
    // Runs `task` later on the interface thread, from the event loop (or from
    // ProcessPendingEvents), in the order posted. Any thread may call it. Tasks still pending
    // when the window goes are dropped, never run.
    virtual void PostToInterfaceThread(std::function<void()> task) = 0;
    // The host's decimal separator (the user's regional setting); "." where it is not one
    // Latin-1 character.
    virtual char DecimalSeparator() const = 0;
    // Closes the window later, from the event loop, once the handler that runs now has
    // returned: the user asked to close it during a wait (TMainForm_::FormCloseQuery).
    virtual void CloseWindow() = 0;

    // The window shown by the program (not the window system's repeat when it maps or
    // restores the window): report it after the controls are built and the form is made,
    // before the user can act.
    void OnShow(std::function<void()> handler) { show_ = std::move(handler); }
    void ReportShow() const {
        if (show_)
            show_();
    }

    // The user asks to close the window (its close box, Alt+F4, the window manager), also
    // during a wait: the adapter closes the window only when this says yes. No answer set
    // means yes.
    void OnCloseQuery(std::function<bool()> handler) { closeQuery_ = std::move(handler); }
    bool CloseQueryAllows() const { return !closeQuery_ || closeQuery_(); }

private:
    std::function<void()> show_;
    std::function<bool()> closeQuery_;
};

// The busy cursor while it lives.
class BusyCursor {
public:
    explicit BusyCursor(IFormWindow& window) : window_(window) { window_.BeginBusyCursor(); }
    ~BusyCursor() { window_.EndBusyCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    IFormWindow& window_;
};

} // namespace zopra
