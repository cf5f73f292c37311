#pragma once
// A filled circle with an outline, as large as fits the widget and centred in it: the status
// lamp and its highlight. Window thread.

#include <QColor>
#include <QWidget>

namespace velmora::ui {

class ShapeCircle final : public QWidget {
    Q_OBJECT
public:
    explicit ShapeCircle(QWidget* parent);

    void setBrushColour(const QColor& colour);
    QColor brushColour() const { return brush_; }
    void setPenColour(const QColor& colour);
    QColor penColour() const { return pen_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor brush_{Qt::white};
    QColor pen_{Qt::black};
};

} // namespace velmora::ui
