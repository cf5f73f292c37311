#include "ui/widgets/level_slider.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

namespace velmora::ui {

LevelSlider::LevelSlider(QWidget* parent) : QSlider(Qt::Vertical, parent) {}

void LevelSlider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.tickPosition = NoTicks; // the style draws groove and handle only; the ticks are ours
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);

    // The ticks, on the side the tick position names, from the handle's centre line at each
    // drawn position.
    if (tickPosition() != NoTicks && maximum() > minimum()) {
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        const int span = height() - handle.height();
        for (int p = minimum(); p <= maximum(); p += kDrawnTickEvery) {
            const int y = QStyle::sliderPositionFromValue(minimum(), maximum(), p, span, option.upsideDown) +
                          handle.height() / 2;
            if (tickPosition() & TicksRight)
                painter.drawLine(groove.right() + 2, y, width() - 1, y);
            if (tickPosition() & TicksLeft)
                painter.drawLine(0, y, groove.left() - 2, y);
        }
    }
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    if (hasFocus())
        option.state |= QStyle::State_HasFocus;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}

} // namespace velmora::ui
