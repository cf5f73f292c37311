#pragma once
// Keeps the generator's settings and the widgets that show them in step: a user's edit goes
// to the Generator's control setters (which run the handlers), a value a handler writes
// comes back into its widget, and leaving a field runs its exit handler. Errors a handler
// throws end up in the window's error box; the field keeps what was typed. Window thread.

#include "engine/generator.h"

#include <QObject>

#include <functional>
#include <vector>

class QAbstractButton;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSlider;
class QWidget;

namespace velmora::ui {

class WindowNotices;

class ControlBinding final : public QObject {
    Q_OBJECT
public:
    ControlBinding(Generator& generator, WindowNotices& notices, QObject* parent = nullptr);

    // Text: every edit runs the setter. Check: every toggle. Index: the user's choice only
    // (activated), as a selection (index + change handler). Position: every move.
    void bind(Control control, QLineEdit* edit);
    void bind(Control control, QAbstractButton* box);
    // A radio pair standing for one check state: `on` checked is true, `off` checked false.
    void bind(Control control, QRadioButton* on, QRadioButton* off);
    void bind(Control control, QComboBox* list);
    void bind(Control control, QSlider* slider);

    // Runs `handler` when the focus really leaves `edit` (not when the window or a menu takes it).
    void onExit(QLineEdit* edit, std::function<void()> handler);

    // Brings the widget of `control` to the stored value without running anything.
    void mirror(Control control);
    void mirrorAll();

    // Runs a handler and shows what it throws in the error box.
    void run(const std::function<void()>& handler);

    QWidget* widget(Control control) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        Control control;
        QWidget* widget;
        QRadioButton* off = nullptr;
    };
    struct Exit {
        QLineEdit* edit;
        std::function<void()> handler;
    };
    const Entry* find(Control control) const;

    Generator& generator_;
    WindowNotices& notices_;
    std::vector<Entry> entries_;
    std::vector<Exit> exits_;
};

} // namespace velmora::ui
