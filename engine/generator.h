#pragma once
// The signal generator: the settings behind the main window's controls, the running state
// of both channels, and the handlers that turn one into the other. It knows no widgets and
// no device: the window binds its widgets to the settings through the control setters and
// plugs its own parts (notices, displays, the output engine) in through GeneratorHooks.
//
// Everything here runs on the window thread; nothing is locked. The wave functions and
// the frame writer never allocate.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "band_limit.h"
#include "controls.h"
#include "frame_block.h"
#include "periodic.h"
#include "settings.h"
#include "sources.h"
#include "state.h"

namespace velmora {

// The window-side halves of handlers whose engine side lives here. The window applies its
// visibility and enabling rules when told that one of these runs.
enum class WindowRule {
    WaveFormChange,   // the waveform (or modulation shape) list of a channel changed
    ConstantClick,    // a channel switched between Constant and Sweep
    ChannelsChange,   // the channel layout or "Same as Left" changed
    TickClick,        // a channel's "On" box changed
    ModulationOnClick,
    LoopClick,
};

// What the generator asks of its surroundings. Every member may be left empty.
struct GeneratorHooks {
    std::function<bool()> outputActive;              // the output engine is playing
    std::function<void()> stopAtOnce;                // stop the output engine at once
    std::function<void(Channel, int)> frequencySlider; // new slider position of a channel
    std::function<void(Channel)> frequencyDisplay;   // refresh the frequency display
    std::function<void(Channel)> aboveNyquist;       // a frequency field was above fs / 2
    std::function<void(Control)> controlWritten;     // a handler wrote a control's value
    std::function<void(WindowRule, Channel)> windowRule;
    // a periodic noise's level or period changed: whether it plays below its level may too
    std::function<void()> periodLevelChanged;
};

// Outcome of a frequency recompute: the window ignores it, the renderer reports it.
struct Recompute {
    enum Status { Ok, OutOfRange, NotANumber, ArithmeticFailure } status = Ok;
    std::string message;
    explicit operator bool() const { return status == Ok; }
};

// The choices the buffer fill reads once per buffer.
struct FrameChoices {
    bool stereo = false;
    bool loop = false;
    bool asLeft = false;
    int wl = 0;  // left wave number
    int wr = 10; // right wave number (WaveNumber)
    bool wholeSignal = false; // export: every frame is a signal frame, no silent padding
};

class Generator final {
public:
    Generator();

    GeneratorSettings settings;
    std::array<ChannelState, 2> channels;
    GeneratorState state;
    UniformSource uniform;
    GeneratorHooks hooks;
    // Periodic noises' periods, made on workers (shared by copies of the generator).
    std::shared_ptr<PeriodCache> periods = std::make_shared<PeriodCache>();

    ChannelState& operator[](Channel c) { return channels[static_cast<size_t>(c)]; }
    const ChannelState& operator[](Channel c) const { return channels[static_cast<size_t>(c)]; }

    // --- Setting controls from code, with the rules of user input: an edit box runs its
    // change handler when its text changes, a check box its click handler when its state
    // changes, a track bar its change handler when its position changes; a list index set
    // from code runs nothing. Handlers may throw ConversionError or ArithmeticError; the
    // value is stored before its handler runs.
    void setText(Control c, const std::string& text);
    // The same, and the field's change handler runs even when it held that text already: a
    // setting given on purpose (a renderer option) acts whatever the field held before.
    void enterText(Control c, const std::string& text);
    void setChecked(Control c, bool checked);
    void setIndex(Control c, int index);
    void setPosition(Control c, int position);
    // A list selection made by the user: the index, then the list's change handler.
    void selectIndex(Control c, int index);

    const std::string& text(Control c) const;
    bool checked(Control c) const;
    int index(Control c) const;

