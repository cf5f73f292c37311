#include "ui/main_window/desktop_commands.h"

#include "control/dbus/session_bus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace velmora::ui {

bool startVolumeControl()
{
    struct Mixer {
        const char* program;
        QStringList arguments;
    };
    const Mixer mixers[] = {{"pavucontrol", {}},
                            {"pavucontrol-qt", {}},
                            {"gnome-control-center", {QStringLiteral("sound")}}};
    for (const Mixer& mixer : mixers) {
        const QString path = QStandardPaths::findExecutable(QLatin1String(mixer.program));
        if (!path.isEmpty()) return QProcess::startDetached(path, mixer.arguments);
    }
    return false;
}

void openWebPage(const QString& address) { QDesktopServices::openUrl(QUrl(address)); }

namespace {
QDBusMessage screensaverCall(const QString& method)
{
    return QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.ScreenSaver"),
                                          QStringLiteral("/org/freedesktop/ScreenSaver"),
                                          QStringLiteral("org.freedesktop.ScreenSaver"), method);
}
} // namespace

ScreensaverInhibit::~ScreensaverInhibit() { setActive(false); }

void ScreensaverInhibit::setActive(bool active)
{
    if (active == active_) return;
    active_ = active;
    if (SettleSessionBus() == SessionBus::None) return; // asking would start a bus
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    if (active) {
        QDBusMessage call = screensaverCall(QStringLiteral("Inhibit"));
        call << QStringLiteral("Velmora") << QStringLiteral("Playing a test signal");
        // Asynchronous: a missing service must never hold up switching on.
        auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 2000), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
            const QDBusPendingReply<uint> reply = *w;
            w->deleteLater();
            if (reply.isError()) return;
            if (active_) {
                cookie_ = reply.value();
            } else { // switched off before the answer came
                QDBusMessage release = screensaverCall(QStringLiteral("UnInhibit"));
                release << reply.value();
                QDBusConnection::sessionBus().asyncCall(release, 2000);
            }
        });
    } else if (cookie_ != 0) {
        QDBusMessage release = screensaverCall(QStringLiteral("UnInhibit"));
        release << cookie_;
        bus.asyncCall(release, 2000);
        cookie_ = 0;
    }
}

} // namespace velmora::ui
