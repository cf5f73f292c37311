#include "ui/widgets/label_hover.h"

#include <QEvent>
#include <QLabel>

namespace velmora::ui {

void LabelHover::install(QLabel* label)
{
    label->installEventFilter(new LabelHover(label));
}

void LabelHover::setHovered(QLabel* label, bool hovered)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, hovered ? QColor(0, 0, 255) : QColor(0, 0, 0));
    label->setPalette(palette);
    QFont font = label->font();
    font.setUnderline(hovered);
    label->setFont(font);
}

bool LabelHover::eventFilter(QObject* watched, QEvent* event)
{
    if (auto* label = qobject_cast<QLabel*>(watched)) {
        if (event->type() == QEvent::Enter)
            setHovered(label, true);
        else if (event->type() == QEvent::Leave)
            setHovered(label, false);
    }
    return false;
}

} // namespace velmora::ui
