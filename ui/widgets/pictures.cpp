#include "ui/widgets/pictures.h"

#include <QBitmap>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

namespace velmora::ui {

namespace {

const QColor kKey(255, 0, 0);              // transparent in every picture
const QColor kScreen(0, 0, 0);
const QColor kAxis(0, 96, 0);
const QColor kTrace(0, 255, 0);
const QColor kWhiteTrace(255, 255, 255);
const QColor kPinkTrace(255, 128, 192);
const QColor kBrownTrace(192, 128, 64);
const QColor kPaper(240, 240, 240);
const QColor kInk(0, 0, 128);
const QColor kRing(64, 64, 64);

constexpr double kPi = 3.14159265358979323846;

// A trace over x = 1..14 from a function of the phase t in [0, 1], centred on row 8 with
// six pixels of swing either way.
QPolygon traceOf(const std::function<double(double)>& shape)
{
    QPolygon points;
    for (int x = 1; x <= 14; ++x) {
        const double t = (x - 1) / 13.0;
        points << QPoint(x, static_cast<int>(std::lround(8.0 - 6.0 * shape(t))));
    }
    return points;
}

// Noise traces come from a fixed seed, so every run draws the same picture.
QPolygon noiseTrace(uint32_t seed, int smoothing)
{
    QPolygon points;
    double level = 0.0;
    for (int x = 1; x <= 14; ++x) {
        seed = seed * 134775813u + 1u;
        const double u = seed / 4294967296.0 * 2.0 - 1.0;
        level = (level * smoothing + u) / (smoothing + 1);
        const double swing = smoothing == 0 ? 6.5 : 6.5 * (smoothing + 1) / 2.0;
        points << QPoint(x, static_cast<int>(std::lround(8.0 - std::clamp(level * swing, -6.5, 6.5))));
    }
    return points;
}

// A noise trace whose second half repeats its first: a period played again.
QPolygon periodicTrace(uint32_t seed, int smoothing)
{
    const QPolygon first = noiseTrace(seed, smoothing);
    QPolygon points;
    for (int x = 1; x <= 14; ++x) points << QPoint(x, first[(x - 1) % 7].y());
    return points;
}

QPixmap scope(const QPolygon& trace, const QColor& colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(kScreen);
    QPainter p(&pixmap);
    p.setPen(kAxis);
    p.drawLine(0, 8, 15, 8);
    p.drawLine(1, 1, 1, 15);
    p.setPen(colour);
    p.drawPolyline(trace);
    return pixmap;
}

// The multitone as an analyser shows it: equal lines spread over the screen.
QPixmap comb()
{
    QPixmap pixmap = scope(QPolygon(), kTrace);
    QPainter p(&pixmap);
    p.setPen(kTrace);
    for (int x = 3; x <= 14; x += 2) p.drawLine(x, 3, x, 14);
    return pixmap;
}

QPixmap paper(const QPolygon& curve)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(kPaper);
    QPainter p(&pixmap);
    p.setPen(QColor(192, 192, 192));
    p.drawLine(0, 8, 15, 8);
    p.setPen(kInk);
    p.drawPolyline(curve);
    return pixmap;
}

QPixmap rings(QSize size, int count)
{
    QPixmap pixmap(size);
    pixmap.fill(kKey);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(kRing, 2));
    p.setBrush(Qt::NoBrush);
    if (count == 1) {
        p.drawEllipse(QRect(2, 2, 10, 10));
    } else {
        p.drawEllipse(QRect(1, 3, 8, 8));
        p.drawEllipse(QRect(6, 3, 8, 8));
    }
    return pixmap;
}

double sine(double t) { return std::sin(2 * kPi * t); }
double triangle(double t)
{
    if (t < 0.25)
        return 4 * t;
    if (t < 0.75)
        return 2 - 4 * t;
    return 4 * t - 4;
}

