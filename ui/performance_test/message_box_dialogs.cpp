#include "ui/performance_test/message_box_dialogs.h"

#include <QMessageBox>
#include <QShortcut>

namespace velmora::ui {

int MessageBoxTestDialogs::question(const std::string& text, int buttons, int helpTopic)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), QString::fromStdString(text),
                    QMessageBox::StandardButtons(buttons), parent_);
    // Modal to the generator window only, so that the help it opens can be read meanwhile.
    box.setWindowModality(Qt::WindowModal);
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), &box);
    QObject::connect(f1, &QShortcut::activated, &box, [this, helpTopic] {
        if (help_) help_(helpTopic);
    });
    return box.exec();
}

bool MessageBoxTestDialogs::confirm(const std::string& text, int helpTopic)
{
    return question(text, QMessageBox::Ok | QMessageBox::Cancel, helpTopic) == QMessageBox::Ok;
}

bool MessageBoxTestDialogs::ask(const std::string& text)
{
    return question(text, QMessageBox::Yes | QMessageBox::No, 0) == QMessageBox::Yes;
}

void MessageBoxTestDialogs::tell(const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Velmora"), QString::fromStdString(text),
                    QMessageBox::Ok, parent_);
    box.exec();
}

} // namespace velmora::ui
