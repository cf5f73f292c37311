#include "generator_output.h"

#include <cstring>
#include <exception>

namespace velmora {

GeneratorOutput::GeneratorOutput(Generator& generator, TAudioOut& engine)
    : generator_(generator), engine_(engine)
{
    engine_.OnFillBuffer = [this](uint8_t* buffer, int32_t& size) {
        return AudioOut1FillBuffer(buffer, size);
    };
}

bool GeneratorOutput::AudioOut1FillBuffer(uint8_t* buffer, int32_t& size)
{
    GeneratorState& st = generator_.state;
    if (!st.AliveFlag) {
        // Running behind: the window's messages did not get through since the last fill.
        engine_.StopAtOnce();
        if (callbacks.runningBehind) callbacks.runningBehind();
        st.FillBusy = false;
        return false;
    }
    st.AliveFlag = false;
    if (callbacks.aliveMessage)
        callbacks.aliveMessage();
    else
        st.AliveFlag = true;

    const FrameChoices choices = generator_.readChoices();
    if (st.FillBusy) {
        engine_.StopAtOnce();
        if (callbacks.reentered) callbacks.reentered();
        st.FillBusy = false;
        return false;
    }
    st.FillBusy = true;
    if (callbacks.updateFrequencyDisplay) callbacks.updateFrequencyDisplay();

    // The layout is read per buffer; size the frames by what this buffer really holds so
    // that a layout changed since the start can never write past the buffer.
    const int64_t before = st.SampleCounter;
    const bool fadeMadeBefore = generator_.fadedOut();
    const int frameBytes = generator_.settings.output.Quantisation / 8 * (choices.stereo ? 2 : 1);
    const int64_t frames = size / frameBytes;
    const int64_t written = generator_.writeFrames(buffer, frames, choices);
    std::memset(buffer + written, 0, static_cast<size_t>(size - written));

    bool result = true;
    if (st.SampleCounter >= st.TotalSamples && !generator_.settings.Loop) {
        // A fill that held any frame of the signal is played; after that, padding is
        // played only while everything produced is still less than one ring.
        const bool heldSignal = before < st.TotalSamples;
        const int64_t ring = int64_t{engine_.NumBuffers()} * engine_.BufferSize();
        result = heldSignal || ring > st.SampleCounter * st.BytesPerFrame;
    }
    // After OFF with fades on: the fill that makes the fade-out's last frame is played, the
    // next one declines, so the engine stops once the ring has played out.
    if (fadeMadeBefore) result = false;
    st.FillBusy = false;
    if (result && callbacks.bufferFilled)
        callbacks.bufferFilled({buffer, size, generator_.settings.output.Quantisation, choices.stereo ? 2 : 1});
    return result;
}

bool GeneratorOutput::switchOff()
{
    if (engine_.Active() && !engine_.Paused() && generator_.beginFadeOut()) return true;
    engine_.StopAtOnce();
    return false;
}

StartResult GeneratorOutput::startsignal(NoticeRoute& route)
{
    if (engine_.Active()) return {StartOutcome::AlreadyRunning, {}};
    try {
        generator_.PrepareSignal();
    } catch (const std::exception& e) {
        return {StartOutcome::NotPrepared, e.what()};
    }
    const OutputSettings& o = generator_.settings.output;
    engine_.setStereo(generator_.settings.stereo());
    engine_.setQuantization(static_cast<uint16_t>(o.Quantisation));
    engine_.setFrameRate(o.SamplingRate);
    engine_.setNumBuffers(o.Buffers);
    engine_.setBufferSize(o.BufferSize);
    if (engine_.Start(route)) return {StartOutcome::Started, {}};
    if (engine_.ErrorMessage() == audio_text::kNoFilledBuffer)
        return {StartOutcome::ShortSignal, kShortSignalMessage};
    return {StartOutcome::DeviceError, std::string("Sound Device Error: \r") + engine_.ErrorMessage()};
}

} // namespace velmora
