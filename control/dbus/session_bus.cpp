#include "control/dbus/session_bus.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace velmora {

namespace {

// The user's own bus socket, which D-Bus connects to when no address is named (the same
// test as its own: a socket owned by this user).
bool UserBusSocket()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return false;
    const std::string path = std::string(runtime) + "/bus";
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == ::getuid();
}

SessionBus Decide()
{
    const char* named = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    // A program started by one without a bus inherits the address that names none.
    if (named && std::strcmp(named, kNoSessionBusAddress) == 0) return SessionBus::None;
    if (named && *named) return SessionBus::Named;
    if (UserBusSocket()) return SessionBus::UserSocket;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", kNoSessionBusAddress, 1);
    return SessionBus::None;
}

} // namespace

SessionBus SettleSessionBus()
{
    static const SessionBus settled = Decide();
    return settled;
}

} // namespace velmora
