#pragma once
// The program's window on Win32: built from the form's layout table, it implements the
// form's window interface (form/Controls.h) with the services a toolkit gives: message
// routing to the controls, one-shot timers, work handed over from other threads, the wait
// cursor, a wait that keeps the window painted, message boxes and the host's decimal
// separator. Its look (scale, font, colours), its keyboard and the input during a wait are
// parts of their own, which the controls are handed; the controls never reach back here.
#include "form/Controls.h"
#include "ui/win32/KeyboardWalk.h"
#include "ui/win32/WaitInput.h"
#include "ui/win32/WindowLook.h"

#include <windows.h>

#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace zopra::win32 {

class Win32Child;

// A control's Win32 id is its layout id above the ids Win32 gives meanings of its own (IDOK,
// IDCANCEL, ...): a driver or a screen reader finds a control by it.
inline constexpr int kFirstControlId = 1000;
// Every box is titled with the program's name.
inline constexpr wchar_t kBoxTitle[] = L"zopra";

class Win32Window final : public IFormWindow {
public:
    // Creates the window and every control of the layout, hidden; Show() maps it.
    Win32Window();
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    HWND Handle() const { return handle_; }
    const WindowLook& Look() const { return look_; }
    // Reports the first show to the form, then maps the window.
    void Show();
    // The event loop; returns when the window has been closed.
    int Run();

    // Routes a report of a child control to it; false when it is not one of ours. The
    // window's procedure calls it, also for what the tab pages pass up from their children.
    bool Route(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    ILabel& Label(ControlId id) override { return Find<ILabel>(id); }
    IEdit& Edit(ControlId id) override { return Find<IEdit>(id); }
    IButton& Button(ControlId id) override { return Find<IButton>(id); }
    IList& List(ControlId id) override { return Find<IList>(id); }
    IScrollBar& ScrollBar(ControlId id) override { return Find<IScrollBar>(id); }
    IUpDown& UpDown(ControlId id) override { return Find<IUpDown>(id); }
    ITabs& Tabs(ControlId id) override { return Find<ITabs>(id); }
    ITimer& Timer(ControlId id) override;

    void ShowMessage(MessageKind kind, const std::string& text) override;
    bool ShowFindings(const std::string& text) override;
    void CopyToClipboard(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    std::optional<std::string> ChooseFileToSave(const std::string& title,
                                                const std::string& suggestedName,
                                                const std::string& startFolder) override;
    std::optional<std::string> ChooseFileToOpen(const std::string& title,
                                                const std::string& startFolder) override;
    void BeginBusyCursor() override;
    void EndBusyCursor() override;
    void ProcessPendingEvents() override;
    void PostToInterfaceThread(std::function<void()> task) override;
    char DecimalSeparator() const override;
    void CloseWindow() override;

private:
    class OneShot;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Build();
    // Hands the keyboard walk the controls in Tab order, the buttons' letters and the pages.
    void TeachKeyboard();
    void RunPostedTasks();
    // Scales the window to a new dpi: the font, every control, and the frame Windows suggests.
    void ChangeDpi(int dpi, const RECT& suggested);
    // A new colour scheme: the common controls are told, and everything is painted again.
    void ColoursChanged();
    // The wait cursor again after a box, which showed its own arrow.
    void RestoreBusyCursor() const;
    HWND HandleOf(ControlId id) const;
    template <typename Interface> Interface& Find(ControlId id);

    // Made before the controls, which read them, and gone after them.
    WindowLook look_;
    KeyboardWalk keyboard_;
    InputDuringWait waitInput_;

    HWND handle_ = nullptr;
    std::map<ControlId, std::unique_ptr<IControl>> controls_;
    std::map<HWND, Win32Child*> byHandle_;
    std::map<ControlId, std::unique_ptr<OneShot>> timers_;
    int busy_ = 0;
    // The control that had the focus when the window was last deactivated.
    HWND lastFocus_ = nullptr;

    std::mutex tasksLock_;
    std::deque<std::function<void()>> tasks_;
};

template <typename Interface> Interface& Win32Window::Find(ControlId id) {
    const auto found = controls_.find(id);
    auto* control =
        found == controls_.end() ? nullptr : dynamic_cast<Interface*>(found->second.get());
    if (!control)
        std::abort(); // a control asked for with the wrong kind: a programming error
    return *control;
}

} // namespace zopra::win32
