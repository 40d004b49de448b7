#pragma once
// The window's controls on Win32 and the common controls, each implementing its interface of
// the form (form/Controls.h) over one child window. A control takes what it needs of the
// window as it is made: the look (scale, font) and the keyboard walk, never the window.
#include "form/Controls.h"
#include "ui/win32/KeyboardWalk.h"
#include "ui/win32/WindowLook.h"

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace zopra::win32 {

// What the window asks of every child control it routes reports to.
class Win32Child {
public:
    virtual ~Win32Child() = default;
    virtual HWND Handle() const = 0;
    // The reports the parent routes to the control.
    virtual void Command(WORD /*code*/) {}
    virtual bool Notify(const NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
    virtual void Scroll(WORD /*request*/) {}
    // The brush behind a static control's text (and its colours set into the context); null
    // leaves it to Win32.
    virtual HBRUSH Background(HDC /*context*/) { return nullptr; }
    // Places the control again at the window's scale (after a dpi change), with its font.
    virtual void Rescale() = 0;
};

// Where a control goes: its parent (the window or a tab page), its id (how a driver or a
// screen reader finds it) and its design rectangle (96 dpi pixels, scaled when made).
struct Placement {
    HWND parent;
    int id;
    Bounds bounds;
};

// What every control of one window shares: the window's look and its keyboard walk, both
// made before the controls and gone after them.
struct ControlContext {
    const WindowLook& look;
    KeyboardWalk& keyboard;
};

HWND CreateChild(const WindowLook& look, const Placement& place, const wchar_t* windowClass,
                 DWORD style, DWORD extendedStyle, const std::string& text);
// Moves a child to its design rectangle at the window's scale and gives it the window's font.
void PlaceChild(const WindowLook& look, HWND handle, const Bounds& bounds);
std::string WindowText(HWND handle);

// One Win32 child control implementing one of the form's control interfaces. The parent
// window destroys the handle.
template <typename Interface> class Win32Control : public Interface, public Win32Child {
public:
    Win32Control(const ControlContext& context, const Placement& place, const wchar_t* windowClass,
                 DWORD style, DWORD extendedStyle, const std::string& text)
        : look_(context.look), keyboard_(context.keyboard), bounds_(place.bounds),
          handle_(CreateChild(look_, place, windowClass, style, extendedStyle, text)) {}

    HWND Handle() const override { return handle_; }
    // A disabled control takes no keys: a focus it holds goes on to the next control first,
    // and comes back once it is enabled again.
    void SetEnabled(bool enabled) override {
        if (!enabled)
            keyboard_.LeaveBeforeDisabling(handle_);
        EnableWindow(handle_, enabled);
        if (enabled)
            keyboard_.ReturnAfterEnabling(handle_);
    }
    bool Enabled() const override { return IsWindowEnabled(handle_); }
    // The control's own visibility, whether or not its page is the one shown.
    void SetVisible(bool visible) override { ShowWindow(handle_, visible ? SW_SHOWNA : SW_HIDE); }
    bool Visible() const override { return (GetWindowLongW(handle_, GWL_STYLE) & WS_VISIBLE) != 0; }
    void Rescale() override { PlaceChild(look_, handle_, bounds_); }

protected:
    const WindowLook& look_;
    KeyboardWalk& keyboard_;
    // The design rectangle (96 dpi) the control was made with.
    const Bounds bounds_;
    const HWND handle_;
};

// The pale red of a field that holds no usable value, while the status line names it.
class FieldMark {
public:
    void Set(bool marked, HWND field);
    // The brush for the field's WM_CTLCOLOR... answer; null when not marked.
    HBRUSH Background(HDC context) const;

private:
    OwnedBrush brush_;
};

// A caption that always has the size of its text, in the system's colours for text on the
// window's face. A heading has its own background colour with black text, except under a
// high-contrast scheme, where the user's colours hold. A row with a width keeps it: Win32
// cuts a longer text with an ellipsis (SS_ENDELLIPSIS) and a tooltip shows the whole text.
class Win32Label final : public Win32Control<ILabel> {
public:
    Win32Label(const ControlContext& context, const ControlRow& layoutRow, const Placement& place);
    void SetText(const std::string& text) override;
    std::string Text() const override { return WindowText(handle_); }
    HBRUSH Background(HDC context) override;
    void Rescale() override;

private:
    void FitToText();
    void UpdateTooltip();
    const bool fixedWidth_;
    // Null for a plain caption.
    OwnedBrush headingBrush_;
    HWND tooltip_ = nullptr; // owned by the window, gone with it
    std::wstring tooltipText_;
};

// A push button; a link row draws its caption alone, underlined in the link colour (through
// the common controls' custom draw, so that focus, keys and clicks stay the button's own).
class Win32Button final : public Win32Control<IButton> {
public:
    Win32Button(const ControlContext& context, const ControlRow& layoutRow, const Placement& place);
    void Command(WORD code) override;
    bool Notify(const NMHDR& header, LRESULT& result) override;

private:
    // The window's font underlined; null for an ordinary button.
    OwnedFont linkFont_;
};

class Win32Edit final : public Win32Control<IEdit> {
public:
    Win32Edit(const ControlContext& context, const ControlRow& layoutRow, const Placement& place);
    void SetText(const std::string& text) override;
    std::string Text() const override { return WindowText(handle_); }
    void SetMarked(bool marked) override { mark_.Set(marked, handle_); }
    void Focus() override { SetFocus(handle_); }
    // The field's colours (WM_CTLCOLOREDIT).
    HBRUSH Background(HDC context) override { return mark_.Background(context); }

private:
    FieldMark mark_;
};

// The editable drop-down list. The object keeps the position itself, because the Win32 combo
// box reports it late or not at all: during CBN_SELCHANGE the text is still the old one, and
// a typed text leaves the old selection standing.
class Win32List final : public Win32Control<IList> {
public:
    Win32List(const ControlContext& context, const ControlRow& layoutRow, const Placement& place);

    void Clear() override;
    void AddEntry(const std::string& entry) override;
    int Count() const override { return static_cast<int>(entries_.size()); }
    std::string Entry(int index) const override;
    int Position() const override { return position_; }
    void SetPosition(int position) override;
    std::string Text() const override { return WindowText(handle_); }
    void SetText(const std::string& text) override;
    void SetMarked(bool marked) override;

    void Command(WORD code) override;
    // The field's colours, asked for through the list's parent (WM_CTLCOLOREDIT).
    HBRUSH Background(HDC context) override;
    void Rescale() override;

private:
    FieldMark mark_;
    std::vector<std::string> entries_;
    int position_ = -1;
    // Set while the program changes the list, whose own reports then are not the user's.
    bool programChange_ = false;
};

// The common up-down control, with the edit it stands beside as its buddy (the arrow keys in
// the edit step it), but writing nothing into it (no UDS_SETBUDDYINT): the form writes the
// adjustment text itself.
class Win32UpDown final : public Win32Control<IUpDown> {
public:
    Win32UpDown(const ControlContext& context, const ControlRow& layoutRow, const Placement& place,
                HWND buddy);

    int Position() const override;
    void SetPosition(int position) override;

    bool Notify(const NMHDR& header, LRESULT& result) override;
    void Scroll(WORD request) override;

private:
    const int minimum_;
    const int maximum_;
    UpDownButton pressed_ = UpDownButton::Up;
    bool moved_ = false;
};

class Win32ScrollBar final : public Win32Control<IScrollBar> {
public:
    Win32ScrollBar(const ControlContext& context, const ControlRow& layoutRow,
                   const Placement& place);

    int Minimum() const override { return minimum_; }
    int Maximum() const override { return maximum_; }
    void SetMaximum(int maximum) override;
    int Position() const override;
    void SetPosition(int position) override;

    void Scroll(WORD request) override;
    // The track's brush (WM_CTLCOLORSCROLLBAR).
    HBRUSH Background(HDC context) override;

private:
    const int minimum_;
    int maximum_;
    const int step_;
    const int largeStep_;
};

// The tab control with one child window per page; the controls of a page are children of its
// page window, which hands their reports to the window.
class Win32Tabs final : public Win32Control<ITabs> {
public:
    Win32Tabs(const ControlContext& context, const ControlRow& layoutRow, const Placement& place,
              const std::vector<const ControlRow*>& pages);

    // The page window of a Page row.
    HWND PageWindow(ControlId page) const;
    int Page() const override;
    void SetPage(int page) override;
    // The next page (+1) or the one before (-1), round the end, as if the user chose it.
    void TurnPage(int step);

    bool Notify(const NMHDR& header, LRESULT& result) override;
    void Rescale() override;

private:
    void ShowCurrentPage();
    // The pages fill the tab control's display area.
    void PlacePages();
    std::vector<std::pair<ControlId, HWND>> pages_;
};

// A control of the layout that lies right of the client area, where it can never be seen: a
// plain field with no window, which the form still writes and reads (creating a window costs
// several round trips to the window system, under Wine many).
template <typename Interface> class Field : public Interface {
public:
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    bool Enabled() const override { return enabled_; }
    void SetVisible(bool visible) override { visible_ = visible; }
    bool Visible() const override { return visible_; }

private:
    bool enabled_ = true;
    bool visible_ = true;
};

class FieldLabel final : public Field<ILabel> {
public:
    explicit FieldLabel(const ControlRow& layoutRow) : text_(layoutRow.caption) {}
    void SetText(const std::string& text) override { text_ = text; }
    std::string Text() const override { return text_; }

private:
    std::string text_;
};

class FieldScrollBar final : public Field<IScrollBar> {
public:
    explicit FieldScrollBar(const ControlRow& layoutRow);
    int Minimum() const override { return minimum_; }
    int Maximum() const override { return maximum_; }
    void SetMaximum(int maximum) override;
    int Position() const override { return position_; }
    void SetPosition(int position) override;

private:
    const int minimum_;
    int maximum_;
    int position_;
};

} // namespace zopra::win32
