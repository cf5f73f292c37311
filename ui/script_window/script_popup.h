#pragma once
// TfrmScriptPopup: the small tool window shown while a script runs, with the current line
// and the Cancel and Next buttons. It holds no logic of its own: the script controller
// decides what Cancel and Next do. Window thread.

#include <QWidget>

class QLabel;
class QPushButton;

namespace velmora::ui {

class TfrmScriptPopup final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmScriptPopup(QWidget* parent = nullptr);

    QPushButton* Button1 = nullptr; // "Cancel": closes the window
    QPushButton* Button2 = nullptr; // "Next"
    QLabel* Label1 = nullptr;       // the current line

    // Shows the window centred on the screen.
    void showCentred();

signals:
    void closed(); // by Cancel or by the close box

protected:
    void closeEvent(QCloseEvent* event) override;
};

} // namespace velmora::ui
