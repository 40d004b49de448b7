#pragma once
// The program's one window on Qt Widgets: the controls of the form's layout table, built once,
// and the toolkit's services for the form, which holds all of the window's behaviour.
#include "form/Controls.h"
#include "form/MainForm.h"

#include <QWidget>

#include <map>
#include <memory>

class QCloseEvent;
class QKeyEvent;
class QShowEvent;

namespace zopra {

class TMainWindow : public QWidget, public IFormWindow {
public:
    // Connects to the devices of this computer.
    explicit TMainWindow(QWidget* parent = nullptr);
    // Connects through `links` (tests pass made-up devices).
    explicit TMainWindow(std::unique_ptr<CutterConnections> links, QWidget* parent = nullptr);
    ~TMainWindow() override;

    TMainWindow(const TMainWindow&) = delete;
    TMainWindow& operator=(const TMainWindow&) = delete;

    TMainForm_& Form() { return *form_; }

    // The Qt control of a layout row (for tests); null for the wrong type.
    template <typename Widget> Widget* Control(ControlId id) const {
        const auto found = controls_.find(id);
        return found == controls_.end() ? nullptr : dynamic_cast<Widget*>(found->second);
    }

    ILabel& Label(ControlId id) override { return Get<ILabel>(id); }
    IEdit& Edit(ControlId id) override { return Get<IEdit>(id); }
    IButton& Button(ControlId id) override { return Get<IButton>(id); }
    IList& List(ControlId id) override { return Get<IList>(id); }
    IScrollBar& ScrollBar(ControlId id) override { return Get<IScrollBar>(id); }
    IUpDown& UpDown(ControlId id) override { return Get<IUpDown>(id); }
    ITabs& Tabs(ControlId id) override { return Get<ITabs>(id); }
    ITimer& Timer(ControlId id) override { return Get<ITimer>(id); }

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

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Drops the user's input to this window while a wait processes events.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetUpWindow();
    void CreateControls();
    // Tab walks the controls in the table's order; Up and Down in an adjustment field step
    // its spinner.
    void SetUpKeyboard();
    QObject* CreateControl(const ControlRow& layoutRow, QWidget* parent);
    // This window or one of its children.
    bool Mine(const QObject* watched) const;
    // The page-turning keys; true when the key was one.
    bool TurnPageByKey(const QKeyEvent& key);
    template <typename Interface> Interface& Get(ControlId id);

    // Every control by its row; owned through Qt's parent ownership.
    std::map<ControlId, QObject*> controls_;
    // Made after the controls and gone before them.
    std::unique_ptr<TMainForm_> form_;
    // Inside ProcessPendingEvents: no key or click reaches the window.
    bool holdInput_ = false;
};

} // namespace zopra
