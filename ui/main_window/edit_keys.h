#pragma once
// Keys that the main window's edit boxes hand to the window rather than keep: Enter presses
// the window's default button (ON, or OFF while the generator runs), as in a dialog, which a
// main window otherwise ignores; Ctrl+Insert runs the ON/OFF toggle instead of copying
// (Ctrl+C, Ctrl+X and Ctrl+Z still edit text). Window thread.

#include <QObject>

#include <functional>
#include <initializer_list>
#include <vector>

class QLineEdit;
class QPushButton;

namespace velmora::ui {

class EditKeys final : public QObject {
    Q_OBJECT
public:
    // `defaults` are the buttons that may be the default one; `toggle` is the ON/OFF toggle.
    EditKeys(std::initializer_list<QPushButton*> defaults, std::function<void()> toggle, QObject* parent);

    void watch(QLineEdit* edit);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::vector<QPushButton*> defaults_;
    std::function<void()> toggle_;
};

} // namespace velmora::ui
