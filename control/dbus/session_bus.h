#pragma once
// Where this process finds its session bus, settled before anything connects to one.
// Given no address, D-Bus starts a bus of its own for the X display ("autolaunch"), and
// that bus outlives the program: one more daemon at every start. So when neither
// DBUS_SESSION_BUS_ADDRESS nor the user's bus socket ($XDG_RUNTIME_DIR/bus) names a bus,
// the address is pointed at a place where no bus can be: every connection of the process
// (Qt's own, for accessibility and the desktop theme, included) then fails at once, and
// the programs it starts inherit the same. Plain C++; call it first thing in main(),
// before the application object exists.

namespace velmora {

enum class SessionBus {
    Named,      // DBUS_SESSION_BUS_ADDRESS names one (reachable or not)
    UserSocket, // none named, but the user's bus socket is there
    None,       // none: this process runs without a session bus
};

// Decides once per process; later calls answer the same.
SessionBus SettleSessionBus();

// The address set when there is no bus (a path below /dev/null, which never exists).
inline constexpr const char* kNoSessionBusAddress = "unix:path=/dev/null/no-session-bus";

} // namespace velmora
