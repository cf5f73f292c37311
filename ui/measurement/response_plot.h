#pragma once
// A frequency-response plot: curves in dB over a logarithmic frequency axis, with a grid
// at 1-2-5 steps of each decade and at every 10 dB (or 20 dB for tall ranges), and a
// legend. Window thread. Holds its curves; paints only when shown.

#include <QColor>
#include <QString>
#include <QWidget>

#include <vector>

namespace velmora::ui {

struct PlotCurve {
    QString name;
    QColor colour;
    std::vector<double> hz; // ascending, > 0
    std::vector<double> db; // one per frequency; NaN leaves a gap
};

class ResponsePlot final : public QWidget {
    Q_OBJECT
public:
    explicit ResponsePlot(QWidget* parent = nullptr);

    // Replaces the curves; the axes take the union of their frequencies and a dB range
    // from the highest level down to at most `floorDb` below it.
    void setCurves(std::vector<PlotCurve> curves, double floorDb = 100);
    void clear();
    const std::vector<PlotCurve>& curves() const { return curves_; }

    // The axes as drawn, for tests: frequency and dB limits.
    double lowHz() const { return lowHz_; }
    double highHz() const { return highHz_; }
    double topDb() const { return topDb_; }
    double bottomDb() const { return bottomDb_; }

    QSize sizeHint() const override { return {560, 300}; }
    QSize minimumSizeHint() const override { return {240, 140}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<PlotCurve> curves_;
    double lowHz_ = 20, highHz_ = 20000, topDb_ = 10, bottomDb_ = -90;
};

// "20", "200", "2k", "20k": the frequency axis' labels.
QString FrequencyLabel(double hz);

} // namespace velmora::ui