// Square wave drawn with vertical edges: rows 2 and 14, edge at x 7/8.
QPolygon squareTrace()
{
    return QPolygon({QPoint(1, 14), QPoint(1, 2), QPoint(7, 2), QPoint(7, 14), QPoint(14, 14), QPoint(14, 2)});
}

QPolygon sawtoothTrace()
{
    return QPolygon({QPoint(1, 14), QPoint(7, 2), QPoint(7, 14), QPoint(14, 2)});
}

QPolygon sinePulseTrace()
{
    QPolygon points;
    for (int x = 1; x <= 8; ++x)
        points << QPoint(x, static_cast<int>(std::lround(8.0 - 6.0 * std::sin(kPi * (x - 1) / 7.0))));
    points << QPoint(14, 8);
    return points;
}

QPolygon diracTrace()
{
    return QPolygon({QPoint(1, 8), QPoint(7, 8), QPoint(7, 2), QPoint(8, 2), QPoint(8, 8), QPoint(14, 8)});
}

QPixmap keyedOut(QPixmap pixmap)
{
    pixmap.setMask(pixmap.createMaskFromColor(kKey, Qt::MaskInColor));
    return pixmap;
}

} // namespace

QString pictureName(Picture picture)
{
    switch (picture) {
    case Picture::Sine: return QStringLiteral("SINE");
    case Picture::Square: return QStringLiteral("SQUARE");
    case Picture::Triangular: return QStringLiteral("TRIANGULAR");
    case Picture::Sawtooth: return QStringLiteral("SAWTOOTH");
    case Picture::White: return QStringLiteral("WHITE");
    case Picture::Pink: return QStringLiteral("PINK");
    case Picture::SinPulseP: return QStringLiteral("SINPULSEP");
    case Picture::PulsePos: return QStringLiteral("PULSEPOS");
    case Picture::Silence: return QStringLiteral("SILENCE");
    case Picture::ModSine: return QStringLiteral("MODSINE");
    case Picture::ModCos: return QStringLiteral("MODCOS");
    case Picture::ModSquare: return QStringLiteral("MODSQUARE");
    case Picture::ModTriangle: return QStringLiteral("MODTRIANGLE");
    case Picture::Mono: return QStringLiteral("MONO");
    case Picture::Stereo: return QStringLiteral("STEREO");
    case Picture::WhitePeriodic: return QStringLiteral("WHITEPERIODIC");
    case Picture::PinkPeriodic: return QStringLiteral("PINKPERIODIC");
    case Picture::BrownPeriodic: return QStringLiteral("BROWNPERIODIC");
    case Picture::Multitone: return QStringLiteral("MULTITONE");
    case Picture::ImdSmpte: return QStringLiteral("IMDSMPTE");
    case Picture::ImdCcif: return QStringLiteral("IMDCCIF");
    case Picture::ToneBurst: return QStringLiteral("TONEBURST");
    case Picture::ImdDin: return QStringLiteral("IMDDIN");
    }
    return {};
}

