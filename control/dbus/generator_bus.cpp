#include "control/dbus/generator_bus.h"

#include "control/dbus/session_bus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusError>
#include <QDBusVariant>
#include <QVariant>

#include <QDBusPendingCall>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace velmora {

namespace {
// How long the start waits for the bus and the other generators to tell their numbers.
constexpr int kNumberTimeoutMs = 500;
} // namespace

// The object exported at /Generator. Calls arrive on the window thread from its event loop.
class GeneratorBusObject final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.velmora.Generator")
    Q_PROPERTY(QString Title READ Title)
    Q_PROPERTY(uint Number READ Number)
public:
    explicit GeneratorBusObject(GeneratorBus& bus) : bus_(bus) {}
    QString Title() const { return bus_.title(); }
    uint Number() const { return static_cast<uint>(bus_.number()); }

public Q_SLOTS:
    int Message(uint message, uint wParam, int lParam)
    {
        switch (bus_.deliver(message, wParam, lParam)) {
        case GeneratorBus::Answer::Done: break;
        case GeneratorBus::Answer::Refused:
            sendErrorReply(QStringLiteral("org.velmora.Generator.Error.Refused"),
                           QStringLiteral("Message %1 is internal to the generator").arg(message));
            break;
        case GeneratorBus::Answer::Busy:
            sendErrorReply(QStringLiteral("org.velmora.Generator.Error.Busy"),
                           QStringLiteral("Too many messages are waiting for the wave export to end"));
            break;
        }
        return 0;
    }

private:
    GeneratorBus& bus_;
};

GeneratorBus::GeneratorBus(QString title, QObject* parent) : QObject(parent), title_(std::move(title))
{
    const SessionBus origin = SettleSessionBus();
    if (origin == SessionBus::None) {
        std::fputs("velmora: no session bus (DBUS_SESSION_BUS_ADDRESS is not set): no remote control, "
                   "and \"Sync all Generators\" reaches this generator only\n",
                   stderr);
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr,
                     "velmora: the session bus does not answer (%s): no remote control, and \"Sync all "
                     "Generators\" reaches this generator only\n",
                     qPrintable(bus.lastError().message().simplified()));
        return;
    }
    number_ = pickNumber();
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

int GeneratorBus::pickNumber()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusMessage list = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListNames"));
    const QDBusMessage names = bus.call(list, QDBus::Block, kNumberTimeoutMs);
    if (names.type() != QDBusMessage::ReplyMessage || names.arguments().isEmpty()) return 1;
    // Every generator asked at once: one that does not answer costs the limit once.
    std::vector<QDBusPendingCall> asked;
    for (const QString& name : names.arguments().first().toStringList()) {
        if (!name.startsWith(QLatin1String(kGeneratorServicePrefix))) continue;
        QDBusMessage get = QDBusMessage::createMethodCall(name, QLatin1String(kGeneratorPath),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("Get"));
        get << QLatin1String(kGeneratorInterface) << QStringLiteral("Number");
        asked.push_back(bus.asyncCall(get, kNumberTimeoutMs));
    }
    std::vector<int> taken;
    for (QDBusPendingCall& call : asked) {
        call.waitForFinished();
        const QDBusMessage reply = call.reply();
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) continue;
        bool ok = false;
        const uint n = qvariant_cast<QDBusVariant>(reply.arguments().first()).variant().toUInt(&ok);
        if (ok && n >= 1) taken.push_back(static_cast<int>(n));
    }
    int n = 1;
    while (std::find(taken.begin(), taken.end(), n) != taken.end()) ++n;
    return n;
}

GeneratorBus::~GeneratorBus()
{
    if (!registered_) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(serviceName_);
    bus.unregisterObject(QLatin1String(kGeneratorPath));
}

GeneratorBus::Answer GeneratorBus::deliver(uint32_t message, uint32_t wParam, int32_t lParam)
{
    return handler ? handler(message, wParam, lParam) : Answer::Done;
}

void GeneratorBus::broadcast(uint32_t message, int timeoutMs)
{
    if (!registered_) {
        deliver(message, 0, 0);
        Q_EMIT broadcastDone(message, {});
        return;
    }
    auto round = std::make_shared<Round>();
    round->message = message;
    round->timeoutMs = timeoutMs;
    round->reached.append(serviceName_);
    ++underway_;

    // The names are asked for first, so that the bus answers while this generator acts.
    const QDBusMessage list = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListNames"));
    call(round, list, [this, round](const QDBusMessage& names) {
        QStringList generators;
        if (names.type() == QDBusMessage::ReplyMessage && !names.arguments().isEmpty())
            for (const QString& name : names.arguments().first().toStringList())
                if (name.startsWith(QLatin1String(kGeneratorServicePrefix)) && name != serviceName_)
                    generators.append(name);
        generators.sort();
        for (const QString& name : generators) askTitle(round, name);
    });

    // This generator at once, whatever the others do.
    deliver(message, 0, 0);
}

void GeneratorBus::askTitle(const std::shared_ptr<Round>& round, const QString& name)
{
    QDBusMessage get = QDBusMessage::createMethodCall(name, QLatin1String(kGeneratorPath),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QLatin1String(kGeneratorInterface) << QStringLiteral("Title");
    call(round, get, [this, round, name](const QDBusMessage& title) {
        if (title.type() != QDBusMessage::ReplyMessage || title.arguments().isEmpty() ||
            qvariant_cast<QDBusVariant>(title.arguments().first()).variant() != QVariant(title_))
            return;
        QDBusMessage send = QDBusMessage::createMethodCall(name, QLatin1String(kGeneratorPath),
                                                           QLatin1String(kGeneratorInterface), QStringLiteral("Message"));
        send << round->message << 0u << 0;
        call(round, send, [round, name](const QDBusMessage& answer) {
            if (answer.type() == QDBusMessage::ReplyMessage) round->reached.append(name);
        });
    });
}

void GeneratorBus::call(const std::shared_ptr<Round>& round, const QDBusMessage& request,
                        std::function<void(const QDBusMessage&)> then)
{
    // Each call ends in its watcher: answered, refused, or timed out by the bus. What it
    // leads to is asked before it counts as ended, so the round is over once none is open.
    ++round->open;
    auto* watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(request, round->timeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, round, then = std::move(then)] {
        watcher->deleteLater();
        then(watcher->reply());
        if (--round->open == 0) {
            --underway_;
            Q_EMIT broadcastDone(round->message, round->reached);
        }
    });
}

} // namespace velmora

#include "generator_bus.moc"
