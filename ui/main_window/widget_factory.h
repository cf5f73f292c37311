#pragma once
// Small makers for the window's absolutely placed controls: each creates the widget on
// `parent`, names it, places it and sets its caption and hint. Window thread.

#include <QRect>
#include <QString>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace velmora::ui {

// A label sized to its text, with its top-left corner at (x, y).
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, int x, int y);
QLineEdit* makeEdit(QWidget* parent, const QString& name, const QString& text, const QRect& place,
                    const QString& hint = {});
QCheckBox* makeCheckBox(QWidget* parent, const QString& name, const QString& text, const QRect& place,
                        const QString& hint = {});
QRadioButton* makeRadioButton(QWidget* parent, const QString& name, const QString& text, const QRect& place,
                              const QString& hint = {});
QPushButton* makeButton(QWidget* parent, const QString& name, const QString& text, const QRect& place,
                        const QString& hint = {});
QGroupBox* makeGroupBox(QWidget* parent, const QString& name, const QString& title, const QRect& place);

} // namespace velmora::ui
