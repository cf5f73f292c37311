#include "ui/widgets/up_down.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace velmora::ui {

UpDown::UpDown(QWidget* parent) : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this))
{
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* button : {up_, down_}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
    }
    connect(up_, &QToolButton::clicked, this, [this] { step(+1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
}

void UpDown::setRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    setValue(value_);
}

void UpDown::setValue(int value)
{
    value = std::clamp(value, minimum_, maximum_);
    const bool moved = value != value_;
    value_ = value;
    if (moved)
        emit valueChanged(value_);
    if (buddy_) {
        const QString text = QString::number(value_);
        if (buddy_->text() != text) {
            buddy_->setText(text);
            buddy_->setCursorPosition(0);
        }
    }
}

void UpDown::setBuddy(QLineEdit* edit, NumberReader reader)
{
    if (buddy_)
        buddy_->removeEventFilter(this);
    buddy_ = edit;
    reader_ = std::move(reader);
    if (buddy_)
        buddy_->installEventFilter(this);
}

void UpDown::step(int direction)
{
    double from = value_;
    if (buddy_ && reader_) {
        if (const std::optional<double> shown = reader_(buddy_->text()); shown && std::isfinite(*shown))
            from = *shown;
    }
    // The next whole number in the arrow's direction: 100 goes to 101, 33.33 to 34 (or 33).
    const double next = direction > 0 ? std::floor(from) + 1 : std::ceil(from) - 1;
    setValue(static_cast<int>(std::clamp(next, static_cast<double>(minimum_), static_cast<double>(maximum_))));
}

bool UpDown::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == buddy_ && event->type() == QEvent::KeyPress && isEnabled()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            if (key->key() == Qt::Key_Up) {
                step(+1);
                return true;
            }
            if (key->key() == Qt::Key_Down) {
                step(-1);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDown::resizeEvent(QResizeEvent*)
{
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

} // namespace velmora::ui
