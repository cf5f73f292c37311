#pragma once
// The messages a generator accepts from other programs and from the generators it is kept
// in step with: start, stop, pause, the "Sync all Generators" box, most signal parameters,
// the output device and the preset memories. Each message works by setting the window's
// controls as the program sets them (an edit's new text runs its change handler, a check
// box its click handler when its state changes, a list's selection runs nothing) so that
// a remote change behaves exactly like the same change made in the window, exit handlers
// aside. Plain C++: the window, the D-Bus service and the tests share it.

#include <cstdint>

#include "engine/generator.h"

namespace velmora {

// Message numbers: the base 1024 plus n; the right channel's are the left's + 100.
namespace message {
inline constexpr uint32_t kStart = 1024;
inline constexpr uint32_t kStop = 1025;
inline constexpr uint32_t kPause = 1026;
inline constexpr uint32_t kSync = 1027;
inline constexpr uint32_t kSweep = 1030;
inline constexpr uint32_t kStartFrequency = 1031;
inline constexpr uint32_t kStartFrequency2 = 1032;
inline constexpr uint32_t kFinalFrequency = 1033;
inline constexpr uint32_t kDuration = 1034;
inline constexpr uint32_t kRepeat = 1035;
inline constexpr uint32_t kLogarithmic = 1036;
inline constexpr uint32_t kBidirectional = 1037;
inline constexpr uint32_t kChannels = 1038;
inline constexpr uint32_t kPhase = 1039;
inline constexpr uint32_t kLevel = 1040;
inline constexpr uint32_t kModulationOn = 1041;
inline constexpr uint32_t kModPeriod = 1042;
inline constexpr uint32_t kModDepth = 1043;
inline constexpr uint32_t kModFunction = 1044;
inline constexpr uint32_t kModPhase = 1045;
inline constexpr uint32_t kWaveForm = 1046;
inline constexpr uint32_t kDevice = 1047;
inline constexpr uint32_t kPreset = 1048;
inline constexpr uint32_t kAlive = 1100; // the fill's own; never taken from outside
inline constexpr uint32_t kRightOffset = 100;
} // namespace message

// What the messages reach beyond the generator's own controls: the window's switching,
// its sync box, its device list and its preset memories. Window thread.
class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    // Switching on in this window only (no further broadcast); ignored while running.
    virtual void startsignal() = 0;
    virtual void stopAtOnce() = 0;
    // Pause or resume in this window only, with the Pause button's bold font.
    virtual void togglePause() = 0;
    // Sets "Sync all Generators" (its click handler does nothing).
    virtual void setSync(bool checked) = 0;
    // Selects device list entry `entry` (no entry when beyond the list) and runs the
    // list's change handler, so the engine uses that device from the next start.
    virtual void selectDevice(int64_t entry) = 0;
    // Preset memories 1-4.
    virtual void MemRecall(int memory) = 0;
    virtual void MemStore(int memory) = 0;
};

enum class MessageResult {
    Done,     // the message was carried out (a message whose condition was not met included)
    Unknown,  // not a message of the table: nothing happened
    Internal, // the fill's own message, refused from outside
};

// Carries out one message on the window thread. wParam is read as unsigned except by the
// level messages, which read it as signed; lParam is signed. A handler's error (a text
// that is no number, an arithmetic failure) ends the message where it happened and
// propagates, as it does when the user changes the control.
MessageResult HandleMessage(Generator& generator, MessageTarget& target, uint32_t message, uint32_t wParam,
                            int32_t lParam);

} // namespace velmora
