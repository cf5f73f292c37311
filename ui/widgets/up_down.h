#pragma once
// A pair of arrow buttons holding a whole-number position within a range (no wrap), set
// beside an edit box. Window thread.

#include <QWidget>

class QToolButton;

namespace velmora::ui {

class UpDown final : public QWidget {
    Q_OBJECT
public:
    explicit UpDown(QWidget* parent);

    void setRange(int minimum, int maximum);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int value() const { return value_; }
    // Clamps to the range; emits valueChanged when the position moves.
    void setValue(int value);
    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

signals:
    void valueChanged(int value);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* up_;
    QToolButton* down_;
    int minimum_ = 0;
    int maximum_ = 100;
    int value_ = 0;
};

} // namespace velmora::ui
