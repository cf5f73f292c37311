#pragma once
// A generator's place on the session bus. Each generator registers the name
// org.velmora.Generator.p<PID> with the object /Generator, interface org.velmora.Generator:
// the method Message(u message, u wParam, i lParam) -> i, through which other programs and
// the other generators drive it, and the read-only property Title, which names the group
// of generators that keep in step ("Velmora" for every generator, whatever its number), and
// Number, which tells generators apart ("Velmora 2"). Without a session bus nothing is registered, one line
// on stderr says so, and the generator runs alone; no bus is ever started for it (see
// session_bus.h). Window thread; everything here may allocate.

#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

namespace velmora {

inline constexpr const char* kGeneratorServicePrefix = "org.velmora.Generator.";
inline constexpr const char* kGeneratorInterface = "org.velmora.Generator";
inline constexpr const char* kGeneratorPath = "/Generator";
// How long a broadcast waits for any one call (the bus's list of names, a generator's
// title, its message) before it gives that generator up.
inline constexpr int kBroadcastTimeoutMs = 2000;

class GeneratorBusObject;

class GeneratorBus final : public QObject {
    Q_OBJECT
public:
    // What a call of Message does, for calls from other processes and for this generator's
    // own broadcasts alike. Anything but Done gives the caller a D-Bus error. Empty: every
    // message is answered and ignored.
    enum class Answer {
        Done,    // carried out, or held to be carried out in order later
        Refused, // not taken from outside (the fill's own message)
        Busy,    // no room left to hold it
    };
    using Handler = std::function<Answer(uint32_t message, uint32_t wParam, int32_t lParam)>;

    // Registers on the session bus (when one is reachable) under the title `title`.
    explicit GeneratorBus(QString title, QObject* parent = nullptr);
    ~GeneratorBus() override;

    Handler handler;

    // True once the name and object are registered.
    bool registered() const { return registered_; }
    QString serviceName() const { return serviceName_; }
    QString title() const { return title_; }
    // This generator's number among those running on the bus: the lowest that none of the
    // others has (their property Number), 1 for the first, and without a bus. Picked once,
    // when registering; two generators started at the same instant may pick the same one.
    int number() const { return number_; }

    // Sends `message` (wParam 0, lParam 0) to every generator whose Title equals this one's,
    // this one included. This generator carries it out first, at once. The others are
    // reached without waiting: the bus is asked for its names, then every generator for
    // its title and, once that matches, sent the message, all calls at the same time and
    // each with its own limit of `timeoutMs`, so a generator that does not answer holds
    // up neither this window nor any other generator. broadcastDone() follows once every
    // call has ended. Without a bus only this generator is reached.
    void broadcast(uint32_t message, int timeoutMs = kBroadcastTimeoutMs);

    // Broadcasts whose calls have not all ended yet.
    int broadcastsUnderway() const { return underway_; }

Q_SIGNALS:
    // Every call of a broadcast has ended: `reached` names the generators that answered
    // the message (this one first when registered), in the order they answered.
    void broadcastDone(uint message, const QStringList& reached);

private:
    friend class GeneratorBusObject;
    // One broadcast's calls still open, and the generators that answered its message.
    struct Round {
        uint32_t message = 0;
        int timeoutMs = 0;
        int open = 0;
        QStringList reached;
    };
    Answer deliver(uint32_t message, uint32_t wParam, int32_t lParam);
    // Asks `name` for its title, and sends it the round's message when it is this one's.
    void askTitle(const std::shared_ptr<Round>& round, const QString& name);
    // Makes one call of the round without waiting; `then` runs with its reply (or error).
    void call(const std::shared_ptr<Round>& round, const QDBusMessage& request,
              std::function<void(const QDBusMessage&)> then);

    // The numbers the other generators on the bus have, asked of all at once.
    int pickNumber();

    QString title_;
    int number_ = 1;
    QString serviceName_;
    bool registered_ = false;
    int underway_ = 0;
    GeneratorBusObject* object_ = nullptr;
};

} // namespace velmora
