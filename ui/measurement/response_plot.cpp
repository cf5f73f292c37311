#include "ui/measurement/response_plot.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace velmora::ui {

QString FrequencyLabel(double hz)
{
    if (hz >= 1000) {
        const double k = hz / 1000;
        return (std::abs(k - std::round(k)) < 1e-9 ? QString::number(std::lround(k)) : QString::number(k, 'g', 3)) +
               QStringLiteral("k");
    }
    return QString::number(hz, 'g', 4);
}

ResponsePlot::ResponsePlot(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pbxResponse"));
    setAutoFillBackground(false);
}

void ResponsePlot::clear()
{
    curves_.clear();
    update();
}

void ResponsePlot::setCurves(std::vector<PlotCurve> curves, double floorDb)
{
    curves_ = std::move(curves);
    double low = INFINITY, high = 0, top = -INFINITY;
    for (const auto& c : curves_) {
        for (size_t i = 0; i < c.hz.size() && i < c.db.size(); ++i) {
            if (!(c.hz[i] > 0) || !std::isfinite(c.db[i])) continue;
            low = std::min(low, c.hz[i]);
            high = std::max(high, c.hz[i]);
            top = std::max(top, c.db[i]);
        }
    }
    if (std::isfinite(low) && high > low) {
        // Whole 1-2-5 steps around the data, so that the edges carry labels.
        const auto stepDown = [](double f) {
            const double decade = std::pow(10.0, std::floor(std::log10(f)));
            for (double m : {5.0, 2.0, 1.0})
                if (m * decade <= f * (1 + 1e-9)) return m * decade;
            return decade;
        };
        const auto stepUp = [](double f) {
            const double decade = std::pow(10.0, std::floor(std::log10(f)));
            for (double m : {1.0, 2.0, 5.0, 10.0})
                if (m * decade >= f * (1 - 1e-9)) return m * decade;
            return 10 * decade;
        };
        lowHz_ = stepDown(low);
        highHz_ = stepUp(high);
    } else {
        lowHz_ = 20;
        highHz_ = 20000;
    }
    if (std::isfinite(top)) {
        topDb_ = std::ceil((top + 3) / 10) * 10;
        bottomDb_ = topDb_ - std::max(20.0, std::ceil(floorDb / 10) * 10);
    } else {
        topDb_ = 10;
        bottomDb_ = -90;
    }
    update();
}

void ResponsePlot::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(rect(), palette().base());
    const QFontMetrics fm(font());
    const int left = fm.horizontalAdvance(QStringLiteral("-120 dB")) + 8;
    // Below the frequency labels, one line of legend.
    const int bottom = 2 * fm.height() + 10;
    const int right = 10, top = 8;
    const QRectF area(left, top, std::max(10, width() - left - right), std::max(10, height() - top - bottom));
    const double lx0 = std::log10(lowHz_), lx1 = std::log10(highHz_);
    const auto x = [&](double hz) { return area.left() + (std::log10(hz) - lx0) / (lx1 - lx0) * area.width(); };
    const auto y = [&](double db) { return area.top() + (topDb_ - db) / (topDb_ - bottomDb_) * area.height(); };

    const QColor grid = palette().color(QPalette::Mid);
    const QColor text = palette().color(QPalette::Text);
    p.setPen(QPen(grid, 0));
    // Frequency grid: every 1-2-5 step, labelled.
    for (double decade = std::pow(10.0, std::floor(lx0)); decade <= highHz_; decade *= 10) {
        for (double m : {1.0, 2.0, 5.0}) {
            const double f = m * decade;
            if (f < lowHz_ * (1 - 1e-9) || f > highHz_ * (1 + 1e-9)) continue;
            const double xf = x(f);
            p.setPen(QPen(grid, m == 1 ? 1.0 : 0.5));
            p.drawLine(QPointF(xf, area.top()), QPointF(xf, area.bottom()));
            p.setPen(text);
            const QString label = FrequencyLabel(f);
            p.drawText(QPointF(xf - fm.horizontalAdvance(label) / 2.0, area.bottom() + fm.ascent() + 3), label);
        }
    }
    const double dbStep = (topDb_ - bottomDb_) > 100 ? 20 : 10;
    for (double db = topDb_; db >= bottomDb_ - 1e-9; db -= dbStep) {
        const double yd = y(db);
        p.setPen(QPen(grid, 0.5));
        p.drawLine(QPointF(area.left(), yd), QPointF(area.right(), yd));
        p.setPen(text);
        const QString label = QStringLiteral("%1 dB").arg(db, 0, 'f', 0);
        p.drawText(QPointF(area.left() - 4 - fm.horizontalAdvance(label), yd + fm.ascent() / 2.0 - 1), label);
    }
    p.setPen(QPen(text, 1));
    p.drawRect(area);

    p.setClipRect(area);
    for (const auto& c : curves_) {
        QPainterPath path;
        bool pen = false;
        for (size_t i = 0; i < c.hz.size() && i < c.db.size(); ++i) {
            if (!(c.hz[i] > 0) || !std::isfinite(c.db[i])) {
                pen = false;
                continue;
            }
            const QPointF pt(x(c.hz[i]), y(std::max(c.db[i], bottomDb_ - 10)));
            if (pen) path.lineTo(pt);
            else path.moveTo(pt);
            pen = true;
        }
        p.setPen(QPen(c.colour, 1.5));
        p.drawPath(path);
    }
    p.setClipping(false);

    // The legend: one line under the frequency axis, the curves in their order.
    int lx = int(area.left());
    const int ly = int(area.bottom()) + fm.height() + 8;
    for (const auto& c : curves_) {
        if (c.name.isEmpty()) continue;
        p.setPen(QPen(c.colour, 2));
        p.drawLine(lx, ly + fm.height() / 2, lx + 18, ly + fm.height() / 2);
        p.setPen(text);
        p.drawText(QPoint(lx + 22, ly + fm.ascent()), c.name);
        lx += 22 + fm.horizontalAdvance(c.name) + 14;
    }
}

} // namespace velmora::ui
