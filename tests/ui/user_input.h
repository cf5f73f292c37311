#pragma once
// What a user does to a widget, as the widget reports it.

#include <QAbstractButton>
#include <QComboBox>
#include <QFocusEvent>
#include <QCoreApplication>
#include <QLineEdit>

namespace velmora::ui::test {

// Chooses an entry of a list as a user does (the list reports it as activated).
inline void choose(QComboBox* list, int index)
{
    list->setCurrentIndex(index);
    emit list->activated(index);
}

// Types `text` over the field's contents.
inline void type(QLineEdit* edit, const QString& text) { edit->setText(text); }

// The focus leaves the field for another control of the window.
inline void leave(QLineEdit* edit)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(edit, &out);
}

inline void click(QAbstractButton* button) { button->click(); }

} // namespace velmora::ui::test