    // --- Frequencies, start and repetition.
    Recompute fConstChange(Channel c);   // fConstLeftChange / fConstRightChange
    void PrepareSignal();
    void RestartRepetition(bool stereo);
    // Leaving a frequency field (fInitLeftExit ... fFinalRightExit).
    void FrequencyExit(Channel c, Field field);
    void DurationExit();
    void LogarithmicClick(Channel c);
    void BidirectionalLeftClick();

    // --- Level and modulation.
    void AmplitudeChange(Channel c);
    void AmplitudeExit(Channel c);
    void barAmplitudeChange(Channel c);
    void ModDepthEditChange(Channel c);
    void ModPeriodEditChange(Channel c);
    void ModPhaseEditChange(Channel c);
    void ModDepthEditExit(Channel c);
    void ModPeriodEditExit(Channel c);
    void ModPhaseEditExit(Channel c);
    void ModulationOnClick(Channel c);
    void PhaseEditChange();
    void PhaseEditExit();

    // --- Noise and sequence settings.
    void cboCrestFactorChange(Channel c);
    void txtMLSLengthLeftChange();

    // --- Waveform, layout and channel copy (the engine side; the window applies its
    // visibility rules through hooks.windowRule).
    void WaveFormChange(Channel c);
    void chkConstantClick(Channel c);
    void cboChannelsChange();
    void chkAsLeftClick();
    void TickClick();
    void LoopClick();
    // Copies every setting of the source channel to the other one
    // ("Use Settings from Left/Right Channel").
    void CopySettingsFrom(Channel source);

    // --- Output settings.
    void txtCorrectionFactorChange();

    // --- Samples.
    int32_t WaveFunc(int n);
    int32_t WaveFuncMono(int n);
    // The same sample before rounding: full scale x level x modulation x waveform value.
    double WaveValue(int n);
    double WaveValueMono(int n);
    FrameChoices readChoices() const;
    // Writes `frames` frames of the current signal into `out` as the buffer fill does:
    // samples of the signal while it lasts (or forever with loop), silent frames after
    // its end, repetitions restarted in place. Returns the bytes written.
    int64_t writeFrames(uint8_t* out, int64_t frames, const FrameChoices& choices);
    // The same frames made one WaveFunc call at a time: the reference the block writer
    // above is checked against (its transcendental functions may differ by 1 ulp, so its
    // samples by at most 1 LSB).
    int64_t writeFramesReference(uint8_t* out, int64_t frames, const FrameChoices& choices);

    // The frame writer's two stages, for a caller that runs the second elsewhere (the
    // export's writer thread): makeBlock makes the next min(frames, 256) frames' sequential
    // part and returns false (making nothing) for the rare choices the block writer leaves
    // to the reference path; FinishFrameBlock (frame_block.h) completes them; settleBlock
    // takes the block's last modulation factors back into the channels' state.
    bool makeBlock(FrameBlock& block, int64_t frames, const FrameChoices& choices);
    // Whether makeBlock takes these choices (it leaves wave numbers that put both passes
    // on one channel to the reference path).
    static bool MakesBlocks(const FrameChoices& choices)
    {
        const bool right = choices.stereo && !choices.asLeft;
        return !(right && WaveIsRight(choices.wl) == WaveIsRight(choices.wr));
    }
    void settleBlock(const FrameBlock& block);

    // --- Fades (the output settings' FadeOn / FadeMs; lengths are fixed at the start).
    // OFF with fades on: the fade-out begins at the next frame made. False, changing
    // nothing, when fades are off or a fade-out already runs (OFF then stops at once).
    bool beginFadeOut();
    bool fadingOut() const { return state.FadeOutFrom >= 0; }
    // Whether the fade-out before OFF has been made to its last frame.
    bool fadedOut() const
    {
        return state.FadeOutFrom >= 0 && state.FadeFrames >= state.FadeOutFrom + state.FadeLength;
    }

    double samplingRate() const { return settings.output.SamplingRate; }

