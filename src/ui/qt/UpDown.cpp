#include "ui/qt/UpDown.h"

#include <QKeyEvent>
#include <QToolButton>

#include <algorithm>

namespace zopra {

TUpDown::TUpDown(QWidget* parent) : QWidget(parent) {
    FUpButton = AddArrow(Qt::UpArrow);
    FDownButton = AddArrow(Qt::DownArrow);
    connect(FUpButton, &QToolButton::clicked, this, &TUpDown::UpPressed);
    connect(FDownButton, &QToolButton::clicked, this, &TUpDown::DownPressed);
    connect(this, &TUpDown::changing, this,
            [this](bool& allowChange, int newValue, UpDownDirection direction) {
                allowChange = allowChange && ReportChanging(newValue, direction);
            });
    connect(this, &TUpDown::clicked, this, [this](UpDownButton button) { ReportClick(button); });
}

QToolButton* TUpDown::AddArrow(Qt::ArrowType arrow) {
    auto* button = new QToolButton(this);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void TUpDown::setMinimum(int minimum) {
    setRange(minimum, std::max(minimum, FMaximum));
}

void TUpDown::setMaximum(int maximum) {
    setRange(std::min(FMinimum, maximum), maximum);
}

void TUpDown::setRange(int minimum, int maximum) {
    FMinimum = minimum;
    FMaximum = std::max(minimum, maximum);
    FPosition = std::clamp(FPosition, FMinimum, FMaximum);
}

void TUpDown::setPosition(int position) {
    FPosition = std::clamp(position, FMinimum, FMaximum);
}

void TUpDown::setIncrement(int increment) {
    FIncrement = increment;
}

void TUpDown::SetBuddy(QWidget* buddy) {
    if (FBuddy != nullptr)
        FBuddy->removeEventFilter(this);
    FBuddy = buddy;
    if (FBuddy != nullptr)
        FBuddy->installEventFilter(this);
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched != FBuddy || event->type() != QEvent::KeyPress || !isEnabled())
        return false;
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Up:
        Step(UpDownButton::Up);
        return true;
    case Qt::Key_Down:
        Step(UpDownButton::Down);
        return true;
    default:
        return false;
    }
}

void TUpDown::resizeEvent(QResizeEvent* /*event*/) {
    const int upHeight = height() / 2;
    FUpButton->setGeometry(0, 0, width(), upHeight);
    FDownButton->setGeometry(0, upHeight, width(), height() - upHeight);
}

void TUpDown::UpPressed() {
    Step(UpDownButton::Up);
}

void TUpDown::DownPressed() {
    Step(UpDownButton::Down);
}

void TUpDown::Step(UpDownButton button) {
    // Computed wide so that a large increment near the ends of int cannot overflow.
    const long long delta =
        button == UpDownButton::Up ? FIncrement : -static_cast<long long>(FIncrement);
    const int target =
        static_cast<int>(std::clamp<long long>(FPosition + delta, FMinimum, FMaximum));
    if (target == FPosition) {
        return;
    }
    bool allowChange = true;
    emit changing(allowChange, target,
                  button == UpDownButton::Up ? UpDownDirection::Up : UpDownDirection::Down);
    if (!allowChange) {
        return;
    }
    FPosition = target;
    emit clicked(button);
}

} // namespace zopra
