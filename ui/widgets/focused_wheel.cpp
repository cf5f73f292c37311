#include "ui/widgets/focused_wheel.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace velmora::ui {

namespace {
class WheelGuard final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Wheel) {
            auto* widget = static_cast<QWidget*>(watched);
            if (!widget->hasFocus()) {
                event->ignore();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

bool takesWheel(QWidget* widget)
{
    return qobject_cast<QComboBox*>(widget) || qobject_cast<QAbstractSlider*>(widget) ||
           qobject_cast<QAbstractSpinBox*>(widget);
}

WheelGuard* guard()
{
    static WheelGuard* instance = new WheelGuard(QCoreApplication::instance());
    return instance;
}
} // namespace

void wheelOnlyWhenFocused(QWidget* root)
{
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* widget : widgets) {
        if (!takesWheel(widget))
            continue;
        if (widget->focusPolicy() == Qt::WheelFocus)
            widget->setFocusPolicy(Qt::StrongFocus);
        widget->removeEventFilter(guard());
        widget->installEventFilter(guard());
    }
}

} // namespace velmora::ui
