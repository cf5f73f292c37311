#include "generator.h"
#include "fade.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "numbers.h"

namespace velmora {

namespace {
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// A register value typed as text: rounded as every number is (through a signed 64-bit
// integer, so from 2^63 up it fails), then kept modulo 2^32 as the register holds it.
uint32_t RegisterValue(double x)
{
    return static_cast<uint32_t>(static_cast<uint64_t>(RoundToInt64(x)));
}

// Floating-point exceptions are not masked: an operation that would give an infinity or
// an undefined value stops the handler with the error the processor raises, instead of
// letting NaN into the state.
double Checked(double x)
{
    if (std::isnan(x)) throw ArithmeticError();
    if (std::isinf(x)) throw ArithmeticError("Floating point overflow");
    return x;
}

double Divided(double a, double b)
{
    if (b == 0) throw ArithmeticError(a == 0 || std::isnan(a) ? "Invalid floating point operation"
                                                              : "Floating point division by zero");
    return Checked(a / b);
}

double Logarithm(double x)
{
    if (x == 0) throw ArithmeticError("Floating point division by zero");
    if (!(x > 0)) throw ArithmeticError();
    return Checked(std::log(x));
}
} // namespace

Generator::Generator()
{
    // The window starts from its form values; recompute the channels from them once.
    fConstChange(Channel::Left);
    fConstChange(Channel::Right);
}

// ---------------------------------------------------------------- hooks

void Generator::written(Control c)
{
    if (hooks.controlWritten) hooks.controlWritten(c);
}

void Generator::rule(WindowRule r, Channel c)
{
    if (hooks.windowRule) hooks.windowRule(r, c);
}

bool Generator::outputActive() const { return hooks.outputActive && hooks.outputActive(); }

void Generator::stopAtOnce()
{
    if (hooks.stopAtOnce && outputActive()) hooks.stopAtOnce();
}

// ---------------------------------------------------------------- control setters

namespace {
std::string* TextField(GeneratorSettings& s, Control c)
{
    ChannelSettings& ch = s[c.channel];
    switch (c.field) {
    case Field::fInit: return &ch.fInit;
    case Field::fFinal: return &ch.fFinal;
    case Field::Amplitude: return &ch.Amplitude;
    case Field::ModDepthEdit: return &ch.ModDepthEdit;
    case Field::ModPeriodEdit: return &ch.ModPeriodEdit;
    case Field::ModPhaseEdit: return &ch.ModPhaseEdit;
    case Field::txtMLSLength: return &ch.txtMLSLength;
    case Field::txtMLSSeed: return &ch.txtMLSSeed;
    case Field::txtCycles: return &ch.txtCycles;
    case Field::cboBand: return &ch.cboBand;
    case Field::PhaseEdit: return &s.PhaseEdit;
    case Field::Duration: return &s.Duration;
    case Field::txtCorrectionFactor: return &s.output.txtCorrectionFactor;
    default: return nullptr;
    }
}

bool* CheckField(GeneratorSettings& s, Control c)
{
    ChannelSettings& ch = s[c.channel];
    switch (c.field) {
    case Field::chkConstant: return &ch.chkConstant;
    case Field::Logarithmic: return &ch.Logarithmic;
    case Field::Bidirectional: return &ch.Bidirectional;
    case Field::Tick: return &ch.Tick;
    case Field::ModulationOn: return &ch.ModulationOn;
    case Field::Loop: return &s.Loop;
    case Field::chkAsLeft: return &s.chkAsLeft;
    default: return nullptr;
    }
}

int* IndexField(GeneratorSettings& s, Control c)
{
    ChannelSettings& ch = s[c.channel];
    switch (c.field) {
    case Field::WaveForm: return &ch.WaveForm;
    case Field::ModFunction: return &ch.ModFunction;
    case Field::cboCrestFactor: return &ch.cboCrestFactor;
    case Field::cboBurstWindow: return &ch.cboBurstWindow;
    case Field::barAmplitude: return &ch.barAmplitude;
    case Field::cboChannels: return &s.cboChannels;
    case Field::cboCorrectionUnits: return &s.output.cboCorrectionUnits;
    default: return nullptr;
    }
}

Control Normalised(Control c)
{
    if (!HasTwin(c.field)) c.channel = Channel::Left;
    return c;
}

[[noreturn]] void WrongKind() { throw std::logic_error("control set with the wrong kind of value"); }
} // namespace

const std::string& Generator::text(Control c) const
{
    std::string* p = TextField(const_cast<GeneratorSettings&>(settings), c);
    if (!p) WrongKind();
    return *p;
}

bool Generator::checked(Control c) const
{
    bool* p = CheckField(const_cast<GeneratorSettings&>(settings), c);
    if (!p) WrongKind();
    return *p;
}

int Generator::index(Control c) const
{
    int* p = IndexField(const_cast<GeneratorSettings&>(settings), c);
    if (!p) WrongKind();
    return *p;
}

void Generator::setText(Control c, const std::string& value) { putText(c, value, false); }

void Generator::enterText(Control c, const std::string& value) { putText(c, value, true); }

void Generator::putText(Control c, const std::string& value, bool always)
{
    c = Normalised(c);
    std::string* p = TextField(settings, c);
    if (!p) WrongKind();
    if (*p == value && !always) return;
    *p = value;
    written(c);
    switch (c.field) {
    case Field::fInit:
        fConstChange(c.channel);
        if (settings[c.channel].WaveForm == kToneBurst) requestPeriod(c.channel);
        break;
    case Field::fFinal: fConstChange(c.channel); break;
    case Field::Duration: fConstChange(Channel::Left); break;
    case Field::Amplitude: AmplitudeChange(c.channel); break;
    case Field::ModDepthEdit: ModDepthEditChange(c.channel); break;
    case Field::ModPeriodEdit: ModPeriodEditChange(c.channel); break;
    case Field::ModPhaseEdit: ModPhaseEditChange(c.channel); break;
    case Field::PhaseEdit: PhaseEditChange(); break;
    case Field::txtMLSLength:
        if (c.channel == Channel::Left) txtMLSLengthLeftChange(); // the right field has no handler
        requestPeriod(c.channel);
        break;
    case Field::txtMLSSeed:
    case Field::txtCycles:
    case Field::cboBand: requestPeriod(c.channel); break;
    case Field::txtCorrectionFactor: txtCorrectionFactorChange(); break;
    default: break;
    }
}

void Generator::setChecked(Control c, bool value)
{
    c = Normalised(c);
    bool* p = CheckField(settings, c);
    if (!p) WrongKind();
    if (*p == value) return;
    *p = value;
    written(c);
    switch (c.field) {
    case Field::chkConstant: chkConstantClick(c.channel); break;
    case Field::Logarithmic: LogarithmicClick(c.channel); break;
    case Field::Bidirectional:
        if (c.channel == Channel::Left) BidirectionalLeftClick(); // the right box has no handler
        break;
    case Field::Tick: TickClick(); break;
    case Field::ModulationOn: ModulationOnClick(c.channel); break;
    case Field::Loop: LoopClick(); break;
    case Field::chkAsLeft: chkAsLeftClick(); break;
    default: break;
    }
}

void Generator::setIndex(Control c, int value)
{
    c = Normalised(c);
    if (c.field == Field::barAmplitude) WrongKind();
    int* p = IndexField(settings, c);
    if (!p) WrongKind();
    if (*p == value) return;
    *p = value;
    written(c);
}

void Generator::setPosition(Control c, int value)
{
    c = Normalised(c);
    if (c.field != Field::barAmplitude) WrongKind();
    int& p = settings[c.channel].barAmplitude;
    if (p == value) return;
    p = value;
    written(c);
    barAmplitudeChange(c.channel);
}

void Generator::selectIndex(Control c, int value)
{
    c = Normalised(c);
    setIndex(c, value);
    switch (c.field) {
    case Field::WaveForm:
    case Field::ModFunction: WaveFormChange(c.channel); break; // the shape lists share it
    case Field::cboCrestFactor: cboCrestFactorChange(c.channel); break;
    case Field::cboChannels: cboChannelsChange(); break;
    case Field::cboCorrectionUnits: txtCorrectionFactorChange(); break;
    case Field::cboBurstWindow: requestPeriod(c.channel); break;
    default: break;
    }
}

// ---------------------------------------------------------------- frequencies

void Generator::setSweep(ChannelState& s, double n, bool logarithmic)
{
    // Both values are worked out before either is written: a failure keeps the sweep as it was.
    if (logarithmic) {
        const double factor =
            Checked(std::exp(Divided(Logarithm(s.FinalNorm) - Logarithm(s.StartNorm), n - 1)));
        s.SweepFactor = factor;
        s.SweepIncrement = 0;
    } else {
        const double increment = Divided((s.FinalNorm - s.StartNorm) * kTwoPi, n - 1);
        s.SweepFactor = 1;
        s.SweepIncrement = increment;
    }
}

Recompute Generator::fConstChange(Channel c)
{
    Recompute result;
    const ChannelSettings& cs = settings[c];
    ChannelState& s = (*this)[c];
    const double fs = samplingRate();
    const double k = settings.output.FrequencyCorrection;
    if ((c == Channel::Left || settings.stereo()) && !tonesFit(c)) {
        stopAtOnce();
        result.status = Recompute::OutOfRange;
        result.message = toneFitMessage(c);
        return result;
    }
    try {
        const double f1 = IntlStrToFloat(cs.fInit);
        const double f2 = IntlStrToFloat(cs.fFinal);
        if (!(f1 > 0 && f1 <= fs / 2 && f2 > 0 && f2 <= fs / 2)) {
            stopAtOnce();
            result.status = Recompute::OutOfRange;
            const Field bad = f1 > 0 && f1 <= fs / 2 ? Field::fFinal : Field::fInit;
            result.message = std::string(InfoOf({bad, c}).name) + ": " + text({bad, c}) +
                             " Hz is outside 0 to half the sampling rate (" +
                             NumberToText(fs / 2) + " Hz)";
        } else {
            if (hooks.frequencySlider)
                hooks.frequencySlider(c, static_cast<int>(RoundToInt64(1000 * std::log10(f1 / 2))));
            state.TotalSamples = RoundToInt64(IntlStrToFloat(settings.Duration) * fs);
            s.StartNorm = Checked(f1 * k / fs);
            s.PulseLength = static_cast<int32_t>(
                std::min<int64_t>(RoundToInt64(Divided(0.5, s.StartNorm)), INT32_MAX));
            s.TargetStep = kTwoPi * s.StartNorm;
            if (hooks.frequencyDisplay) hooks.frequencyDisplay(c);
            if (cs.chkConstant) {
                s.FinalNorm = s.StartNorm;
                s.SweepIncrement = 0;
                s.SweepFactor = 1;
            } else {
                s.FinalNorm = Checked(f2 * k / fs);
                s.Step = kTwoPi * s.StartNorm; // a sweep restarts from its start frequency
                setSweep(s, static_cast<double>(state.TotalSamples), cs.Logarithmic);
            }
        }
        state.FillBusy = false;
    } catch (const ConversionError& e) {
        stopAtOnce();
        result.status = Recompute::NotANumber;
        result.message = e.what();
    } catch (const ArithmeticError& e) {
        stopAtOnce();
        result.status = Recompute::ArithmeticFailure;
        result.message = e.what();
    }
    if (c == Channel::Left && settings.chkAsLeft) CopySettingsFrom(Channel::Left);
    return result;
}

void Generator::PrepareSignal()
{
    fConstChange(Channel::Left);
    fConstChange(Channel::Right);
    state.FillBusy = false;
    state.PinkRows.fill(0.0);
    state.PinkPartial.fill(0.0);
    state.SampleCounter = 0;
    ChannelState& l = (*this)[Channel::Left];
    ChannelState& r = (*this)[Channel::Right];
    l.Step = kTwoPi * l.StartNorm;
    r.Step = kTwoPi * r.StartNorm;
    l.Phase = r.Phase = 0;
    l.SawPrevious = 0;
    r.SawPrevious = IntlStrToFloat(settings.PhaseEdit) / 180;
    if (r.SawPrevious > 1) r.SawPrevious -= 2;
    state.AliveFlag = true;
    l.ModFactor = r.ModFactor = 1.0;
    for (Channel c : kChannels) {
        ChannelState& s = (*this)[c];
        s.MlsRegister = RegisterValue(IntlStrToFloat(settings[c].txtMLSSeed));
    }
    for (Channel c : kChannels) {
        ChannelState& s = (*this)[c];
        const double length = IntlStrToFloat(settings[c].txtMLSLength);
        s.MlsMask = RegisterValue(std::pow(2.0, length - 1));
        s.MlsTaps = MlsTapsForLength(length);
    }
    AmplitudeExit(Channel::Left);
    AmplitudeExit(Channel::Right);
    // A periodic noise's period is made (or waited for) now, never in the fill.
    for (Channel c : kChannels) {
        if (IsPeriodicSignal(settings[c].WaveForm) && tonesFit(c))
            adoptPeriod(c, periods->get(periodKey(c)));
        else if (IsPeriodicSignal(settings[c].WaveForm) && (c == Channel::Left || settings.stereo()))
            throw std::invalid_argument(toneFitMessage(c));
        else
            adoptPeriod(c, nullptr);
    }
    const int bits = settings.output.Quantisation;
    state.BytesPerFrame = bits / 8 * (settings.stereo() ? 2 : 1);
    // Float samples are the values before rounding, scaled to -1..1.
    state.FullScale = settings.output.floatSamples() ? 1 : static_cast<int32_t>((int64_t{1} << bits) / 2 - 1);
    // The dither's source starts from the uniform source's state, so a seeded render
    // repeats dither and all, and draws nothing from it.
    state.DitherState = uniform.state();
    for (BandLimiter& b : bandLimiters_) b.reset();
    prepareBandLimit();
    state.FadeLength = settings.output.FadeOn ? FadeFrames(settings.output.FadeMs, settings.output.SamplingRate) : 0;
    state.FadeFrames = 0;
    state.FadeOutFrom = -1;
}

bool Generator::beginFadeOut()
{
    if (!settings.output.FadeOn || state.FadeOutFrom >= 0) return false;
    if (state.FadeLength == 0) {
        // Started without fades: no fade-in to finish, the fade-out of the length set now.
        state.FadeLength = FadeFrames(settings.output.FadeMs, settings.output.SamplingRate);
        state.FadeFrames = state.FadeLength;
    }
    state.FadeOutFrom = state.FadeFrames;
    return true;
}

bool Generator::inFade(int64_t counter, int64_t frames, bool endsItself) const
{
    const int64_t length = state.FadeLength;
    if (length == 0) return false;
    return state.FadeFrames < length || state.FadeOutFrom >= 0 ||
           (endsItself && counter + frames > state.TotalSamples - length);
}

double Generator::fadeGain(int64_t counter, bool endsItself) const
{
    const int64_t length = state.FadeLength;
    double gain = FadeRise(state.FadeFrames, length);
    if (state.FadeOutFrom >= 0) gain *= FadeRise(state.FadeOutFrom + length - 1 - state.FadeFrames, length);
    if (endsItself) gain *= FadeRise(state.TotalSamples - 1 - counter, length);
    return gain;
}

void Generator::prepareBandLimit()
{
    if (!settings.output.AliasFree) return;
    for (Channel c : kChannels) {
        const int w = settings[c].WaveForm;
        if (IsBandLimitedWave(w)) BandLimitedPeak(w, 0.01);
    }
}

OscillatorRules Generator::bandLimitRules(Channel c, int w) const
{
    const ChannelSettings& cs = settings[c];
    const ChannelState& s = (*this)[c];
    OscillatorRules r;
    r.wave = w;
    r.constant = cs.chkConstant;
    r.bidirectional = cs.Bidirectional;
    r.repeats = settings.Loop;
    r.restartsHere = c == Channel::Left || settings.stereo(); // mono restarts the left channel only
    r.total = state.TotalSamples;
    r.startStep = kTwoPi * s.StartNorm;
    r.offset = c == Channel::Left ? 0.0 : std::remainder(s.PhaseOffset, kTwoPi);
    return r;
}

void Generator::restartSweep(Channel c, bool bidirectional)
{
    ChannelState& s = (*this)[c];
    if (bidirectional) {
        s.SweepFactor = 1 / s.SweepFactor;
        s.SweepIncrement = -s.SweepIncrement;
    } else {
        s.TargetStep = s.Step = kTwoPi * s.StartNorm;
    }
}

void Generator::RestartRepetition(bool stereo)
{
    state.SampleCounter = 0;
    for (Channel c : kChannels) {
        if (c == Channel::Right && !stereo) break; // mono restarts the left channel only
        const ChannelSettings& cs = settings[c];
        if (!cs.chkConstant) restartSweep(c, cs.Bidirectional);
    }
}

void Generator::FrequencyExit(Channel c, Field field)
{
    const Control control{field, c};
    if (text(control).empty()) setText(control, "0");
    const double x = IntlStrToFloat(text(control));
    const double half = samplingRate() / 2;
    if (x > half && hooks.aboveNyquist) hooks.aboveNyquist(c);
    setText(control, Cleanup(text(control), 0.1, half, 10, 1000));
}

void Generator::DurationExit()
{
    setText({Field::Duration}, Cleanup(settings.Duration, 1 / samplingRate(), 1e100, 10, 1));
    FrequencyExit(Channel::Left, Field::fInit);
    FrequencyExit(Channel::Right, Field::fInit);
}

void Generator::LogarithmicClick(Channel c)
{
    ChannelState& s = (*this)[c];
    state.SampleCounter = 0;
    s.Step = s.TargetStep = kTwoPi * s.StartNorm;
    setSweep(s, static_cast<double>(state.TotalSamples), settings[c].Logarithmic);
    if (c == Channel::Left && settings.chkAsLeft) CopySettingsFrom(Channel::Left);
}

void Generator::BidirectionalLeftClick()
{
    if (settings.chkAsLeft) CopySettingsFrom(Channel::Left);
}

// ---------------------------------------------------------------- level and modulation

void Generator::AmplitudeChange(Channel c)
{
    double level;
    if (TryIntlStrToFloat(settings[c].Amplitude, level)) (*this)[c].Amplitude = std::pow(10.0, level / 20);
    updatePeriodScale(c);
    if (c == Channel::Left && settings.chkAsLeft) {
        CopySettingsFrom(Channel::Left);
        AmplitudeExit(Channel::Right);
    }
}

void Generator::AmplitudeExit(Channel c)
{
    setText({Field::Amplitude, c}, Cleanup(settings[c].Amplitude, -100, 0, 2, 0));
    const double level = IntlStrToFloat(settings[c].Amplitude);
    setPosition({Field::barAmplitude, c}, static_cast<int>(RoundToInt64(-100 * level)));
}

void Generator::barAmplitudeChange(Channel c)
{
    setText({Field::Amplitude, c}, NumberToText(settings[c].barAmplitude * -0.01));
}

void Generator::ModDepthEditChange(Channel c)
{
    double x;
    const std::string& t = settings[c].ModDepthEdit;
    if (!t.empty() && TryIntlStrToFloat(t, x)) (*this)[c].ModDepth = x * 0.01;
}

void Generator::ModPeriodEditChange(Channel c)
{
    double x;
    const std::string& t = settings[c].ModPeriodEdit;
    if (t.empty() || !TryIntlStrToFloat(t, x)) return;
    (*this)[c].ModPeriod = x;
    if (x == 0 && outputActive()) {
        stopAtOnce();
        setText({Field::ModPeriodEdit, c}, "1");
    }
}

void Generator::ModPhaseEditChange(Channel c)
{
    double x;
    if (TryIntlStrToFloat(settings[c].ModPhaseEdit, x)) (*this)[c].ModPhase = x * std::numbers::pi / 180;
}

void Generator::ModDepthEditExit(Channel c)
{
    setText({Field::ModDepthEdit, c}, Cleanup(settings[c].ModDepthEdit, 0, 100, 10, 100));
}

void Generator::ModPeriodEditExit(Channel c)
{
    double x;
    std::string normalised = "1";
    double period = 1;
    if (TryIntlStrToFloat(settings[c].ModPeriodEdit, x)) {
        try {
            normalised = NumberToText(static_cast<double>(RoundToInt64(x * 1000)) / 1000);
            period = x;
        } catch (const ArithmeticError&) {
            normalised = "1";
        }
    }
    (*this)[c].ModPeriod = period;
    setText({Field::ModPeriodEdit, c}, normalised);
}

void Generator::ModPhaseEditExit(Channel c)
{
    setText({Field::ModPhaseEdit, c}, Cleanup(settings[c].ModPhaseEdit, 1e-98, 1e100, 10, 0));
}

void Generator::ModulationOnClick(Channel c)
{
    rule(WindowRule::ModulationOnClick, c);
    if (c == Channel::Left && settings.chkAsLeft)
        setChecked({Field::ModulationOn, Channel::Right}, settings[Channel::Left].ModulationOn);
    if (c == Channel::Left) AmplitudeExit(Channel::Left);
    AmplitudeExit(Channel::Right);
    (*this)[c].ModFactor = 1.0;
}

void Generator::PhaseEditChange()
{
    double x;
    if (TryIntlStrToFloat(settings.PhaseEdit, x))
        (*this)[Channel::Right].PhaseOffset = x * std::numbers::pi / 180;
    updatePeriodOffset();
}

void Generator::PhaseEditExit()
{
    ChannelState& r = (*this)[Channel::Right];
    double x;
    if (TryIntlStrToFloat(settings.PhaseEdit, x)) {
        r.PhaseOffset = x * std::numbers::pi / 180;
        const double degrees =
            static_cast<double>(RoundToInt64(r.PhaseOffset * 18000 / std::numbers::pi)) / 100;
        setText({Field::PhaseEdit}, NumberToText(degrees));
    } else {
        setText({Field::PhaseEdit}, "0");
        r.PhaseOffset = 0;
    }
}

// ---------------------------------------------------------------- noise and sequence

void Generator::cboCrestFactorChange(Channel c)
{
    const ChannelSettings& cs = settings[c];
    const auto& table = cs.WaveForm == kWhiteNoise ? kWhiteNoiseExponents : kPinkNoiseExponents;
    if (cs.cboCrestFactor >= 0 && cs.cboCrestFactor < static_cast<int>(table.size()))
        (*this)[c].NoiseExponent = table[static_cast<size_t>(cs.cboCrestFactor)];
}

void Generator::txtMLSLengthLeftChange()
{
    const Control length{Field::txtMLSLength, Channel::Left};
    if (text(length).empty()) return;
    setText(length, Cleanup(text(length), 1, 32, 0, 16));
    const double bits = IntlStrToFloat(text(length));
    // A sequence lasts 2^K - 1 samples; a periodic noise's period 2^K.
    const double samples = std::pow(2.0, bits) - (HasPeriodLength(settings[Channel::Left].WaveForm) ? 0 : 1);
    setText({Field::Duration}, NumberToText(samples / samplingRate()));
    DurationExit();
}

// ---------------------------------------------------------------- periodic noise

PeriodKey Generator::periodKey(Channel c) const
{
    const ChannelSettings& cs = settings[c];
    PeriodKey key;
    key.samplingRate = settings.output.SamplingRate;
    switch (cs.WaveForm) {
    case kMultitone:
        // The tones' phases are fixed: no seed.
        key.kind = PeriodKind::Multitone;
        key.length = std::clamp(PeriodLength(cs.txtMLSLength), kMultitoneMinLength, kPeriodMaxLength);
        key.seed = 0;
        return key;
    case kImdSmpte:
    case kImdCcif:
    case kImdDin:
        // Their exact period, whatever the length and seed fields say.
        key.kind = cs.WaveForm == kImdSmpte ? PeriodKind::ImdSmpte
                   : cs.WaveForm == kImdDin ? PeriodKind::ImdDin
                                            : PeriodKind::ImdCcif;
        key.length = 0;
        key.seed = 0;
        return key;
    case kToneBurst:
        key.kind = PeriodKind::Burst;
        key.length = 0;
        key.seed = 0;
        key.frequency = burstFrequency(c);
        key.cycles = BurstCycles(cs.txtCycles);
        key.window = cs.cboBurstWindow == kBurstNoWindow ? kBurstNoWindow : kBurstHann;
        return key;
    default: break;
    }
    // A band that does not read as one is the full band.
    if (!ParseNoiseBand(cs.cboBand, key.band)) key.band = NoiseBand{};
    key.kind = cs.WaveForm == kPinkNoisePeriodic    ? PeriodKind::Pink
               : cs.WaveForm == kBrownNoisePeriodic ? PeriodKind::Brown
                                                    : PeriodKind::White;
    key.length = std::clamp(PeriodLength(cs.txtMLSLength), kPeriodMinLength, kPeriodMaxLength);
    double seed = 0;
    key.seed = TryIntlStrToFloat(cs.txtMLSSeed, seed) && std::fabs(seed) < 9.2e18 ? RegisterValue(seed) : 0;
    return key;
}

double Generator::BurstCycles(const std::string& text)
{
    double x = 0;
    if (!TryIntlStrToFloat(text, x) || !(x > 0 && x < 1e9)) return kBurstDefaultCycles;
    return x;
}

double Generator::burstFrequency(Channel c) const
{
    // The frequency field times the correction, as a tone plays it; a field that does not
    // read as a frequency below half the rate leaves the one the channel last took.
    const double fs = samplingRate();
    double f = 0;
    if (TryIntlStrToFloat(settings[c].fInit, f) && f > 0 && f <= fs / 2)
        return f * settings.output.FrequencyCorrection;
    return (*this)[c].StartNorm * fs;
}

int Generator::PeriodLength(const std::string& text)
{
    double k = 0;
    if (!TryIntlStrToFloat(text, k) || !(std::fabs(k) < 1e9)) return 16;
    return static_cast<int>(RoundToInt64(k));
}

void Generator::requestPeriod(Channel c)
{
    // A twin tone that does not fit below half the sampling rate is not made.
    if (IsPeriodicSignal(settings[c].WaveForm) && tonesFit(c)) periods->request(periodKey(c));
}

std::vector<PeriodKey> Generator::periodsBeingMade()
{
    std::vector<PeriodKey> keys;
    for (Channel c : kChannels) {
        if (!IsPeriodicSignal(settings[c].WaveForm) || !tonesFit(c)) continue;
        const PeriodKey key = periodKey(c);
        periods->request(key);
        if (periods->making(key)) keys.push_back(key);
    }
    return keys;
}

void Generator::adoptPeriod(Channel c, std::shared_ptr<const PeriodTable> table)
{
    ChannelState& s = (*this)[c];
    heldPeriods_[static_cast<size_t>(c)] = std::move(table);
    const PeriodTable* t = heldPeriods_[static_cast<size_t>(c)].get();
    s.Period = t ? t->samples.data() : nullptr;
    s.PeriodSize = t ? t->samples.size() : 0;
    s.PeriodOnce = t && t->once;
    const bool powerOfTwo = s.PeriodSize > 1 && (s.PeriodSize & (s.PeriodSize - 1)) == 0;
    s.PeriodMask = powerOfTwo ? static_cast<uint32_t>(s.PeriodSize - 1) : 0;
    updatePeriodScale(c);
    updatePeriodOffset();
}

void Generator::adoptReadyPeriods()
{
    for (Channel c : kChannels) {
        if (!IsPeriodicSignal(settings[c].WaveForm) || !tonesFit(c)) continue;
        const PeriodTable* held = heldPeriods_[static_cast<size_t>(c)].get();
        const PeriodKey key = periodKey(c);
        if (held && held->key == key) continue;
        if (auto table = periods->ready(key)) adoptPeriod(c, std::move(table));
        else periods->request(key);
    }
}

void Generator::updatePeriodScale(Channel c)
{
    ChannelState& s = (*this)[c];
    const PeriodTable* t = heldPeriods_[static_cast<size_t>(c)].get();
    const double peak = t ? t->peak * s.Amplitude : 0;
    s.PeriodScale = peak > 1 ? 1 / peak : 1.0;
    if (hooks.periodLevelChanged) hooks.periodLevelChanged();
}

void Generator::updatePeriodOffset()
{
    // The right channel's phase offset, as a part of the period.
    ChannelState& r = (*this)[Channel::Right];
    // A burst starts with each repetition on both channels.
    const double period = r.Period && !r.PeriodOnce ? static_cast<double>(r.PeriodSize) : 0;
    r.PeriodOffset = period > 0 ? RoundToInt64(std::fmod(r.PhaseOffset / kTwoPi, 1.0) * period) : 0;
    if (r.PeriodOffset < 0) r.PeriodOffset += static_cast<int64_t>(period);
}

double Generator::periodLevelLimit(Channel c) const
{
    if (!IsPeriodicNoise(settings[c].WaveForm)) return std::nan("");
    const PeriodKey key = periodKey(c);
    std::shared_ptr<const PeriodTable> t = heldPeriods_[static_cast<size_t>(c)];
    if (!t || t->key != key) t = periods->ready(key);
    const double amplitude = (*this)[c].Amplitude;
    if (!t || !(t->peak * amplitude > 1)) return std::nan("");
    return 20 * std::log10(1 / t->peak);
}

double Generator::UpperToneHz(int wave)
{
    return wave == kImdSmpte ? kSmpteHighHz : wave == kImdCcif ? kCcifHighHz : wave == kImdDin ? kDinHighHz : 0;
}

bool Generator::tonesFit(Channel c) const
{
    const int w = settings[c].WaveForm;
    if (w == kToneBurst) {
        const int64_t n = BurstSamples(BurstCycles(settings[c].txtCycles), burstFrequency(c), settings.output.SamplingRate);
        return n >= 1 && n <= (int64_t{1} << kPeriodMaxLength);
    }
    return !IsTwinTone(w) || UpperToneHz(w) < samplingRate() / 2;
}

std::string Generator::toneFitMessage(Channel c) const
{
    const int w = settings[c].WaveForm;
    if (w == kToneBurst)
        return std::string(InfoOf({Field::txtCycles, c}).name) + ": a burst of " + settings[c].txtCycles +
               " cycles at " + NumberToText(burstFrequency(c)) + " Hz spans more than 2^24 samples";
    return std::string(InfoOf({Field::WaveForm, c}).name) + ": the " + NumberToText(UpperToneHz(w)) + " Hz tone of " +
           (w == kImdSmpte ? "IMD SMPTE" : w == kImdDin ? "IMD DIN" : "IMD CCIF") +
           " is not below half the sampling rate (" + NumberToText(samplingRate() / 2) + " Hz)";
}

bool Generator::levelLimited(Channel c) const
{
    return IsPeriodicNoise(settings[c].WaveForm) && (*this)[c].Period && (*this)[c].PeriodScale < 1;
}

// ---------------------------------------------------------------- waveform and layout

void Generator::WaveFormChange(Channel c)
{
    rule(WindowRule::WaveFormChange, c);
    chkConstantClick(c);
    const int w = settings[c].WaveForm;
    if (w == kWhiteNoise || w == kPinkNoise) cboCrestFactorChange(c);
    requestPeriod(c);
    if (hooks.periodLevelChanged) hooks.periodLevelChanged();
    if (!tonesFit(c) && hooks.aboveNyquist) hooks.aboveNyquist(c);
    if (w == kSinePulse || w == kDiracPulse || w == kToneBurst) {
        setChecked({Field::chkConstant, c}, true); // the pulses and the burst run at a constant frequency
        chkConstantClick(c);
    }
    LoopClick();
    prepareBandLimit();
    if (c == Channel::Left && settings.chkAsLeft) {
        setIndex({Field::WaveForm, Channel::Right}, w);
        WaveFormChange(Channel::Right);
    }
}

void Generator::chkConstantClick(Channel c)
{
    rule(WindowRule::ConstantClick, c);
    LoopClick();
    if (c == Channel::Left && settings.chkAsLeft) CopySettingsFrom(Channel::Left);
}

void Generator::cboChannelsChange()
{
    if (!settings.stereo()) {
        setChecked({Field::Tick, Channel::Left}, true);
        setChecked({Field::Tick, Channel::Right}, true);
        TickClick();
        setText({Field::PhaseEdit}, "0");
    }
    rule(WindowRule::ChannelsChange, Channel::Left);
    ModulationOnClick(Channel::Right);
    LoopClick();
    fConstChange(Channel::Left);
    fConstChange(Channel::Right);
}

void Generator::chkAsLeftClick()
{
    if (settings.chkAsLeft) CopySettingsFrom(Channel::Left);
    cboChannelsChange();
}

void Generator::TickClick()
{
    for (Channel c : kChannels) (*this)[c].OnFactor = settings[c].Tick ? 1 : 0;
    if (!settings[Channel::Left].Tick && !settings[Channel::Right].Tick) stopAtOnce();
    rule(WindowRule::TickClick, Channel::Left);
}

void Generator::LoopClick() { rule(WindowRule::LoopClick, Channel::Left); }

void Generator::CopySettingsFrom(Channel source)
{
    // Copying runs the receiving controls' handlers, which may copy back; a copy that
    // comes round again changes nothing, so a shallow guard is enough.
    if (copyDepth_ > 4) return;
    ++copyDepth_;
    struct Guard {
        int& depth;
        ~Guard() { --depth; }
    } guard{copyDepth_};

    const Channel to = other(source);
    const ChannelSettings& from = settings[source];
    setChecked({Field::Tick, to}, from.Tick);
    setIndex({Field::WaveForm, to}, from.WaveForm);
    WaveFormChange(to);
    setText({Field::PhaseEdit}, "0");
    setChecked({Field::chkConstant, to}, from.chkConstant);
    setText({Field::fInit, to}, from.fInit);
    setText({Field::fFinal, to}, from.fFinal);
    setChecked({Field::Logarithmic, to}, from.Logarithmic);
    setChecked({Field::Bidirectional, to}, from.Bidirectional);
    setChecked({Field::ModulationOn, to}, from.ModulationOn);
    setText({Field::Amplitude, to}, from.Amplitude);
    setText({Field::ModPeriodEdit, to}, from.ModPeriodEdit);
    setText({Field::ModDepthEdit, to}, from.ModDepthEdit);
    setIndex({Field::ModFunction, to}, from.ModFunction);
    setText({Field::ModPhaseEdit, to}, from.ModPhaseEdit);
    setIndex({Field::cboCrestFactor, to}, from.cboCrestFactor);
    cboCrestFactorChange(to);
    setText({Field::txtCycles, to}, from.txtCycles);
    selectIndex({Field::cboBurstWindow, to}, from.cboBurstWindow);
    setText({Field::cboBand, to}, from.cboBand);
}

// ---------------------------------------------------------------- output settings

void Generator::txtCorrectionFactorChange()
{
    OutputSettings& o = settings.output;
    if (o.txtCorrectionFactor.empty() || o.txtCorrectionFactor == "-") return; // still typing
    double x;
    if (!TryIntlStrToFloat(o.txtCorrectionFactor, x)) {
        setText({Field::txtCorrectionFactor}, "0");
        return;
    }
    o.FrequencyCorrection = Checked(o.cboCorrectionUnits == 1 ? std::pow(2.0, x / 1200) : 1 + x / 100);
}

} // namespace velmora
