#include "ui/main_window/widget_factory.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace velmora::ui {

namespace {
template <class W>
W* placed(W* widget, const QString& name, const QRect& place, const QString& hint)
{
    widget->setObjectName(name);
    widget->setGeometry(place);
    if (!hint.isEmpty())
        widget->setToolTip(hint);
    return widget;
}
} // namespace

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->adjustSize();
    label->move(x, y);
    return label;
}

QLineEdit* makeEdit(QWidget* parent, const QString& name, const QString& text, const QRect& place,
                    const QString& hint)
{
    return placed(new QLineEdit(text, parent), name, place, hint);
}

QCheckBox* makeCheckBox(QWidget* parent, const QString& name, const QString& text, const QRect& place,
                        const QString& hint)
{
    return placed(new QCheckBox(text, parent), name, place, hint);
}

QRadioButton* makeRadioButton(QWidget* parent, const QString& name, const QString& text, const QRect& place,
                              const QString& hint)
{
    return placed(new QRadioButton(text, parent), name, place, hint);
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& text, const QRect& place,
                        const QString& hint)
{
    auto* button = placed(new QPushButton(text, parent), name, place, hint);
    button->setAutoDefault(false);
    return button;
}

QGroupBox* makeGroupBox(QWidget* parent, const QString& name, const QString& title, const QRect& place)
{
    return placed(new QGroupBox(title, parent), name, place, {});
}

} // namespace velmora::ui