QPixmap drawPicture(Picture picture)
{
    switch (picture) {
    case Picture::Sine: return keyedOut(scope(traceOf(sine), kTrace));
    case Picture::Square: return keyedOut(scope(squareTrace(), kTrace));
    case Picture::Triangular: return keyedOut(scope(traceOf(triangle), kTrace));
    case Picture::Sawtooth: return keyedOut(scope(sawtoothTrace(), kTrace));
    case Picture::White: return keyedOut(scope(noiseTrace(12345u, 0), kWhiteTrace));
    case Picture::Pink: return keyedOut(scope(noiseTrace(2024u, 1), kPinkTrace));
    case Picture::SinPulseP: return keyedOut(scope(sinePulseTrace(), kTrace));
    case Picture::PulsePos: return keyedOut(scope(diracTrace(), kTrace));
    case Picture::Silence: return keyedOut(scope(QPolygon({QPoint(1, 8), QPoint(14, 8)}), kTrace));
    case Picture::ModSine: return keyedOut(paper(traceOf(sine)));
    case Picture::ModCos: return keyedOut(paper(traceOf([](double t) { return std::cos(2 * kPi * t); })));
    case Picture::ModSquare: return keyedOut(paper(squareTrace()));
    case Picture::ModTriangle: return keyedOut(paper(traceOf(triangle)));
    case Picture::Mono: return keyedOut(rings(QSize(14, 14), 1));
    case Picture::Stereo: return keyedOut(rings(QSize(15, 14), 2));
    case Picture::WhitePeriodic: return keyedOut(scope(periodicTrace(12345u, 0), kWhiteTrace));
    case Picture::PinkPeriodic: return keyedOut(scope(periodicTrace(2024u, 1), kPinkTrace));
    case Picture::BrownPeriodic: return keyedOut(scope(periodicTrace(77u, 3), kBrownTrace));
    case Picture::Multitone: return keyedOut(comb());
    // A slow tone carrying a fast one a quarter its size; two close tones beating.
    case Picture::ImdSmpte:
        return keyedOut(scope(traceOf([](double t) { return 0.75 * sine(t) + 0.25 * std::sin(12 * kPi * t); }), kTrace));
    case Picture::ImdCcif:
        return keyedOut(scope(traceOf([](double t) { return std::sin(11 * kPi * t) * std::cos(kPi * t); }), kTrace));
    // A few cycles swelling and fading under their window, then quiet; DIN as SMPTE, faster.
    case Picture::ToneBurst:
        return keyedOut(scope(traceOf([](double t) {
                                  return t < 0.6 ? std::sin(10 * kPi * t) * (0.5 - 0.5 * std::cos(2 * kPi * t / 0.6)) : 0.0;
                              }),
                              kTrace));
    case Picture::ImdDin:
        return keyedOut(scope(traceOf([](double t) { return 0.75 * sine(t) + 0.25 * std::sin(24 * kPi * t); }), kTrace));
    }
    return {};
}

QPixmap waveFormPicture(int index)
{
    static constexpr Picture kByIndex[] = {
        Picture::Sine,      Picture::Square,   Picture::Triangular, Picture::Sawtooth, Picture::White,
        Picture::Pink,      Picture::SinPulseP, Picture::PulsePos,  Picture::Silence,  Picture::White,
        Picture::WhitePeriodic, Picture::PinkPeriodic, Picture::BrownPeriodic,
        Picture::Multitone, Picture::ImdSmpte, Picture::ImdCcif, Picture::ToneBurst, Picture::ImdDin,
    };
    if (index < 0 || index >= static_cast<int>(std::size(kByIndex)))
        return {};
    return drawPicture(kByIndex[index]);
}

QPixmap modFunctionPicture(int index)
{
    static constexpr Picture kByIndex[] = {Picture::ModSine, Picture::ModCos, Picture::ModSquare,
                                           Picture::ModTriangle};
    if (index < 0 || index >= 4)
        return {};
    return drawPicture(kByIndex[index]);
}

QPixmap channelLayoutPicture(int index)
{
    if (index == 0)
        return drawPicture(Picture::Mono);
    if (index == 1)
        return drawPicture(Picture::Stereo);
    return {};
}

QPixmap programIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const double unit = size / 48.0;
    p.setPen(QPen(QColor(80, 80, 80), 2 * unit));
    p.setBrush(kScreen);
    p.drawRoundedRect(QRectF(2, 2, size - 4, size - 4), 6 * unit, 6 * unit);
    p.setPen(QPen(kAxis, unit));
    p.drawLine(QPointF(6 * unit, size / 2.0), QPointF(size - 6 * unit, size / 2.0));
    QPainterPath wave;
    for (int i = 0; i <= 64; ++i) {
        const double t = i / 64.0;
        const QPointF point(6 * unit + t * (size - 12 * unit), size / 2.0 - 14 * unit * std::sin(2 * kPi * t));
        if (i == 0)
            wave.moveTo(point);
        else
            wave.lineTo(point);
    }
    p.setPen(QPen(kTrace, 3 * unit));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    return pixmap;
}

} // namespace velmora::ui
