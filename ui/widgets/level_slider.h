#pragma once
// The vertical level slider: 10001 positions of 0.01 dB with a tick every 10 positions, as
// its tick interval says. Drawn one for one, a thousand ticks merge into a solid bar that
// reads like a level meter, so the ticks drawn are the whole 10 dB steps. Window thread.

#include <QSlider>

namespace velmora::ui {

class LevelSlider final : public QSlider {
    Q_OBJECT
public:
    explicit LevelSlider(QWidget* parent);

    // Positions between two drawn ticks.
    static constexpr int kDrawnTickEvery = 1000;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace velmora::ui
