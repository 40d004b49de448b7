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

struct ControlState {
    bool enabled = true;
    bool visible = true;
};

class FakeLabel : public ILabel {
public:
    void SetText(const std::string& text) override {
        FText = text;
        if (OnSetText)
            OnSetText(text);
    }
    // Called with every text the form writes (to look at the program at that moment).
    std::function<void(const std::string&)> OnSetText;
    std::string Text() const override { return FText; }
    void SetEnabled(bool enabled) override { FState.enabled = enabled; }
    bool Enabled() const override { return FState.enabled; }
    void SetVisible(bool visible) override { FState.visible = visible; }
    bool Visible() const override { return FState.visible; }

private:
    std::string FText;
    ControlState FState;
};

class FakeEdit : public IEdit {
public:
    void SetText(const std::string& text) override { FText = text; }
    std::string Text() const override { return FText; }
    void SetEnabled(bool enabled) override { FState.enabled = enabled; }
    bool Enabled() const override { return FState.enabled; }
    void SetVisible(bool visible) override { FState.visible = visible; }
    bool Visible() const override { return FState.visible; }

private:
    std::string FText;
    ControlState FState;
};

class FakeButton : public IButton {
public:
    void SetEnabled(bool enabled) override { FState.enabled = enabled; }
    bool Enabled() const override { return FState.enabled; }
    void SetVisible(bool visible) override { FState.visible = visible; }
    bool Visible() const override { return FState.visible; }

private:
    ControlState FState;
};

class FakeList : public IList {
public:
    void Clear() override;
    void AddEntry(const std::string& entry) override { FEntries.push_back(entry); }
    int Count() const override { return static_cast<int>(FEntries.size()); }
    std::string Entry(int index) const override { return FEntries.at(index); }
    int Position() const override { return FPosition; }
    void SetPosition(int position) override;
    std::string Text() const override { return FText; }
    void SetText(const std::string& text) override { FText = text; }
    void SetEnabled(bool enabled) override { FState.enabled = enabled; }
    bool Enabled() const override { return FState.enabled; }
    void SetVisible(bool visible) override { FState.visible = visible; }
    bool Visible() const override { return FState.visible; }

    const std::vector<std::string>& Entries() const { return FEntries; }
    // The exact, case-sensitive match of text, or -1.
    int Find(const std::string& text) const;

private:
    std::vector<std::string> FEntries;
    int FPosition = -1;
    std::string FText;
    ControlState FState;
};

class FakeScrollBar : public IScrollBar {
public:
    void SetRange(int minimum, int maximum);
    int Minimum() const override { return FMinimum; }
    int Maximum() const override { return FMaximum; }
    void SetMaximum(int maximum) override { SetRange(FMinimum, maximum); }
    int Position() const override { return FPosition; }
    void SetPosition(int position) override;
    void SetEnabled(bool enabled) override { FState.enabled = enabled; }
    bool Enabled() const override { return FState.enabled; }
    void SetVisible(bool visible) override { FState.visible = visible; }
    bool Visible() const override { return FState.visible; }

private:
    int FMinimum = 0;
    int FMaximum = 0;
    int FPosition = 0;
    ControlState FState;
};

class FakeUpDown : public IUpDown {
public:
    void SetRange(int minimum, int maximum, int increment);
    int Position() const override { return FPosition; }
    void SetPosition(int position) override;
    void SetEnabled(bool enabled) override { FState.enabled = enabled; }
    bool Enabled() const override { return FState.enabled; }
    void SetVisible(bool visible) override { FState.visible = visible; }
    bool Visible() const override { return FState.visible; }

    // A press of one arrow, as the interface's up-down does it.
    void Press(UpDownButton button);

private:
    int FMinimum = 0;
    int FMaximum = 0;
    int FIncrement = 1;
    int FPosition = 0;
    ControlState FState;
};

class FakeTabs : public ITabs {
public:
    int Page() const override { return FPage; }
    void SetPage(int page) override { FPage = page; }
    void SetEnabled(bool enabled) override { FState.enabled = enabled; }
    bool Enabled() const override { return FState.enabled; }
    void SetVisible(bool visible) override { FState.visible = visible; }
    bool Visible() const override { return FState.visible; }

private:
    int FPage = 0;
    ControlState FState;
};

class FakeTimer : public ITimer {
public:
    explicit FakeTimer(int intervalMs) : FInterval(intervalMs) {}
    void Start() override;
    void Stop() override { FActive = false; }
    bool Active() const override { return FActive; }

    std::chrono::steady_clock::time_point Due() const { return FDue; }
    // Disarms the timer and reports its tick, when it is armed and due.
    bool TickIfDue(std::chrono::steady_clock::time_point now);

private:
    std::chrono::milliseconds FInterval;
    bool FActive = false;
    std::chrono::steady_clock::time_point FDue;
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
    void BeginBusyCursor() override { ++FBusy; }
    void EndBusyCursor() override { --FBusy; }
    void ProcessPendingEvents() override;
    void PostToInterfaceThread(std::function<void()> task) override;
    char DecimalSeparator() const override { return Separator; }

    // What the form asked of the services.
    char Separator = '.';
    std::vector<Message> Messages;
    // Called with each box as it is shown (to look at the window at that moment).
    std::function<void(const Message&)> OnMessage;
    int BusyDepth() const { return FBusy; }

    // Text of a label, edit or list, by name; "" and a test failure for another kind.
    std::string TextOf(ControlId id);
    bool EnabledOf(ControlId id);
    bool VisibleOf(ControlId id);
    FakeLabel& LabelOf(ControlId id) { return Get<FakeLabel>(id); }
    FakeList& ListOf(ControlId id) { return Get<FakeList>(id); }
    FakeScrollBar& BarOf(ControlId id) { return Get<FakeScrollBar>(id); }
    FakeTimer& TimerOf(ControlId id) { return Get<FakeTimer>(id); }

    // The user's actions. Each fails the test (and does nothing) when the control is disabled
    // or hidden, as a real one would take no input then.
    void Show() { ReportShow(); }
    void Click(ControlId button);
    void OpenList(ControlId list);
    void Choose(ControlId list, int position);
    void Choose(ControlId list, const std::string& entry);
    // Types text at the end of the field, one key at a time.
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

    std::map<ControlId, std::unique_ptr<IControl>> FControls;
    std::map<ControlId, std::unique_ptr<FakeTimer>> FTimers;
    std::mutex FPostedMutex;
    std::deque<std::function<void()>> FPosted;
    int FBusy = 0;
};

} // namespace zopra::testing
