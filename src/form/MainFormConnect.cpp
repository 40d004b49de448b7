// The connect flow, the follow-up timers and the parameter display: discovery and opening
// through the links, the parameter read, and the tick that moves a read into the controls.
#include "form/MainForm.h"

#include "form/WorkWhileWaiting.h"

#include "protocol/Commands.h"
#include "protocol/ModelRules.h"
#include "protocol/ParameterDisplay.h"

#include <optional>
#include <thread>

namespace zopra {

void TMainForm_::CBConnectsDropDown() {
    RefreshConnections();
}

void TMainForm_::CBConnectsChange() {
    const std::string text = CBConnects.Text();
    FLinks->ChooseLinkKind(CBConnects.Position(), text);
    BuConnect.SetEnabled(true);
    const bool holder = !HidesBladeHolder(text);
    Label39.SetVisible(holder);
    CBBladeHolder.SetVisible(holder);
}

void TMainForm_::BuConnectClick() {
    // What the window shows belongs to the cutter before; this one has not answered yet, and
    // no test cut of it has been seen.
    ForgetCutter();
    ResetTuning();
    BuConnect.SetEnabled(false);
    Timer3.Start();
    StatusConnection.SetText("Connecting to " + ChosenPort() + "...");
    StatusLine.SetText("");
    if (OpenConnection() == 0) {
        ForgetCutter(); // "Connect" comes back for another try
        StatusLine.SetText("No Machine Connected");
        OfferWhy({LinkFailure::Kind::NoModemLine, "No Machine Connected", ChosenPort(), {}});
        Window.ShowMessage(MessageKind::Message, "No Machine Connected");
        return;
    }
    ReadParameters();
}

void TMainForm_::ReadParameters() {
    const Wait wait(*this); // the replies, then the pause after the read
    StatusLine.SetText("Reading the cutter's settings...");
    {
        // Each query goes out once the reply to the one before has been read; a cutter that
        // does not answer ends the series, within one reply bound for all of it, with "The
        // machine did not answer.", a query that cannot be written ends it at once with
        // "The machine could not be written to.".
        const CommandDispatcher::Series series(FSession.Dispatcher());
        for (CommandCode code : ParameterReadOrder(CBConnects.Text()))
            SendCommand(code);
        // The display tick shows the read: it comes once the last reply is in, however late.
        WaitForReply();
    }
    Timer1.Start();
    // A plain sleep: the display tick comes after it, as it always has.
    std::this_thread::sleep_for(kParameterReadEndPause);
}

void TMainForm_::Timer1Timer() {
    // A link that broke after the read must not hide what was read: the offset query that
    // could not be written is reported once the values are shown.
    std::optional<LinkWriteError> offsetQueryFailed;
    if (FRecord.FIdentityReady.load(std::memory_order_acquire) == 1) {
        FRecord.FIdentityReady.store(0, std::memory_order_release);
        FCutterRead = true;
        WithdrawWhy();
        FLastFailure = {};
        FLastPort->Write(ChosenPort());
        StatusConnection.SetText(ConnectionStatus());
        StatusLine.SetText(FReadBackOutcome.value_or("Settings read"));
        EnableParameterControls();
        try {
            ApplyModelRules(FRecord.Read().FModelName);
        } catch (const LinkWriteError& error) {
            offsetQueryFailed = error;
        }
    }
    FReadBackOutcome.reset();
    ShowParameterValues();
    Timer1.Stop();
    CoUnitChange();
    // An offset that is one of the entries shows the entry's own text ("0.500"), which can be
    // typed back as it stands; any other shows the exact value read.
    const double offset = FRecord.Read().FBladeOffset;
    if (!BladeOffsetEntryIndex(offset))
        CBOffset.SetText(BladeOffsetText(offset, InchesSelected(), Window.DecimalSeparator()));
    CBOffset.SetMarked(false);
    if (FCutterRead)
        FSettingsRead = PageSettings();
    ShowHistory();
    ReportUnreadableReply();
    if (offsetQueryFailed)
        throw *offsetQueryFailed;
}

void TMainForm_::Timer2Timer() {
    Timer2.Stop();
    // The offsets' reply may come after this tick: nothing is shown before it is in, and a
    // reply that never comes leaves the labels empty (and the update refusing).
    WaitForReply();
    const MachineSettings values = FRecord.Read();
    FAasOffsetsShown = FCutterRead && values.FAasOffsetsRead;
    const bool inches = InchesSelected();
    const char separator = Window.DecimalSeparator();
    LaAASII_X_Offset.SetText(FAasOffsetsShown ? AasOffsetText(values.FAASXOffset, inches, separator)
                                              : " ");
    LaAASII_Y_Offset.SetText(FAasOffsetsShown ? AasOffsetText(values.FAASYOffset, inches, separator)
                                              : " ");
    if (FAasUpdateReadBack && FAasOffsetsShown) {
        FAasUpdateReadBack = false;
        StatusLine.SetText("AAS offsets read back: X " + LaAASII_X_Offset.Text() + ", Y " +
                           LaAASII_Y_Offset.Text() + " " + Label27.Text());
    }
    ReportUnreadableReply();
}

void TMainForm_::Timer3Timer() {
    BuQuery.SetEnabled(true);
    EnableWorkButtons();
    Timer3.Stop();
}

void TMainForm_::EnableWorkButtons() {
    if (!FCutterRead)
        return;
    for (IButton* button :
         {&BuUpdate, &BuScale2, &BuScale1, &BuSaveFile, &BuLoadFile, &BuApplyPreset, &BuSavePreset})
        button->SetEnabled(true);
    // A model without the offset function keeps its update off.
    BuAASIIUpdate.SetEnabled(FAasOffered);
    EnableTestCutPage(true);
}

void TMainForm_::ForgetCutter() {
    FCutterRead = false;
    FAasUpdateReadBack = false;
    FAasOffsetsShown = false;
    FAasOffered = true;
    FSettingsRead.reset();
    for (IButton* button : {&BuUpdate, &BuScale2, &BuAASIIUpdate, &BuScale1, &BuSaveFile,
                            &BuLoadFile, &BuApplyPreset, &BuSavePreset})
        button->SetEnabled(false);
    EnableTestCutPage(false);
    for (ILabel* label :
         {&LaMName, &LaVer, &LaLength, &LaWidth, &LaForce, &LaAASII_X_Offset, &LaAASII_Y_Offset})
        label->SetText(" ");
    for (IList* list :
         {&CBOffset, &CBMedia, &CBWeight, &CBUnroll, &CBAccel, &CBSmooth, &CBBladeHolder})
        list->SetPosition(-1);
    CBOffset.SetMarked(false);
    StatusConnection.SetText("Not connected");
    // With a port chosen, the next click on "Connect" tries again.
    BuConnect.SetEnabled(!CBConnects.Text().empty());
}

std::string TMainForm_::ConnectionStatus() {
    return "Connected: " + FRecord.Read().FModelName + " on " + ChosenPort();
}

void TMainForm_::EnableParameterControls() {
    EnableWorkButtons();
    for (IControl* control :
         std::initializer_list<IControl*>{&CBOffset, &CBMedia, &CBWeight, &CBUnroll, &CBAccel,
                                          &CBSmooth, &UpDown1, &UpDown2, &CoUnit, &CBBladeHolder})
        control->SetEnabled(true);
    for (IControl* control : std::initializer_list<IControl*>{&SBForce, &SBSpeed, &Label29})
        control->SetVisible(true);
}

void TMainForm_::ApplyModelRules(const std::string& modelName) {
    const ModelRules rules = RulesForModel(modelName);
    // A smaller maximum that moves the position is a change like any other.
    SBForce.LimitTo(rules.forceMaximum);
    if (rules.speedMaximum)
        SBSpeed.LimitTo(*rules.speedMaximum);
    CBMedia.SetEnabled(rules.mediaListEnabled);
    const auto aasControls = std::initializer_list<IControl*>{&EdAASII_X_Offset, &EdAASII_Y_Offset,
                                                              &UpDown1, &UpDown2, &BuAASIIUpdate};
    switch (rules.aas) {
    case ModelRules::AasFunctions::ReadAndEnable:
        FAasOffered = true;
        SendCommand(kCmdReadAasOffsets);
        Timer2.Start();
        for (IControl* control : aasControls)
            control->SetEnabled(true);
        break;
    case ModelRules::AasFunctions::HideAndDisable:
        FAasOffered = false;
        BuAASIIUpdate.SetVisible(false);
        for (IControl* control : aasControls)
            control->SetEnabled(false);
        break;
    case ModelRules::AasFunctions::Untouched:
        // A model outside the table: its offsets are never read, so an update could only be
        // refused; the controls go off, and the user is told why.
        FAasOffered = false;
        for (IControl* control : aasControls)
            control->SetEnabled(false);
        StatusLine.SetText("Settings read; this model reports no AAS offsets, so they cannot "
                           "be adjusted here");
        break;
    }
}

void TMainForm_::ShowParameterValues() {
    const ParameterDisplay d = MakeParameterDisplay(FRecord.Read(), Window.DecimalSeparator());
    const std::pair<ILabel*, const std::string&> labels[] = {
        {&LaLength, d.length}, {&LaWidth, d.width},   {&LaSpeed, d.speed},   {&LaForce, d.force},
        {&LaOffset, d.offset}, {&LaAccel, d.accel},   {&LaSmooth, d.smooth}, {&LaUnroll, d.unroll},
        {&LaMedia, d.media},   {&LaXScale, d.xScale}, {&LaYScale, d.yScale}, {&LaCName, d.cname},
        {&LaMName, d.model},   {&LaVer, d.version},   {&LaDate, d.date},     {&LaTime, d.time},
        {&LaWeight, d.weight}};
    for (const auto& [label, text] : labels)
        label->SetText(text);

    CBWeight.SetPosition(d.weightIndex);
    CBAccel.SetPosition(d.accelIndex);
    CBMedia.SetPosition(d.mediaIndex);
    CBUnroll.SetPosition(d.unrollIndex);
    CBSmooth.SetPosition(d.smoothIndex);
    // The force label follows the bar, as it does for the user's moves.
    if (d.forcePosition)
        SBForce.MoveTo(*d.forcePosition);
    CBBladeHolder.SetPosition(d.bladeHolderIndex);
    CBOffset.SetPosition(d.offsetIndex);
}

// Discovery and opening: the links do the work, the window shows the result.

void TMainForm_::RefreshConnections() {
    const Wait wait(*this); // each printer-class device is asked who it is
    const std::string typed = CBConnects.Text();
    // On a worker thread, while the window keeps answering; nothing else reaches the links
    // meanwhile: input is dropped, the timers' ticks wait. The boxes come after it.
    std::vector<std::string> problems;
    const TimerTickHold hold{&Timer1, &Timer2, &Timer3};
    const std::vector<ConnectionEntry>& entries = RunWhilePumping(
        [this, &problems]() -> const std::vector<ConnectionEntry>& {
            return FLinks->RefreshConnections(
                [&problems](const std::string& text) { problems.push_back(text); });
        },
        [this] {
            Window.ProcessPendingEvents();
            EndWaitIfClosing();
        },
        std::chrono::milliseconds(10));
    for (const std::string& text : problems)
        Window.ShowMessage(MessageKind::Message, text);
    // Refilling the list is not a choice of the user's: "Connect" stays as it was.
    CBConnects.Clear();
    bool hideHolder = false;
    for (const ConnectionEntry& entry : entries) {
        CBConnects.AddEntry(entry.ListText());
        hideHolder =
            hideHolder || (entry.kind == kLinkPrinterClass && HidesBladeHolder(entry.text));
    }
    CBConnects.SetPosition(-1);
    CBConnects.SetText(typed);
    if (hideHolder) {
        Label39.SetVisible(false);
        CBBladeHolder.SetVisible(false);
    }
    if (typed.empty())
        PreselectLastPort(entries);
    OfferWhyForList(entries);
}

void TMainForm_::PreselectLastPort(const std::vector<ConnectionEntry>& entries) {
    const std::string last = FLastPort->Read();
    for (std::size_t index = 0; index < entries.size() && !last.empty(); ++index) {
        if (entries[index].PortName() == last) {
            CBConnects.SetPosition(static_cast<int>(index));
            CBConnectsChange();
            return;
        }
    }
}

std::string TMainForm_::ChosenPort() const {
    const std::vector<ConnectionEntry>& entries = FLinks->Entries();
    const int position = CBConnects.Position();
    if (position >= 0 && position < static_cast<int>(entries.size()))
        return entries[static_cast<std::size_t>(position)].PortName();
    return CBConnects.Text();
}

int TMainForm_::OpenConnection() {
    const Wait wait(*this); // opening a serial port pauses around it
    int opened = 0;
    // No work button may come back without a link; "Connect" does, for another try.
    const auto failed = [this](LinkFailure::Kind kind, const std::string& message) {
        Timer3.Stop();
        ForgetCutter();
        OfferWhy({kind, message, ChosenPort(), {}});
    };
    try {
        opened = FSession.OpenConnection(CBConnects.Position(), CBConnects.Text());
    } catch (const ECommError& error) {
        // A refusal whose cause is unknown gets no hint line: it gets the advice every
        // failed connect gets.
        std::string message = error.what();
        if (message.find('\n') == std::string::npos)
            message += std::string("\n") + kConnectAdvice;
        failed(LinkFailure::Kind::PortNotOpen, message);
        throw ECommError(message, error.Code());
    } catch (const std::exception& error) {
        failed(LinkFailure::Kind::Other, error.what());
        throw;
    }
    if (opened == 0)
        Timer3.Stop();
    return opened;
}

} // namespace zopra
