#include "ui/dialogs/period_wait_window.h"

#include "ui/widgets/window_fonts.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace velmora::ui {

PeriodWaitWindow::PeriodWaitWindow(QWidget* owner)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), owner_(owner)
{
    setObjectName(QStringLiteral("frmPeriodWait"));
    setWindowTitle(QStringLiteral("Velmora"));
    setFont(windowFont());
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowModality(Qt::ApplicationModal);

    lblPeriodWait = new QLabel(this);
    lblPeriodWait->setObjectName(QStringLiteral("lblPeriodWait"));
    barPeriodWait = new QProgressBar(this);
    barPeriodWait->setObjectName(QStringLiteral("barPeriodWait"));
    barPeriodWait->setRange(0, 0); // busy: how long the refinement takes is not known ahead
    barPeriodWait->setTextVisible(false);
    lblPeriodWaitTime = new QLabel(this);
    lblPeriodWaitTime->setObjectName(QStringLiteral("lblPeriodWaitTime"));
    btnPeriodWaitCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnPeriodWaitCancel->setObjectName(QStringLiteral("btnPeriodWaitCancel"));
    connect(btnPeriodWaitCancel, &QPushButton::clicked, this, [this] { cancelled_ = true; });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblPeriodWait);
    layout->addWidget(barPeriodWait);
    layout->addWidget(lblPeriodWaitTime);
    layout->addWidget(btnPeriodWaitCancel, 0, Qt::AlignRight);
    setMinimumWidth(320);
}

bool PeriodWaitWindow::wait(const std::function<bool()>& finished, const std::function<bool()>& givenUp,
                            qint64 samples)
{
    cancelled_ = false;
    QElapsedTimer clock;
    clock.start();
    // A moment's wait shows nothing and takes no input from the user.
    while (clock.elapsed() < showAfterMs) {
        if (finished()) return true;
        if (givenUp()) return false;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(5);
    }
    if (finished()) return true;
    if (givenUp()) return false;

    lblPeriodWait->setText(QStringLiteral("Making the signal's period (%1 samples) before it plays...").arg(samples));
    lblPeriodWaitTime->setText(QStringLiteral("0 s"));
    adjustSize();
    if (owner_) {
        const QRect over = owner_->frameGeometry();
        move(over.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow();

    QEventLoop loop;
    QTimer poll;
    poll.setInterval(20);
    bool done = false;
    connect(&poll, &QTimer::timeout, &loop, [&] {
        lblPeriodWaitTime->setText(QStringLiteral("%1 s").arg(clock.elapsed() / 1000));
        if (finished()) {
            done = true;
            loop.quit();
        } else if (cancelled_ || givenUp()) {
            loop.quit();
        }
    });
    connect(btnPeriodWaitCancel, &QPushButton::clicked, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    hide();
    // The keyboard goes back to the window that was switched on.
    if (owner_) owner_->activateWindow();
    return done;
}

void PeriodWaitWindow::closeEvent(QCloseEvent* event)
{
    // Closing is giving up.
    cancelled_ = true;
    event->ignore();
}

void PeriodWaitWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        cancelled_ = true;
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace velmora::ui
