#pragma once
// Link-like hover on a label: blue and underlined while the mouse is over it, black and plain
// otherwise. Window thread.

#include <QObject>

class QLabel;

namespace velmora::ui {

class LabelHover final : public QObject {
    Q_OBJECT
public:
    // Installs the hover on `label`; the filter is owned by the label.
    static void install(QLabel* label);

    // The looks the hover switches between (also used when a window resets a label).
    static void setHovered(QLabel* label, bool hovered);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

} // namespace velmora::ui
