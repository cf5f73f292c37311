#include "ui/widgets/shape_circle.h"

#include <QPainter>

namespace velmora::ui {

ShapeCircle::ShapeCircle(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void ShapeCircle::setBrushColour(const QColor& colour)
{
    brush_ = colour;
    update();
}

void ShapeCircle::setPenColour(const QColor& colour)
{
    pen_ = colour;
    update();
}

void ShapeCircle::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int diameter = std::min(width(), height()) - 1;
    const QRectF circle((width() - diameter) / 2.0, (height() - diameter) / 2.0, diameter, diameter);
    painter.setPen(pen_);
    painter.setBrush(brush_);
    painter.drawEllipse(circle.adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace velmora::ui
