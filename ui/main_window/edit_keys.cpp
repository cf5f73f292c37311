#include "ui/main_window/edit_keys.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace velmora::ui {

namespace {
bool isToggleKey(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Insert && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
}

bool isEnterKey(const QKeyEvent* key)
{
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
           (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}
} // namespace

EditKeys::EditKeys(std::initializer_list<QPushButton*> defaults, std::function<void()> toggle, QObject* parent)
    : QObject(parent), defaults_(defaults), toggle_(std::move(toggle))
{
}

void EditKeys::watch(QLineEdit* edit) { edit->installEventFilter(this); }

bool EditKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (isToggleKey(key)) {
        // Claimed at the override so that no shortcut of the same key runs the toggle twice;
        // the press itself then runs it once.
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept();
        } else if (!key->isAutoRepeat() && toggle_) {
            toggle_();
        }
        return true;
    }
    if (event->type() == QEvent::KeyPress && isEnterKey(key)) {
        for (QPushButton* button : defaults_) {
            if (button->isDefault()) {
                button->click(); // does nothing while the button is disabled
                break;
            }
        }
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velmora::ui
