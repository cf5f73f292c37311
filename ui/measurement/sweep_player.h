#pragma once
// Plays ready-made PCM frames (a measurement sweep file's samples) once through an output
// device of its own, beside the generator's: an output engine fed from the frames, its
// notices delivered on the window thread. Window thread.

#include "audio/audio_device.h"
#include "audio/audio_out.h"
#include "audio/qt/qt_notice_route.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velmora::ui {

struct PcmFrames {
    std::vector<uint8_t> bytes; // interleaved little-endian frames
    int32_t samplingRate = 48000;
    int quantisation = 16;      // 16, 24 or 32 (float)
    int channels = 1;           // 1 or 2
};

class SweepPlayer final : public QObject {
    Q_OBJECT
public:
    explicit SweepPlayer(std::unique_ptr<AudioDevice> device, QObject* parent = nullptr);
    ~SweepPlayer() override;

    // Starts playing `frames` on device `deviceId` (0xFFFFFFFF: the system's default) with a
    // ring of `buffers` buffers of `bufferBytes`. Empty on success, else what went wrong.
    std::string play(PcmFrames frames, uint32_t deviceId, int32_t buffers, int32_t bufferBytes);
    // Ends playing at once.
    void stop();
    bool playing() const { return engine_.Active(); }
    // Seconds played so far.
    double elapsed() { return engine_.ElapsedTime(); }
    AudioDevice& device() { return *device_; }
    // The device lost the stream while playing; what it said.
    std::string failure() const { return failure_; }

signals:
    // The stream has ended: played to its end, stopped, or lost (failure() says why).
    void finished();

private:
    bool fill(uint8_t* buffer, int32_t& size);

    std::unique_ptr<AudioDevice> device_;
    QtNoticeRoute route_;
    TAudioOut engine_;
    PcmFrames frames_;
    size_t offset_ = 0;
    std::string failure_;
};

} // namespace velmora::ui
