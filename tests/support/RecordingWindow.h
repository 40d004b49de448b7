#pragma once
// A stand-in for the window's toolkit: every control of the layout table as a plain value
// that the form writes and a test reads, the boxes recorded instead of shown, and an event
// loop of its own (posted tasks and timers that come due by the clock). User actions go in
// as a toolkit would report them, and only where the control could take them.
#include "form/Controls.h"

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace zopra::testing {

// Enabled and visible, as the form last set them; every fake control has both.
template <typename Interface> class WithState : public Interface {
public:
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    bool Enabled() const override { return enabled_; }
    void SetVisible(bool visible) override { visible_ = visible; }
    bool Visible() const override { return visible_; }

private:
    bool enabled_ = true;
    bool visible_ = true;
};

class FakeLabel : public WithState<ILabel> {
public:
    void SetText(const std::string& text) override {
        text_ = text;
        if (OnSetText)
            OnSetText(text);
    }
    // Called with every text the form writes (to look at the program at that moment).
    std::function<void(const std::string&)> OnSetText;
    std::string Text() const override { return text_; }

private:
    std::string text_;
};

class FakeEdit : public WithState<IEdit> {
public:
    void SetText(const std::string& text) override { text_ = text; }
    std::string Text() const override { return text_; }
    void SetMarked(bool marked) override { marked_ = marked; }
    void Focus() override { ++focused_; }

    bool Marked() const { return marked_; }
    // How often the form gave the field the focus.
    int Focused() const { return focused_; }

private:
    std::string text_;
    bool marked_ = false;
    int focused_ = 0;
};

class FakeButton : public WithState<IButton> {};

class FakeList : public WithState<IList> {
public:
    void Clear() override;
    void AddEntry(const std::string& entry) override { entries_.push_back(entry); }
    int Count() const override { return static_cast<int>(entries_.size()); }
    std::string Entry(int index) const override { return entries_.at(index); }
    int Position() const override { return position_; }
    void SetPosition(int position) override;
    std::string Text() const override { return text_; }
    void SetText(const std::string& text) override { text_ = text; }
    void SetMarked(bool marked) override { marked_ = marked; }

    bool Marked() const { return marked_; }
    const std::vector<std::string>& Entries() const { return entries_; }
    // The exact, case-sensitive match of text, or -1.
    int Find(const std::string& text) const;

private:
    std::vector<std::string> entries_;
    int position_ = -1;
    std::string text_;
    bool marked_ = false;
};

class FakeScrollBar : public WithState<IScrollBar> {
public:
    void SetRange(int minimum, int maximum);
    int Minimum() const override { return minimum_; }
    int Maximum() const override { return maximum_; }
    void SetMaximum(int maximum) override { SetRange(minimum_, maximum); }
    int Position() const override { return position_; }
    void SetPosition(int position) override;

private:
    int minimum_ = 0;
    int maximum_ = 0;
    int position_ = 0;
};

class FakeUpDown : public WithState<IUpDown> {
public:
    void SetRange(int minimum, int maximum, int increment);
    int Position() const override { return position_; }
    void SetPosition(int position) override;

    // A press of one arrow, as the interface's up-down does it.
    void Press(UpDownButton button);

private:
    int minimum_ = 0;
    int maximum_ = 0;
    int increment_ = 1;
    int position_ = 0;
};

class FakeTabs : public WithState<ITabs> {
public:
    int Page() const override { return page_; }
    void SetPage(int page) override { page_ = page; }

private:
    int page_ = 0;
};

class FakeTimer : public ITimer {
public:
    explicit FakeTimer(int intervalMs) : interval_(intervalMs) {}
    void Start() override;
    void Stop() override { active_ = false; }
    bool Active() const override { return active_; }

    std::chrono::steady_clock::time_point Due() const { return due_; }
    // Disarms the timer and reports its tick, when it is armed and due.
    bool TickIfDue(std::chrono::steady_clock::time_point now);

private:
    std::chrono::milliseconds interval_;
    bool active_ = false;
    std::chrono::steady_clock::time_point due_;
};

class RecordingWindow : public IFormWindow {
public:
    struct Message {
        MessageKind kind;
        std::string text;
        bool operator==(const Message&) const = default;
    };

    // Every control of the layout table in its initial state.
    RecordingWindow();

    ILabel& Label(ControlId id) override { return Get<FakeLabel>(id); }
    IEdit& Edit(ControlId id) override { return Get<FakeEdit>(id); }
    IButton& Button(ControlId id) override { return Get<FakeButton>(id); }
    IList& List(ControlId id) override { return Get<FakeList>(id); }
    IScrollBar& ScrollBar(ControlId id) override { return Get<FakeScrollBar>(id); }
    IUpDown& UpDown(ControlId id) override { return Get<FakeUpDown>(id); }
    ITabs& Tabs(ControlId id) override { return Get<FakeTabs>(id); }
    ITimer& Timer(ControlId id) override { return Get<FakeTimer>(id); }

    void ShowMessage(MessageKind kind, const std::string& text) override;
    bool ShowFindings(const std::string& text) override {
        Findings.push_back(text);
        return ChooseCopy;
    }
    void CopyToClipboard(const std::string& text) override { Clipboard = text; }
    bool AskYesNo(const std::string& text) override;
    std::optional<std::string> ChooseFileToSave(const std::string& title,
                                                const std::string& suggestedName,
                                                const std::string& startFolder) override;
    std::optional<std::string> ChooseFileToOpen(const std::string& title,
                                                const std::string& startFolder) override;
    void BeginBusyCursor() override {
        ++busy_;
        ++busyCount_;
    }
    void EndBusyCursor() override { --busy_; }
    void ProcessPendingEvents() override;
    void PostToInterfaceThread(std::function<void()> task) override;
    char DecimalSeparator() const override { return Separator; }
    void CloseWindow() override { ++closeWindows_; }

    // What the form asked of the services.
    char Separator = '.';
    std::vector<Message> Messages;
    // The findings boxes shown; whether the user leaves each by "Copy"; what was copied.
    std::vector<std::string> Findings;
    bool ChooseCopy = false;
    std::string Clipboard;
    // The yes/no questions asked, and the answers the user gives to them in turn (No when
    // none is left).
    std::vector<std::string> Questions;
    std::deque<bool> Answers;
    // The file dialogs' titles, and the files the user chooses in them in turn (a cancel
    // for nothing, and when none is left).
    std::vector<std::string> FileDialogs;
    std::vector<std::string> DialogFolders; // the folder each dialog was to start in
    std::deque<std::optional<std::string>> ChosenFiles;
    // Called with each box as it is shown (to look at the window at that moment).
    std::function<void(const Message&)> OnMessage;
    int BusyDepth() const { return busy_; }
    // How often the busy cursor went up.
    int BusyCount() const { return busyCount_; }
    // How often the form asked the window to close.
    int CloseWindows() const { return closeWindows_; }

    // Text of a label, edit or list, by name; "" and a test failure for another kind.
    std::string TextOf(ControlId id);
    bool EnabledOf(ControlId id);
    bool VisibleOf(ControlId id);
    FakeLabel& LabelOf(ControlId id) { return Get<FakeLabel>(id); }
    FakeList& ListOf(ControlId id) { return Get<FakeList>(id); }
    FakeEdit& EditOf(ControlId id) { return Get<FakeEdit>(id); }
    FakeScrollBar& BarOf(ControlId id) { return Get<FakeScrollBar>(id); }
    FakeTimer& TimerOf(ControlId id) { return Get<FakeTimer>(id); }

    // The user's actions. Each fails the test (and does nothing) when the control is disabled
    // or hidden, as a real one would take no input then.
    void Show() { ReportShow(); }
    void Click(ControlId button);
    void OpenList(ControlId list);
    void Choose(ControlId list, int position);
    void Choose(ControlId list, const std::string& entry);
    // Types text at the end of an editable list's field, one key at a time.
    void Type(ControlId list, const std::string& text);
    void Scroll(ControlId bar, int position);
    void Press(ControlId upDown, UpDownButton button);
    void ShowPage(ControlId tabs, int page);

    // Runs the event loop until done() holds or the time is up; true when it held.
    bool RunUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(6));

private:
    template <typename Control> Control& Get(ControlId id);
    bool TakesInput(ControlId id);

    std::map<ControlId, std::unique_ptr<IControl>> controls_;
    std::map<ControlId, std::unique_ptr<FakeTimer>> timers_;
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
    int busy_ = 0;
    int busyCount_ = 0;
    int closeWindows_ = 0;
};

} // namespace zopra::testing
