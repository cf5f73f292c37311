#pragma once
// The generator's side of live output: the fill event that turns the generator's frames
// into ring buffers, and the start sequence that configures the output engine from the
// output settings. The window plugs its message boxes, notices and display refresh in
// through OutputCallbacks; the command-line player leaves them empty or prints.
//
// Everything runs on the owner's thread (the one that drains the engine's notices). The
// fill allocates nothing.

#include <cstdint>
#include <functional>
#include <string>

#include "audio/audio_out.h"
#include "engine/generator.h"

namespace velmora {

inline constexpr const char* kShortSignalMessage =
    "For very short signals please decrease the buffer number and size. This is a sound "
    "driver limitation";
inline constexpr const char* kPerformanceMessage =
    "There is an issue with performance. See help for details";

// The bytes of one buffer as they go to the device: interleaved little-endian PCM frames.
struct FilledBuffer {
    const uint8_t* bytes = nullptr;
    int32_t size = 0;       // bytes
    int bitsPerSample = 16; // 16, 24, or 32 (float)
    int channels = 1;       // 1 or 2
};

struct OutputCallbacks {
    // The window's message 1100: marks the generator alive. Empty: the flag is set here.
    std::function<void()> aliveMessage;
    // The fill found the generator not alive (running behind): the suppressible notice.
    std::function<void()> runningBehind;
    // The fill was entered while another fill ran: a plain message box.
    std::function<void()> reentered;
    // Once per buffer: refresh the frequency display.
    std::function<void()> updateFrequencyDisplay;
    // After each fill whose buffer is to be played: what goes to the device (the scope's
    // tap). Must return quickly; the fill waits for it.
    std::function<void(const FilledBuffer&)> bufferFilled;
};

enum class StartOutcome {
    Started,        // the engine runs (its start notice follows)
    AlreadyRunning, // nothing done
    ShortSignal,    // the first buffer was declined: kShortSignalMessage, then the settings
    DeviceError,    // "Sound Device Error: " + CR + the engine's text
    NotPrepared,    // the settings could not be turned into a signal (message says why)
};

struct StartResult {
    StartOutcome outcome = StartOutcome::Started;
    std::string message; // the text to show, empty when started
};

class GeneratorOutput final {
public:
    // Binds itself as the engine's fill event. Both must outlive this object.
    GeneratorOutput(Generator& generator, TAudioOut& engine);

    // The fill event: writes exactly `size` bytes of frames and answers whether the buffer
    // is to be played. A finite signal is played whole: a fill holding any frame of it
    // answers true (frames past its end are silent), the first fill after it false; a
    // signal shorter than the ring plays whole, then silence until the ring has gone round
    // once.
    bool AudioOut1FillBuffer(uint8_t* buffer, int32_t& size);

    // Switches the output on: prepares the signal, configures the engine from the output
    // settings (layout, quantisation, rate, buffer count before buffer size) and starts it
    // on `route`. Preparation errors (a field that is not a number) come back as
    // NotPrepared instead of propagating.
    StartResult startsignal(NoticeRoute& route);

    // Switches the output off. With fades on (FadeOn) and the output playing, not paused:
    // the output fades out from the next frame the fill makes and stops once that has been
    // played (true). A second switch-off during the fade, one while paused, or one without
    // fades stops the engine at once (false).
    bool switchOff();

    OutputCallbacks callbacks;

private:
    Generator& generator_;
    TAudioOut& engine_;
};

} // namespace velmora
