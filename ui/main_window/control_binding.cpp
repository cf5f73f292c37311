#include "ui/main_window/control_binding.h"

#include "ui/main_window/window_notices.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>

#include <exception>

namespace velmora::ui {

namespace {
Control normalised(Control c)
{
    if (!HasTwin(c.field)) c.channel = Channel::Left;
    return c;
}
} // namespace

ControlBinding::ControlBinding(Generator& generator, WindowNotices& notices, QObject* parent)
    : QObject(parent), generator_(generator), notices_(notices)
{
}

void ControlBinding::run(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        notices_.errorBox(QString::fromStdString(e.what()));
    }
}

void ControlBinding::bind(Control control, QLineEdit* edit)
{
    control = normalised(control);
    entries_.push_back({control, edit});
    connect(edit, &QLineEdit::textChanged, this,
            [this, control](const QString& text) { run([&] { generator_.setText(control, text.toStdString()); }); });
}

void ControlBinding::bind(Control control, QAbstractButton* box)
{
    control = normalised(control);
    entries_.push_back({control, box});
    connect(box, &QAbstractButton::toggled, this,
            [this, control](bool checked) { run([&] { generator_.setChecked(control, checked); }); });
}

void ControlBinding::bind(Control control, QRadioButton* on, QRadioButton* off)
{
    control = normalised(control);
    entries_.push_back({control, on, off});
    // Checking either button toggles `on`, so one connection sees both.
    connect(on, &QAbstractButton::toggled, this,
            [this, control](bool checked) { run([&] { generator_.setChecked(control, checked); }); });
}

void ControlBinding::bind(Control control, QComboBox* list)
{
    control = normalised(control);
    entries_.push_back({control, list});
    connect(list, &QComboBox::activated, this,
            [this, control](int index) { run([&] { generator_.selectIndex(control, index); }); });
}

void ControlBinding::bind(Control control, QSlider* slider)
{
    control = normalised(control);
    entries_.push_back({control, slider});
    connect(slider, &QSlider::valueChanged, this,
            [this, control](int position) { run([&] { generator_.setPosition(control, position); }); });
}

void ControlBinding::onExit(QLineEdit* edit, std::function<void()> handler)
{
    exits_.push_back({edit, std::move(handler)});
    edit->installEventFilter(this);
}

bool ControlBinding::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        // Another window or a menu taking the focus does not leave the field.
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            for (const Exit& exit : exits_) {
                if (exit.edit == watched) {
                    // Copied: the handler may show a box whose loop changes the bindings' storage.
                    const std::function<void()> handler = exit.handler;
                    run(handler);
                    break;
                }
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

const ControlBinding::Entry* ControlBinding::find(Control control) const
{
    control = normalised(control);
    for (const Entry& entry : entries_)
        if (entry.control == control) return &entry;
    return nullptr;
}

QWidget* ControlBinding::widget(Control control) const
{
    const Entry* entry = find(control);
    return entry ? entry->widget : nullptr;
}

void ControlBinding::mirror(Control control)
{
    const Entry* entry = find(control);
    if (!entry) return;
    switch (InfoOf(entry->control).kind) {
    case ControlKind::Text: {
        auto* edit = static_cast<QLineEdit*>(entry->widget);
        const QString text = QString::fromStdString(generator_.text(entry->control));
        // Setting the same text would still move the cursor and clear the undo history.
        // A written number shows from its start, as it would on the desktop the window
        // comes from; a narrow field would otherwise scroll to its last digits.
        if (edit->text() != text) {
            edit->setText(text);
            edit->setCursorPosition(0);
        }
        break;
    }
    case ControlKind::Check: {
        const bool checked = generator_.checked(entry->control);
        if (entry->off && !checked)
            entry->off->setChecked(true);
        else
            static_cast<QAbstractButton*>(entry->widget)->setChecked(checked);
        break;
    }
    case ControlKind::Index: {
        auto* list = static_cast<QComboBox*>(entry->widget);
        const int index = generator_.index(entry->control);
        if (list->currentIndex() != index) list->setCurrentIndex(index); // runs nothing: no activated
        break;
    }
    case ControlKind::Position:
        static_cast<QSlider*>(entry->widget)->setValue(generator_.settings[entry->control.channel].barAmplitude);
        break;
    }
}

void ControlBinding::mirrorAll()
{
    for (const Entry& entry : entries_) mirror(entry.control);
}

} // namespace velmora::ui
