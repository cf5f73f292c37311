#pragma once
// Listens on the session bus for the launcher-entry progress a program sends.

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>

#include <vector>

namespace velmora::ui::test {

class LauncherListener final : public QObject {
    Q_OBJECT
public:
    // False when there is no session bus to listen on. Only this process's own signals
    // count: other tests on the same bus send theirs at the same time.
    bool listen()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        return bus.connect(bus.baseService(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                           QStringLiteral("Update"), this, SLOT(update(QString, QVariantMap)));
    }
    std::vector<QString> uris;
    std::vector<double> progress;
    std::vector<bool> visible;

public slots:
    void update(const QString& uri, const QVariantMap& properties)
    {
        uris.push_back(uri);
        progress.push_back(properties.value(QStringLiteral("progress")).toDouble());
        visible.push_back(properties.value(QStringLiteral("progress-visible")).toBool());
    }
};

} // namespace velmora::ui::test
