// The "Setting" page: reading the parameters again, writing the page's choices back to the
// cutter, the live blade force and blade offset, the two off-window scroll bars, and the
// switch between "mm/g" and "Inch/oz".
#include "ui/MainWindow.h"

#include "protocol/Commands.h"
#include "protocol/ModelRules.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"
#include "ui/Controls.h"
#include "ui/HostLocale.h"
#include "ui/MessageBox.h"
#include "ui/OneShotTimer.h"

#include <QPushButton>
#include <QScrollBar>

namespace zopra {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

void TMainForm_::BuQueryClick() {
    BuQuery->setEnabled(false);
    Timer3->start();
    ReadParameters();
}

// The lists whose position the update sends, by the captions beside them, that have no
// selection now (after a read whose replies never came, or with an offset typed into the
// list's field that is none of its entries).
QStringList TMainForm_::UnselectedUpdateLists() const {
    const std::pair<const TComboBox*, const TAutoSizeLabel*> lists[] = {
        {CBOffset, Label7}, {CBWeight, Label6}, {CBAccel, Label10},      {CBSmooth, Label11},
        {CBUnroll, Label8}, {CBMedia, Label9},  {CBBladeHolder, Label39}};
    QStringList names;
    for (const auto& [list, caption] : lists)
        if (list->currentIndex() < 0)
            names << caption->text();
    return names;
}

void TMainForm_::BuUpdateClick() {
    BuUpdate->setEnabled(false);
    Timer3->start();

    // "-1" is no setting the cutter knows, and half an update is worse than none: nothing
    // goes out until every list has a choice.
    const QStringList unselected = UnselectedUpdateLists();
    if (!unselected.isEmpty()) {
        QString names = unselected.last();
        if (unselected.size() > 1)
            names = unselected.mid(0, unselected.size() - 1).join(QStringLiteral(", ")) +
                    QStringLiteral(" and ") + names;
        ShowMessage(QStringLiteral("Choose a value for %1 first; nothing was sent.").arg(names));
        return;
    }

    SettingsUpdate update;
    update.offsetIndex = CBOffset->currentIndex();
    update.weightIndex = CBWeight->currentIndex();
    update.accelIndex = CBAccel->currentIndex();
    update.smoothIndex = CBSmooth->currentIndex();
    update.unrollIndex = CBUnroll->currentIndex();
    update.mediaIndex = CBMedia->currentIndex();
    update.forceValue = BladeForceValue(FRecord.Read().FModelName, SBForce->value());
    update.bladeHolderIndex = CBBladeHolder->currentIndex();
    // Back to back, no pause of the window's own; the first write that fails ends the
    // update with its reason. Nothing is read back: a later read shows what the cutter kept.
    for (const std::string& command : SettingsUpdateWrites(update))
        WriteToLink(command);
}

void TMainForm_::SBForceChange() {
    LaForce->setText(
        Text(BladeForceText(SBForce->value(), InchesSelected(), HostDecimalSeparator())));
}

void TMainForm_::CBOffsetChange() {
    const long double typed =
        StrToFloat(CBOffset->currentText().toStdString(), HostDecimalSeparator());
    const long double micrometres = BladeOffsetFromDisplay(typed, InchesSelected());
    FRecord.Write(
        [&](MachineSettings& values) { values.FBladeOffset = static_cast<double>(micrometres); });
}

void TMainForm_::SBSpeedChange() {
    LaSpeed->setText(QString::number(SBSpeed->value()));
}

void TMainForm_::SBOffsetChange() {
    LaOffset->setText(Text(OffsetBarText(SBOffset->value(), HostDecimalSeparator())));
}

void TMainForm_::CoUnitChange() {
    const int unit = CoUnit->currentIndex();
    if (unit != 0 && unit != 1)
        return; // a typed text that is no unit changes nothing
    // Worked out whole before anything changes: a text that does not convert leaves every
    // control, the unit list too, in the unit it showed. The offset text is converted only
    // on a real change: picking the unit already shown, or the display's closing call in
    // that unit, must not multiply it once more.
    const int position = CBOffset->currentIndex();
    UnitSwitch u;
    try {
        u = MakeUnitSwitch(FRecord.Read(), unit == 1, unit != FShownUnit,
                           CBOffset->currentText().toStdString(), SBForce->value(),
                           HostDecimalSeparator());
    } catch (...) {
        CoUnit->setCurrentIndex(FShownUnit);
        throw;
    }

    Label21->setText(Text(u.lengthUnit));
    LaLength->setText(Text(u.length));
    LaWidth->setText(Text(u.width));
    CBOffset->clear();
    for (const std::string& entry : u.offsetEntries)
        CBOffset->addItem(Text(entry));
    CBOffset->setCurrentIndex(position);
    // An offset typed into the field (no entry selected) stays there, in the new unit.
    if (position < 0)
        CBOffset->setEditText(Text(u.offsetText));
    LaForce->setText(Text(u.force));
    for (TAutoSizeLabel* label :
         {Label20, Label29, Label32, Label33, Label18, Label35, Label27, Label26})
        label->setText(Text(u.lengthUnit));
    Label28->setText(Text(u.forceUnit));
    FShownUnit = unit;
}

} // namespace zopra
