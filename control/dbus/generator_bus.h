#pragma once
// A generator's place on the session bus. Each generator registers the name
// org.velmora.Generator.p<PID> with the object /Generator, interface org.velmora.Generator:
// the method Message(u message, u wParam, i lParam) -> i, through which other programs and
// the other generators drive it, and the read-only property Title, which names the group
// of generators that keep in step. Without a session bus nothing is registered and the
// generator runs alone. Window thread; everything here may allocate.

#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace velmora {

inline constexpr const char* kGeneratorServicePrefix = "org.velmora.Generator.";
inline constexpr const char* kGeneratorInterface = "org.velmora.Generator";
inline constexpr const char* kGeneratorPath = "/Generator";
// How long a broadcast waits for one generator before it goes on to the next.
inline constexpr int kBroadcastTimeoutMs = 2000;

class GeneratorBusObject;

class GeneratorBus final : public QObject {
    Q_OBJECT
public:
    // What a call of Message does, for calls from other processes and for this generator's
    // own broadcasts alike. Answers false when the message is not taken from outside (the
    // caller then gets a D-Bus error). Empty: every message is answered and ignored.
    using Handler = std::function<bool(uint32_t message, uint32_t wParam, int32_t lParam)>;

    // Registers on the session bus (when one is reachable) under the title `title`.
    explicit GeneratorBus(QString title, QObject* parent = nullptr);
    ~GeneratorBus() override;

    Handler handler;

    // True once the name and object are registered.
    bool registered() const { return registered_; }
    QString serviceName() const { return serviceName_; }
    QString title() const { return title_; }

    // Sends `message` (wParam 0, lParam 0) to every generator whose Title equals this one's,
    // this one included, in name order. Each call waits at most `timeoutMs`; a generator
    // that does not answer in time is skipped. While waiting, calls made to this generator
    // and the device's notices are still served (user input waits). Returns the names
    // reached. Without a bus, only this generator is reached.
    QStringList broadcast(uint32_t message, int timeoutMs = kBroadcastTimeoutMs);

    // The generators of this title on the bus now, in name order (this one included).
    QStringList peers(int timeoutMs = kBroadcastTimeoutMs);

private:
    friend class GeneratorBusObject;
    bool deliver(uint32_t message, uint32_t wParam, int32_t lParam);

    QString title_;
    QString serviceName_;
    bool registered_ = false;
    GeneratorBusObject* object_ = nullptr;
};

} // namespace velmora
