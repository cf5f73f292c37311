#pragma once
// The progress window of a wave export: "Please wait, generating and saving test tone...",
// a progress bar and Cancel (also Escape). A small tool window with no title-bar buttons,
// centred on the screen; it cannot be closed except by the export that shows it, and
// Cancel only raises a flag the export polls. Window thread.

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace velmora::ui {

class TfrmWait final : public QWidget {
    Q_OBJECT
public:
    // `owner` (may be null) is the window it stays above; it is not the Qt parent, so that
    // disabling the owner leaves Cancel usable.
    explicit TfrmWait(QWidget* owner = nullptr);

    QLabel* Label1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* Button1 = nullptr;

    // Centres the window on the screen and shows it above its owner.
    void showCentred();

signals:
    // Cancel was clicked (or Escape pressed, or the window manager asked to close it).
    void cancelled();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* owner_;
};

} // namespace velmora::ui
