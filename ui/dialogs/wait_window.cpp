#include "ui/dialogs/wait_window.h"

#include "ui/widgets/window_fonts.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

namespace velmora::ui {

TfrmWait::TfrmWait(QWidget* owner)
    : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint), owner_(owner)
{
    setObjectName(QStringLiteral("frmWait"));
    setWindowTitle(QStringLiteral("Velmora"));
    setFont(windowFont());
    setFixedSize(300, 105);

    Label1 = new QLabel(QStringLiteral("Please wait, generating and saving test tone..."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(12, 12, 276, 17);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(12, 38, 276, 18);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);

    Button1 = new QPushButton(QStringLiteral("Cancel"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(112, 68, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &TfrmWait::cancelled);
}

void TfrmWait::showCentred()
{
    if (owner_) {
        // Above the owner in the window manager's stacking, without being its Qt child.
        winId();
        if (QWindow* own = owner_->window()->windowHandle()) windowHandle()->setTransientParent(own);
    }
    const QScreen* screen = owner_ ? owner_->screen() : QGuiApplication::primaryScreen();
    if (screen) move(screen->geometry().center() - rect().center());
    show();
    raise();
    activateWindow();
}

void TfrmWait::closeEvent(QCloseEvent* event)
{
    // Only the export hides this window; a close request from outside means Cancel.
    if (isVisible() && event->spontaneous()) {
        event->ignore();
        emit cancelled();
        return;
    }
    QWidget::closeEvent(event);
}

} // namespace velmora::ui

namespace velmora::ui {

void TfrmWait::keyPressEvent(QKeyEvent* event)
{
    // Escape is Cancel wherever the focus is in this window (at once: a button shortcut
    // would click only after its animation).
    if (event->key() == Qt::Key_Escape) {
        emit cancelled();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace velmora::ui
