#pragma once
// What measurement functions throw. The messages are one line and name both sides where two
// things disagree ("the recording is at 44100 Hz, the sweep at 48000 Hz").

#include <stdexcept>

namespace velmora {

class MeasureError final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Thrown when the caller's cancel flag was set; nothing was written.
class MeasureCancelled final : public std::runtime_error {
public:
    MeasureCancelled() : std::runtime_error("cancelled") {}
};

} // namespace velmora
