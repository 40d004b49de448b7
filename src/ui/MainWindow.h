#pragma once

#include "link/CutterSession.h"
#include "ui/OneShotTimer.h"

#include <QStringList>
#include <QWidget>

#include <chrono>
#include <memory>
#include <string>

class QLineEdit;
class QPushButton;
class QScrollBar;
class QShowEvent;
class QTabWidget;

namespace zopra {

class TAutoSizeLabel;
class TComboBox;
class TUpDown;
enum class UpDownButton;
enum class UpDownDirection;

// The program's one window: a fixed-size form with the connection strip on top and the two
// pages "Setting" and "Adjust". Every control is created once, in CreateControls(), at the
// pixel position of the design (96 dpi, Arial bold 13 px); the window owns all of them through
// Qt's parent ownership. Each event handler is a private slot named after its control and
// event, connected in ConnectHandlers() through the guard that shows an escaping error in the
// standard error box.
//
// One class over several files: MainWindowLayout.cpp (the pixel layout), MainWindow.cpp
// (construction and the protocol side), MainWindowConnect.cpp (connect flow, timers,
// parameter display), MainWindowSettingPage.cpp and MainWindowAdjustPage.cpp.
class TMainForm_ : public QWidget {
    Q_OBJECT

public:
    // Connects to the devices of this computer.
    explicit TMainForm_(QWidget* parent = nullptr);
    // Connects through `links` (tests pass made-up devices).
    explicit TMainForm_(std::unique_ptr<CutterConnections> links, QWidget* parent = nullptr);
    ~TMainForm_() override;

    TMainForm_(const TMainForm_&) = delete;
    TMainForm_& operator=(const TMainForm_&) = delete;

    // Window design, in pixels of the client area.
    static constexpr int ClientWidth = 413;
    static constexpr int ClientHeight = 398;
    static constexpr int InitialLeft = 367;
    static constexpr int InitialTop = 184;

    // Top strip, on the window itself.
    TComboBox* CBConnects = nullptr;
    QPushButton* BuConnect = nullptr;
    TAutoSizeLabel* Label1 = nullptr;
    TAutoSizeLabel* LaMName = nullptr;
    TAutoSizeLabel* Label2 = nullptr;
    TAutoSizeLabel* LaVer = nullptr;
    QTabWidget* TSSetting = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;

    // Page "Setting" (TabSheet1).
    TAutoSizeLabel* Label3 = nullptr;
    TAutoSizeLabel* LaLength = nullptr;
    TAutoSizeLabel* Label20 = nullptr;
    TAutoSizeLabel* Label4 = nullptr;
    TAutoSizeLabel* LaWidth = nullptr;
    TAutoSizeLabel* Label21 = nullptr;
    TAutoSizeLabel* Label5 = nullptr;
    TAutoSizeLabel* LaForce = nullptr;
    TAutoSizeLabel* Label28 = nullptr;
    QScrollBar* SBForce = nullptr;
    TAutoSizeLabel* Label39 = nullptr;
    TComboBox* CBBladeHolder = nullptr;
    TAutoSizeLabel* Label7 = nullptr;
    TComboBox* CBOffset = nullptr;
    TAutoSizeLabel* Label29 = nullptr;
    TAutoSizeLabel* Label9 = nullptr;
    TComboBox* CBMedia = nullptr;
    TAutoSizeLabel* Label6 = nullptr;
    TComboBox* CBWeight = nullptr;
    TAutoSizeLabel* Label8 = nullptr;
    TComboBox* CBUnroll = nullptr;
    TAutoSizeLabel* Label10 = nullptr;
    TComboBox* CBAccel = nullptr;
    TAutoSizeLabel* Label11 = nullptr;
    TComboBox* CBSmooth = nullptr;
    TAutoSizeLabel* Label37 = nullptr;
    TComboBox* CoUnit = nullptr;
    QPushButton* BuUpdate = nullptr;
    QPushButton* BuQuery = nullptr;

