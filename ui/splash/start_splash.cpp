#include "ui/splash/start_splash.h"

#include "ui/splash/splash_picture.h"

#include <QBitmap>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QThread>

namespace velmora::ui {

TfrmStartSplash::TfrmStartSplash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(drawSplashPicture())
{
    setObjectName(QStringLiteral("frmStartSplash"));
    setWindowTitle(QStringLiteral("Velmora"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setFixedSize(picture_.size());
    // White is the picture's transparent colour.
    setMask(QBitmap::fromImage(picture_.createMaskFromColor(qRgb(255, 255, 255), Qt::MaskInColor)));
    setCursor(Qt::PointingHandCursor);
    setWindowOpacity(0.0);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }
    wait = [](int milliseconds) {
        QThread::msleep(static_cast<unsigned long>(milliseconds));
        QCoreApplication::processEvents();
    };
}

int TfrmStartSplash::alpha() const { return qRound(windowOpacity() * 255); }

void TfrmStartSplash::setAlpha(int alpha)
{
    setWindowOpacity(alpha / 255.0);
    // The window system may hold the change back until the event loop next waits, which it
    // does not do between the steps of a fade: hand it over now.
    if (isVisible()) QGuiApplication::sync();
}

void TfrmStartSplash::fadeIn()
{
    show();
    raise();
    for (int i = 1; i <= 15; ++i) {
        setAlpha(16 * i);
        wait(20);
    }
}

int TfrmStartSplash::hold()
{
    repaint();
    clicked_ = false;
    int rounds = 0;
    do {
        wait(50);
        ++rounds;
    } while (!clicked_ && rounds < 7);
    return rounds;
}

void TfrmStartSplash::fadeOut()
{
    for (int i = 1; i <= 15; ++i) {
        setAlpha(256 - 16 * i);
        wait(20);
    }
    hide();
}

void TfrmStartSplash::paintEvent(QPaintEvent*)
{
    QPainter(this).drawImage(0, 0, picture_);
}

void TfrmStartSplash::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) imgSplashClick();
    QWidget::mousePressEvent(event);
}

} // namespace velmora::ui
