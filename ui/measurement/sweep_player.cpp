#include "ui/measurement/sweep_player.h"

#include <algorithm>
#include <cstring>

namespace velmora::ui {

SweepPlayer::SweepPlayer(std::unique_ptr<AudioDevice> device, QObject* parent)
    : QObject(parent), device_(std::move(device)), engine_(*device_)
{
    engine_.OnFillBuffer = [this](uint8_t* buffer, int32_t& size) { return fill(buffer, size); };
    engine_.OnStop = [this] {
        if (engine_.StreamFailed()) failure_ = engine_.ErrorMessage();
        emit finished();
    };
}

SweepPlayer::~SweepPlayer()
{
    engine_.OnStop = nullptr;
    engine_.StopAtOnce();
}

std::string SweepPlayer::play(PcmFrames frames, uint32_t deviceId, int32_t buffers, int32_t bufferBytes)
{
    if (engine_.Active()) return "the sweep is playing already";
    frames_ = std::move(frames);
    offset_ = 0;
    failure_.clear();
    engine_.setWaveDevice(deviceId);
    engine_.setStereo(frames_.channels == 2);
    engine_.setQuantization(static_cast<uint16_t>(frames_.quantisation));
    engine_.setFrameRate(frames_.samplingRate);
    engine_.setNumBuffers(buffers);
    engine_.setBufferSize(bufferBytes);
    if (engine_.Start(route_)) return {};
    return engine_.ErrorMessage();
}

void SweepPlayer::stop() { engine_.StopAtOnce(); }

bool SweepPlayer::fill(uint8_t* buffer, int32_t& size)
{
    // Every frame is played; the last buffer is padded with silence.
    if (offset_ >= frames_.bytes.size()) return false;
    const size_t n = std::min(static_cast<size_t>(size), frames_.bytes.size() - offset_);
    std::memcpy(buffer, frames_.bytes.data() + offset_, n);
    std::memset(buffer + n, 0, static_cast<size_t>(size) - n);
    offset_ += n;
    return true;
}

} // namespace velmora::ui
