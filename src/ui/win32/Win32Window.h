#pragma once
// The program's window on Win32: built from the form's layout table, it implements the
// form's window interface (form/Controls.h) with the services a toolkit gives: message
// routing to the controls, one-shot timers, work handed over from other threads, the wait
// cursor, a wait that keeps the window painted, message boxes and the host's decimal
// separator.
#include "form/Controls.h"

#include <windows.h>

#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>

namespace zopra::win32 {

class Win32Child;

// A control's Win32 id is its layout id above the ids Win32 gives meanings of its own (IDOK,
// IDCANCEL, ...): a driver or a screen reader finds a control by it.
inline constexpr int kFirstControlId = 1000;

class Win32Window final : public IFormWindow {
public:
    // Creates the window and every control of the layout, hidden; Show() maps it.
    Win32Window();
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    HWND Handle() const { return handle_; }
    HFONT Font() const { return font_.get(); }
    // Design pixels (96 dpi) to screen pixels.
    int Scale(int designPixels) const;
    // Reports the first show to the form, then maps the window.
    void Show();
    // The event loop; returns when the window has been closed.
    int Run();

    // Routes a report of a child control to it; false when it is not one of ours. The
    // window and each tab page call it for what their children send them.
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

    // Before a control is disabled: a focus it holds goes on to the next control, so that the
    // keyboard still reaches the window.
    void FocusAwayFrom(HWND control);

private:
    class OneShot;

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Build();
    void RunPostedTasks();
    // Tab and Shift+Tab walk the layout table's Tab order (hidden and disabled controls left
    // out), and Alt with a button's letter presses it; true when the message was that.
    bool HandleKeyboard(const MSG& message);
    // Presses the visible, enabled button whose Alt-letter this is; false when none has it.
    bool PressButtonWithLetter(WPARAM character);
    // Takes every kind of user input out of the queue; a close asked for stays asked.
    void DropInput();
    void MakeFont();
    // Scales the window to a new dpi: the font, every control, and the frame Windows suggests.
    void ChangeDpi(int dpi, const RECT& suggested);
    // A new colour scheme: the common controls are told, and everything is painted again.
    void ColoursChanged();
    void MoveFocus(HWND from, bool backwards);
    HWND HandleOf(ControlId id) const;
    template <typename Interface> Interface& Find(ControlId id);

    struct FontDeleter {
        void operator()(HFONT font) const { DeleteObject(font); }
    };

    HWND handle_ = nullptr;
    int dpi_;
    std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter> font_;
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
