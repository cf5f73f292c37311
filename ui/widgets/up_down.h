#pragma once
// A pair of arrow buttons holding a whole-number position within a range (no wrap), set
// beside an edit box. Window thread.

#include <QWidget>

#include <functional>
#include <optional>

class QLineEdit;
class QToolButton;

namespace velmora::ui {

class UpDown final : public QWidget {
    Q_OBJECT
public:
    // Reads the number a buddy field shows; nullopt when its text is not a number.
    using NumberReader = std::function<std::optional<double>(const QString&)>;

    explicit UpDown(QWidget* parent);

    void setRange(int minimum, int maximum);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    int value() const { return value_; }
    // Clamps to the range; emits valueChanged when the position moves. With a buddy, the
    // position is written into it as a whole number (when its text differs).
    void setValue(int value);
    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

    // Binds the arrows to `edit`: a step starts from the number the field shows (the last
    // position when it shows none), goes to the next whole number in the arrow's direction
    // and writes it into the field, so the field's own change handling runs. The Up and Down
    // keys in the field step as the arrows do.
    void setBuddy(QLineEdit* edit, NumberReader reader);
    QLineEdit* buddy() const { return buddy_; }
    // One step up (+1) or down (-1), as an arrow click.
    void step(int direction);

signals:
    void valueChanged(int value);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QToolButton* up_;
    QToolButton* down_;
    QLineEdit* buddy_ = nullptr;
    NumberReader reader_;
    int minimum_ = 0;
    int maximum_ = 100;
    int value_ = 0;
};

} // namespace velmora::ui
