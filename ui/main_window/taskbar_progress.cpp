#include "ui/main_window/taskbar_progress.h"

#include "control/dbus/session_bus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace velmora::ui {

void TaskbarProgress::setProgress(int percent)
{
    if (visible_ && percent == last_) return;
    send(percent, true);
}

void TaskbarProgress::clear()
{
    if (!visible_ && last_ <= 0) return;
    send(0, false);
}

void TaskbarProgress::send(int percent, bool visible)
{
    last_ = percent;
    visible_ = visible;
    if (SettleSessionBus() == SessionBus::None) return; // asking would start a bus
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage update = QDBusMessage::createSignal(QLatin1String(kObjectPath),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("progress"), percent / 100.0);
    properties.insert(QStringLiteral("progress-visible"), visible);
    update << QString::fromLatin1(kApplicationUri) << properties;
    bus.send(update);
}

} // namespace velmora::ui