    // Builds the tables of the alias-free waves the channels play (a start and a waveform
    // choice do this; so must code that switches the option on during playback), so that
    // the fill never has to. May allocate; window thread.
    void prepareBandLimit();

    // --- Periodic noise.
    // The period a channel's settings ask for: its kind, 2^K from the length field (10..24),
    // the seed field, the sampling rate.
    PeriodKey periodKey(Channel c) const;
    // Whether the channel's level would take its period's peak past full scale, so that it
    // plays at the highest level that does not.
    bool levelLimited(Channel c) const;
    // The level (dBFS, AES17) the channel's periodic noise plays at when its set level would
    // take the period's peak past full scale, as far as the period is made; NaN otherwise.
    double periodLevelLimit(Channel c) const;
    // The upper tone of a twin tone (IMD SMPTE, IMD CCIF) in Hz; 0 for other waves.
    static double UpperToneHz(int wave);
    // Whether the channel's signal fits below half the sampling rate: false for a twin tone
    // whose upper tone does not; true for everything else (their fields say so themselves).
    bool tonesFit(Channel c) const;
    // "WaveFormLeft: the 20000 Hz tone of IMD CCIF is not below half the sampling rate (11025 Hz)"
    std::string toneFitMessage(Channel c) const;
    // The length field as a number of bits, rounded (16 when it is no number).
    static int PeriodLength(const std::string& text);
    // The cycles field as a number above 0 (6.5 when it is none).
    static double BurstCycles(const std::string& text);
    // The burst's sine in Hz: the frequency field times the frequency correction.
    double burstFrequency(Channel c) const;
    // The periods the signal as set needs that a worker is still making (asking for those not
    // asked for yet): preparing the signal would wait for them. Never waits.
    std::vector<PeriodKey> periodsBeingMade();

private:
    void putText(Control c, const std::string& value, bool always);
    void written(Control c);
    void rule(WindowRule r, Channel c);
    bool outputActive() const;
    void stopAtOnce();
    void restartSweep(Channel c, bool bidirectional);
    void setSweep(ChannelState& s, double totalSamples, bool logarithmic);
    double modFactor(const ChannelState& s, int function) const;
    double waveValue(Channel c, int w);
    double whiteNoise(Channel c);
    double pinkNoise(Channel c, int64_t n);
    template <int W>
    void oscillatorPass(Channel c, ChannelBlock& b, const FrameBlock& frames, bool restarts);
    void oscillatorPass(Channel c, int w, ChannelBlock& b, const FrameBlock& frames, bool restarts);
    void randomPass(FrameBlock& block);
    bool bandLimited(int w) const { return settings.output.AliasFree && IsBandLimitedWave(w); }
    OscillatorRules bandLimitRules(Channel c, int w) const;
    void bandLimitedPass(Channel c, int w, ChannelBlock& b, const FrameBlock& frames, bool restarts);
    std::array<BandLimiter, 2> bandLimiters_;
    void requestPeriod(Channel c);
    void adoptPeriod(Channel c, std::shared_ptr<const PeriodTable> table);
    // Takes up a period that a worker finished after the settings changed; never waits.
    void adoptReadyPeriods();
    void updatePeriodScale(Channel c);
    void updatePeriodOffset();
    std::array<std::shared_ptr<const PeriodTable>, 2> heldPeriods_;
    void ditherPass(FrameBlock& block);
    // Whether any of the next `frames` frames from `counter` lies in a fade.
    bool inFade(int64_t counter, int64_t frames, bool endsItself) const;
    // The fade's gain of the frame made now (FadeFrames) at `counter`.
    double fadeGain(int64_t counter, bool endsItself) const;
    int copyDepth_ = 0;
};

// Polarity of a pulse: -1 when the box is checked.
inline int32_t PolarityFactor(bool checked) { return checked ? -1 : 1; }
inline int32_t sign(double x) { return x < 0 ? -1 : 1; }
double triangle(double x);

} // namespace velmora