    // Page "Adjust" (TabSheet2).
    TAutoSizeLabel* Label13 = nullptr;
    TAutoSizeLabel* Label31 = nullptr;
    TAutoSizeLabel* Label15 = nullptr;
    QLineEdit* EdTestDraw_X = nullptr;
    TAutoSizeLabel* Label32 = nullptr;
    TAutoSizeLabel* Label14 = nullptr;
    QLineEdit* EdTestDraw_Y = nullptr;
    TAutoSizeLabel* Label33 = nullptr;
    QPushButton* BuScale1 = nullptr;
    TAutoSizeLabel* Label34 = nullptr;
    TAutoSizeLabel* Label16 = nullptr;
    TAutoSizeLabel* Label19 = nullptr;
    QLineEdit* EdMeasure_x = nullptr;
    TAutoSizeLabel* Label18 = nullptr;
    TAutoSizeLabel* Label17 = nullptr;
    QLineEdit* EdMeasure_y = nullptr;
    TAutoSizeLabel* Label35 = nullptr;
    QPushButton* BuScale2 = nullptr;
    TAutoSizeLabel* Label36 = nullptr;
    TAutoSizeLabel* Label23 = nullptr;
    TAutoSizeLabel* LaAASII_X_Offset = nullptr;
    TAutoSizeLabel* Label25 = nullptr;
    QLineEdit* EdAASII_X_Offset = nullptr;
    TUpDown* UpDown1 = nullptr;
    TAutoSizeLabel* Label27 = nullptr;
    TAutoSizeLabel* Label22 = nullptr;
    TAutoSizeLabel* LaAASII_Y_Offset = nullptr;
    TAutoSizeLabel* Label24 = nullptr;
    QLineEdit* EdAASII_Y_Offset = nullptr;
    TUpDown* UpDown2 = nullptr;
    TAutoSizeLabel* Label26 = nullptr;
    QPushButton* BuAASIIUpdate = nullptr;

    // Diagnostic controls: children of the window placed right of its client area, so they are
    // never seen; the parameter display and the workflows still write into them.
    TAutoSizeLabel* LaCName = nullptr;
    TAutoSizeLabel* LaDate = nullptr;
    TAutoSizeLabel* LaTime = nullptr;
    TAutoSizeLabel* LaOffset = nullptr;
    TAutoSizeLabel* LaMedia = nullptr;
    TAutoSizeLabel* LaWeight = nullptr;
    TAutoSizeLabel* LaUnroll = nullptr;
    TAutoSizeLabel* LaAccel = nullptr;
    TAutoSizeLabel* LaSmooth = nullptr;
    TAutoSizeLabel* LaXScale = nullptr;
    TAutoSizeLabel* LaYScale = nullptr;
    TAutoSizeLabel* LaSpeed = nullptr;
    QScrollBar* SBSpeed = nullptr;
    QScrollBar* SBOffset = nullptr;
    TAutoSizeLabel* AASOFFSET_outputevalue = nullptr;

    // One-shot timers, stopped until a workflow starts them.
    TOneShotTimer* Timer1 = nullptr;
    TOneShotTimer* Timer2 = nullptr;
    TOneShotTimer* Timer3 = nullptr;

    // What the window knows of the cutter, its links and its dispatcher, for tests.
    MachineRecord& Record() { return FSession.Record(); }
    CutterConnections& Links() { return FSession.Links(); }
    CommandDispatcher& Dispatcher() { return FSession.Dispatcher(); }

protected:
    void showEvent(QShowEvent* event) override;

private slots:
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
    // Page "Adjust".
    void TSSettingChange();
    void BuScale1Click();
    void BuScale2Click();
    void BuAASIIUpdateClick();
    void UpDown1ChangingEx(bool& allowChange, int newValue, zopra::UpDownDirection direction);
    void UpDown2ChangingEx(bool& allowChange, int newValue, zopra::UpDownDirection direction);
    void UpDown1Click(zopra::UpDownButton button);
    void UpDown2Click(zopra::UpDownButton button);
    // The window.
    void FormShow();

private:
    void SetUpWindow();
    void CreateControls();
    void CreateTopStrip();
    void CreateSettingPage();
    void CreateAdjustPage();
    void CreateDiagnosticControls();
    void CreateTimers();
    void ConnectHandlers();

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
    int OpenConnection();
    // The queries of a parameter read, then the display tick and the pause after a read.
    void ReadParameters();

    // "Inch/oz" chosen in the unit list.
    bool InchesSelected() const;
    // Setting page.
    QStringList UnselectedUpdateLists() const;

    // Adjust page.
    void ShowSpinnerAdjustment(QLineEdit* edit, int position);
    void SpinnerAdjustmentToInches(QLineEdit* edit);
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
};

// The one main window of the running program; null before it is created and after it is gone.
extern TMainForm_* MainForm_;

} // namespace zopra
