#include "settings/suppressible_notice.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QMessageBox>

#include "settings/settings_store.h"

namespace velmora {

int ShowSuppressibleNotice(const QString& text, const QString& title, NoticeButtons buttons,
                           const QString& valueName, QWidget* parent)
{
    const std::string name = valueName.toStdString();
    if (SettingsStore::openForReading().valueExists(name))
        return NoticeResult::Silenced;

    const bool question = buttons == NoticeButtons::YesNo;
    QMessageBox box(QMessageBox::Warning, title, text,
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, parent);
    auto* dontShowAgain = new QCheckBox(
        QCoreApplication::translate("velmora::SuppressibleNotice", "Don't show this message again."), &box);
    box.setCheckBox(dontShowAgain);
    box.exec();

    // Escape and the window's close button answer as the box's escape button: No, or OK.
    const QMessageBox::StandardButton clicked = box.standardButton(box.clickedButton());
    const int result = clicked == QMessageBox::Yes ? NoticeResult::Yes
                       : question                  ? NoticeResult::No
                                                   : NoticeResult::Ok;

    if (dontShowAgain->isChecked()) {
        // Opened for writing so that ticking the box on a first run creates the store
        // instead of failing for want of it.
        SettingsStore store = SettingsStore::openForWriting();
        store.writeBoolean(name, true);
        store.close();
    }
    return result;
}

} // namespace velmora
