#pragma once

#include "form/Controls.h"

#include <QWidget>

class QToolButton;

namespace zopra {

// An up-down spinner: two arrow buttons, the up arrow above the down arrow, stepping a position
// that is not tied to any edit field. Position stays within Min..Max and never wraps around.
//
// A press asks first: changing() carries the position the spinner is about to take and the
// direction, and a handler may refuse the move by clearing allowChange. Only when the move is
// allowed does the position change, and clicked() follows with the arrow that was pressed.
// A press that cannot move the position (already at the limit) reports nothing, so a handler
// never sees a step that did not happen. Holding an arrow down repeats the press. The signals
// are also reported to the form, as its up-down interface says.
class TUpDown : public QWidget, public IUpDown {
    Q_OBJECT

public:
    explicit TUpDown(QWidget* parent = nullptr);

    int minimum() const { return FMinimum; }
    int maximum() const { return FMaximum; }
    int position() const { return FPosition; }
    int increment() const { return FIncrement; }

    void setMinimum(int minimum);
    void setMaximum(int maximum);
    void setRange(int minimum, int maximum);
    // Moves the spinner without asking or reporting, clamped to the range.
    void setPosition(int position);
    void setIncrement(int increment);

    int Position() const override { return FPosition; }
    void SetPosition(int position) override { setPosition(position); }
    void SetEnabled(bool enabled) override { setEnabled(enabled); }
    bool Enabled() const override { return isEnabled(); }
    void SetVisible(bool visible) override { setVisible(visible); }
    bool Visible() const override { return !isHidden(); }

    // The field beside the spinner: Up and Down typed there press the arrows.
    void SetBuddy(QWidget* buddy);

    QToolButton* upButton() const { return FUpButton; }
    QToolButton* downButton() const { return FDownButton; }

signals:
    void changing(bool& allowChange, int newValue, zopra::UpDownDirection direction);
    void clicked(zopra::UpDownButton button);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void UpPressed();
    void DownPressed();

private:
    void Step(UpDownButton button);
    QToolButton* AddArrow(Qt::ArrowType arrow);

    QToolButton* FUpButton = nullptr;
    QToolButton* FDownButton = nullptr;
    QWidget* FBuddy = nullptr;
    int FMinimum = 0;
    int FMaximum = 100;
    int FPosition = 0;
    int FIncrement = 1;
};

} // namespace zopra
