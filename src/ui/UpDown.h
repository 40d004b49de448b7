#pragma once

#include <QWidget>

class QToolButton;

namespace zopra {

// Which way a spinner is about to move.
enum class UpDownDirection { None, Up, Down };

// Which arrow of a spinner was pressed.
enum class UpDownButton { Up, Down };

// An up-down spinner: two arrow buttons, the up arrow above the down arrow, stepping a position
// that is not tied to any edit field. Position stays within Min..Max and never wraps around.
//
// A press asks first: changing() carries the position the spinner is about to take and the
// direction, and a handler may refuse the move by clearing allowChange. Only when the move is
// allowed does the position change, and clicked() follows with the arrow that was pressed.
// A press that cannot move the position (already at the limit) reports nothing, so a handler
// never sees a step that did not happen. Holding an arrow down repeats the press.
class TUpDown : public QWidget {
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

    QToolButton* upButton() const { return FUpButton; }
    QToolButton* downButton() const { return FDownButton; }

signals:
    void changing(bool& allowChange, int newValue, zopra::UpDownDirection direction);
    void clicked(zopra::UpDownButton button);

protected:
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void UpPressed();
    void DownPressed();

private:
    void Step(UpDownButton button);
    QToolButton* AddArrow(Qt::ArrowType arrow);

    QToolButton* FUpButton = nullptr;
    QToolButton* FDownButton = nullptr;
    int FMinimum = 0;
    int FMaximum = 100;
    int FPosition = 0;
    int FIncrement = 1;
};

} // namespace zopra
