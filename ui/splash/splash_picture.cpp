#include "ui/splash/splash_picture.h"

#include "ui/widgets/pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace velmora::ui {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Nothing on the card is pure white: that colour is the window's transparent key.
const QColor kCardTop(16, 24, 32);
const QColor kCardBottom(30, 44, 56);
const QColor kCardEdge(52, 74, 92);
const QColor kTitle(238, 243, 246);
const QColor kSubtitle(143, 196, 160);
const QColor kSmallPrint(127, 149, 163);
const QColor kScreen(0, 0, 0);
const QColor kGrid(0, 52, 0);
const QColor kAxis(0, 96, 0);
const QColor kTrace(0, 255, 0);

QFont font(int pixels, QFont::Weight weight)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixels);
    f.setWeight(weight);
    return f;
}

// An oscilloscope screen showing a logarithmic sweep, the program's own kind of signal.
void drawScope(QPainter& p, const QRectF& screen)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(kScreen);
    p.drawRoundedRect(screen, 6, 6);

    p.setPen(QPen(kGrid, 1));
    for (int i = 1; i < 10; ++i) {
        const double x = screen.left() + screen.width() * i / 10;
        p.drawLine(QPointF(x, screen.top() + 4), QPointF(x, screen.bottom() - 4));
    }
    for (int i = 1; i < 4; ++i) {
        const double y = screen.top() + screen.height() * i / 4;
        p.drawLine(QPointF(screen.left() + 4, y), QPointF(screen.right() - 4, y));
    }
    p.setPen(QPen(kAxis, 1));
    p.drawLine(QPointF(screen.left() + 4, screen.center().y()), QPointF(screen.right() - 4, screen.center().y()));

    // Phase of a sweep from f0 to f1 cycles over the width, rising exponentially.
    const double f0 = 1.5;
    const double f1 = 40;
    const double k = std::log(f1 / f0);
    const double left = screen.left() + 10;
    const double width = screen.width() - 20;
    const double amplitude = screen.height() * 0.36;
    QPainterPath trace;
    const int points = 1400;
    for (int i = 0; i <= points; ++i) {
        const double t = double(i) / points;
        const double phase = 2 * kPi * f0 * (std::exp(k * t) - 1) / k;
        const QPointF point(left + t * width, screen.center().y() - amplitude * std::sin(phase));
        if (i == 0)
            trace.moveTo(point);
        else
            trace.lineTo(point);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 255, 0, 50), 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(trace);
    p.setPen(QPen(kTrace, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(trace);
}

} // namespace

QImage drawSplashPicture()
{
    QImage image(kSplashSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);

    // The card's outline is drawn without smoothing, so that its edge against the white key
    // is clean: smoothed edge pixels would be near-white and show as a light fringe.
    const QRectF card(0, 0, kSplashSize.width(), kSplashSize.height());
    QLinearGradient ground(card.topLeft(), card.bottomRight());
    ground.setColorAt(0, kCardTop);
    ground.setColorAt(1, kCardBottom);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(ground);
    p.drawRoundedRect(card, 16, 16);
    p.setPen(QPen(kCardEdge, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(card.adjusted(1, 1, -1, -1), 15, 15);

    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.drawPixmap(32, 30, programIcon(60));

    p.setPen(kTitle);
    p.setFont(font(48, QFont::Bold));
    p.drawText(QRectF(108, 22, 420, 56), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmora"));
    p.setPen(kSubtitle);
    p.setFont(font(17, QFont::Normal));
    p.drawText(QRectF(110, 74, 420, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Audio Test Signal Generator"));

    drawScope(p, QRectF(32, 116, kSplashSize.width() - 64, 150));

    p.setPen(kSmallPrint);
    p.setFont(font(12, QFont::Normal));
    const QRectF footer(34, 278, kSplashSize.width() - 68, 22);
    p.drawText(footer, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Version 4.6"));
    p.drawText(footer, Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Tones \u00B7 Sweeps \u00B7 Pulses \u00B7 Noise \u00B7 MLS"));
    return image;
}

} // namespace velmora::ui
