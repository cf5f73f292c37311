#include "ui/main_window/window_notices.h"

#include "settings/settings_error.h"

#include <QApplication>
#include <QMessageBox>

namespace velmora::ui {

void MessageBoxNotices::errorBox(const QString& text)
{
    QMessageBox::critical(parent_, QApplication::applicationName(), text);
}

void MessageBoxNotices::messageBox(const QString& text)
{
    QMessageBox::information(parent_, QApplication::applicationName(), text);
}

void MessageBoxNotices::warningBox(const QString& text)
{
    QMessageBox::warning(parent_, QApplication::applicationName(), text);
}

int MessageBoxNotices::suppressible(const QString& text, const QString& title, NoticeButtons buttons,
                                    const QString& valueName)
{
    try {
        return ShowSuppressibleNotice(text, title, buttons, valueName, parent_);
    } catch (const SettingsError& e) {
        // The box was answered; only remembering "don't show again" failed.
        errorBox(QString::fromStdString(e.what()));
        return NoticeResult::Ok;
    }
}

} // namespace velmora::ui
