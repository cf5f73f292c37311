#include "control/dbus/generator_bus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QDBusVariant>
#include <QEventLoop>
#include <QTimer>

#include <memory>
#include <vector>

namespace velmora {

// The object exported at /Generator. Calls arrive on the window thread from its event loop.
class GeneratorBusObject final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.velmora.Generator")
    Q_PROPERTY(QString Title READ Title)
public:
    explicit GeneratorBusObject(GeneratorBus& bus) : bus_(bus) {}
    QString Title() const { return bus_.title(); }

public Q_SLOTS:
    int Message(uint message, uint wParam, int lParam)
    {
        if (!bus_.deliver(message, wParam, lParam))
            sendErrorReply(QStringLiteral("org.velmora.Generator.Error.Refused"),
                           QStringLiteral("Message %1 is internal to the generator").arg(message));
        return 0;
    }

private:
    GeneratorBus& bus_;
};

namespace {

// Waits for every call in `calls` to finish or for `timeoutMs` to pass, serving the other
// events meanwhile except the user's input (a click now would act in the middle of the
// broadcast).
void waitFor(const std::vector<QDBusPendingCall>& calls, int timeoutMs)
{
    QEventLoop loop;
    int open = 0;
    std::vector<std::unique_ptr<QDBusPendingCallWatcher>> watchers;
    for (const QDBusPendingCall& call : calls) {
        if (call.isFinished()) continue;
        ++open;
        auto watcher = std::make_unique<QDBusPendingCallWatcher>(call);
        QObject::connect(watcher.get(), &QDBusPendingCallWatcher::finished, &loop, [&loop, &open] {
            if (--open == 0) loop.quit();
        });
        watchers.push_back(std::move(watcher));
    }
    if (open == 0) return;
    // The bus gives up on each call after timeoutMs itself; this only guards against a
    // reply that never comes back at all.
    QTimer::singleShot(timeoutMs + 500, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

GeneratorBus::GeneratorBus(QString title, QObject* parent) : QObject(parent), title_(std::move(title))
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    object_ = new GeneratorBusObject(*this);
    object_->setParent(this);
    serviceName_ = QLatin1String(kGeneratorServicePrefix) + QStringLiteral("p%1").arg(QCoreApplication::applicationPid());
    if (!bus.registerObject(QLatin1String(kGeneratorPath), object_,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties))
        return;
    if (!bus.registerService(serviceName_)) {
        bus.unregisterObject(QLatin1String(kGeneratorPath));
        return;
    }
    registered_ = true;
}

GeneratorBus::~GeneratorBus()
{
    if (!registered_) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(serviceName_);
    bus.unregisterObject(QLatin1String(kGeneratorPath));
}

bool GeneratorBus::deliver(uint32_t message, uint32_t wParam, int32_t lParam)
{
    return handler ? handler(message, wParam, lParam) : true;
}

QStringList GeneratorBus::peers(int timeoutMs)
{
    QStringList result;
    if (!registered_) return result;
    QDBusConnection bus = QDBusConnection::sessionBus();
    QStringList names;
    const QDBusReply<QStringList> listed = bus.interface()->registeredServiceNames();
    if (listed.isValid())
        for (const QString& name : listed.value())
            if (name.startsWith(QLatin1String(kGeneratorServicePrefix))) names.append(name);
    if (!names.contains(serviceName_)) names.append(serviceName_);
    names.sort();

    // Every title is asked at once, so a generator that hangs costs one time-out, not one each.
    std::vector<QDBusPendingCall> calls;
    for (const QString& name : names) {
        QDBusMessage get = QDBusMessage::createMethodCall(name, QLatin1String(kGeneratorPath),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << QLatin1String(kGeneratorInterface) << QStringLiteral("Title");
        calls.push_back(name == serviceName_ ? QDBusPendingCall::fromCompletedCall(QDBusMessage())
                                             : bus.asyncCall(get, timeoutMs));
    }
    waitFor(calls, timeoutMs);
    for (size_t i = 0; i < calls.size(); ++i) {
        if (names[i] == serviceName_) {
            result.append(names[i]);
            continue;
        }
        const QDBusMessage reply = calls[i].reply();
        if (!calls[i].isFinished() || reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            continue;
        const QVariant title = qvariant_cast<QDBusVariant>(reply.arguments().first()).variant();
        if (title.metaType() == QMetaType::fromType<QString>() && title.toString() == title_)
            result.append(names[i]);
    }
    return result;
}

QStringList GeneratorBus::broadcast(uint32_t message, int timeoutMs)
{
    if (!registered_) {
        deliver(message, 0, 0);
        return {};
    }
    QStringList reached;
    QDBusConnection bus = QDBusConnection::sessionBus();
    for (const QString& name : peers(timeoutMs)) {
        if (name == serviceName_) {
            // This generator is reached in its place in the order, without a round trip.
            deliver(message, 0, 0);
            reached.append(name);
            continue;
        }
        QDBusMessage call = QDBusMessage::createMethodCall(name, QLatin1String(kGeneratorPath),
                                                           QLatin1String(kGeneratorInterface),
                                                           QStringLiteral("Message"));
        call << message << 0u << 0;
        const QDBusPendingCall pending = bus.asyncCall(call, timeoutMs);
        waitFor({pending}, timeoutMs);
        if (pending.isFinished() && pending.reply().type() == QDBusMessage::ReplyMessage) reached.append(name);
    }
    return reached;
}

} // namespace velmora

#include "generator_bus.moc"
