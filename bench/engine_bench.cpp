// Speed of the signal engine: the wave function per waveform, and one buffer fill in the
// worst case the output supports (384000 Hz, 24-bit stereo, pink noise with modulation on
// both channels). A 65536-byte buffer plays for 28.4 ms; a fill must take a small fraction.

#include <benchmark/benchmark.h>

#include <vector>

#include "engine/controls.h"
#include "engine/generator.h"

using namespace velmora;

namespace {

Generator Make(int rate, int bits, bool stereo)
{
    Generator g;
    g.settings.output.SamplingRate = rate;
    g.settings.output.Quantisation = bits;
    g.selectIndex({Field::cboChannels}, stereo ? 1 : 0);
    g.setText({Field::fInit, Channel::Left}, "1000");
    g.uniform.seed(1);
    return g;
}

void BM_WaveFunc(benchmark::State& st)
{
    const int wave = static_cast<int>(st.range(0));
    Generator g = Make(48000, 16, false);
    g.selectIndex({Field::WaveForm, Channel::Left}, wave);
    g.settings.Loop = true;
    g.PrepareSignal();
    for (auto _ : st) {
        benchmark::DoNotOptimize(g.WaveFunc(wave));
        if (++g.state.SampleCounter == g.state.TotalSamples) g.RestartRepetition(false);
    }
    st.SetLabel(std::to_string(wave));
}
BENCHMARK(BM_WaveFunc)->DenseRange(0, 9);

void BM_FillWorstCase(benchmark::State& st)
{
    Generator g = Make(384000, 24, true);
    for (Channel c : kChannels) {
        g.selectIndex({Field::WaveForm, c}, kPinkNoise);
        g.setChecked({Field::ModulationOn, c}, true);
        g.setText({Field::ModPeriodEdit, c}, "0.25");
    }
    g.settings.Loop = true;
    g.PrepareSignal();
    const int64_t size = 65536 - 65536 % g.state.BytesPerFrame;
    std::vector<uint8_t> buffer(static_cast<size_t>(size));
    const int64_t frames = size / g.state.BytesPerFrame;
    for (auto _ : st) {
        g.writeFrames(buffer.data(), frames, g.readChoices());
        benchmark::DoNotOptimize(buffer.data());
    }
    // A buffer of this size plays for frames / 384000 s.
    st.counters["buffer_ms"] = 1000.0 * static_cast<double>(frames) / 384000;
}
BENCHMARK(BM_FillWorstCase)->Unit(benchmark::kMicrosecond);

// One 65536-byte fill at 48000 Hz, 16-bit stereo, both channels on the given waveform.
void BM_FillStereo48k(benchmark::State& st)
{
    const int wave = static_cast<int>(st.range(0));
    Generator g = Make(48000, 16, true);
    for (Channel c : kChannels) g.selectIndex({Field::WaveForm, c}, wave);
    g.settings.Loop = true;
    g.PrepareSignal();
    std::vector<uint8_t> buffer(65536);
    for (auto _ : st) {
        g.writeFrames(buffer.data(), 16384, g.readChoices());
        benchmark::DoNotOptimize(buffer.data());
    }
    st.SetLabel(wave == kSine ? "sine" : wave == kPinkNoise ? "pink" : wave == kPinkNoisePeriodic ? "pink periodic"
                                                                                                : std::to_string(wave));
}
BENCHMARK(BM_FillStereo48k)->Arg(kSine)->Arg(kPinkNoise)->Arg(kPinkNoisePeriodic)->Unit(benchmark::kMicrosecond);

// One 65536-byte fill at 384000 Hz, 24-bit stereo: a sine against a periodic noise (a table
// read) on both channels.
void BM_Fill384k(benchmark::State& st)
{
    const int wave = static_cast<int>(st.range(0));
    Generator g = Make(384000, 24, true);
    for (Channel c : kChannels) g.selectIndex({Field::WaveForm, c}, wave);
    g.settings.Loop = true;
    g.PrepareSignal();
    const int64_t frames = 65536 / g.state.BytesPerFrame;
    std::vector<uint8_t> buffer(static_cast<size_t>(frames * g.state.BytesPerFrame));
    for (auto _ : st) {
        g.writeFrames(buffer.data(), frames, g.readChoices());
        benchmark::DoNotOptimize(buffer.data());
    }
    st.SetLabel(wave == kSine ? "sine" : "white periodic");
}
BENCHMARK(BM_Fill384k)->Arg(kSine)->Arg(kWhiteNoisePeriodic)->Unit(benchmark::kMicrosecond);

// Making one period of pink periodic noise of 2^K samples at 48 kHz (on a worker, off the
// fill).
void BM_BuildPeriod(benchmark::State& st)
{
    const PeriodKey key{PeriodKind::Pink, static_cast<int>(st.range(0)), 1, 48000};
    for (auto _ : st) benchmark::DoNotOptimize(BuildPeriod(key).peak);
}
BENCHMARK(BM_BuildPeriod)->Arg(16)->Arg(20)->Arg(24)->Unit(benchmark::kMillisecond)->Iterations(1);

// One 65536-byte fill at 384000 Hz, 24-bit stereo, both channels alike: a plain sine against
// the multitone and the twin tones (table reads, the multitone's 2^16 samples), and square
// and sawtooth log sweeps 20 Hz to 20 kHz over 10 s, plain and alias-free; then a 6.5-cycle
// 50 Hz tone burst (Hann) every 0.5 s, IMD DIN, and pink periodic noise of 2^16 samples over
// the full band and held to 500 Hz-2 kHz.
enum FillCase { kFillSine, kFillMultitone, kFillSmpte, kFillCcif, kFillSquare, kFillSquareAliasFree,
                kFillSawtooth, kFillSawtoothAliasFree, kFillBurst, kFillDin, kFillPinkFull, kFillPinkBand };
void BM_FillSignals384k(benchmark::State& st)
{
    static const char* const kNames[] = {"sine",           "multitone",       "IMD SMPTE",
                                         "IMD CCIF",       "square sweep",    "square sweep alias-free",
                                         "sawtooth sweep", "sawtooth sweep alias-free",
                                         "tone burst",     "IMD DIN",         "pink periodic",
                                         "pink periodic 500-2000 Hz"};
    static const int kWaves[] = {kSine,      kMultitone, kImdSmpte, kImdCcif,           kSquare,           kSquare,
                                 kSawtooth,  kSawtooth,  kToneBurst, kImdDin, kPinkNoisePeriodic, kPinkNoisePeriodic};
    const auto which = static_cast<size_t>(st.range(0));
    Generator g = Make(384000, 24, true);
    const bool sweep = which >= kFillSquare;
    g.settings.output.AliasFree = which == kFillSquareAliasFree || which == kFillSawtoothAliasFree;
    g.setText({Field::Duration}, "10");
    for (Channel c : kChannels) {
        g.selectIndex({Field::WaveForm, c}, kWaves[which]);
        if (which == kFillBurst) {
            g.setText({Field::fInit, c}, "50");
            g.setText({Field::Duration}, "0.5");
        }
        if (which == kFillPinkBand) g.setText({Field::cboBand, c}, "500:2000");
        if (!sweep || which > kFillSawtoothAliasFree) continue;
        g.setChecked({Field::chkConstant, c}, false);
        g.setChecked({Field::Logarithmic, c}, true);
        g.setText({Field::fInit, c}, "20");
        g.setText({Field::fFinal, c}, "20000");
    }
    g.settings.Loop = true;
    g.fConstChange(Channel::Left);
    g.fConstChange(Channel::Right);
    g.PrepareSignal();
    const int64_t frames = 65536 / g.state.BytesPerFrame;
    std::vector<uint8_t> buffer(static_cast<size_t>(frames * g.state.BytesPerFrame));
    for (auto _ : st) {
        g.writeFrames(buffer.data(), frames, g.readChoices());
        benchmark::DoNotOptimize(buffer.data());
    }
    st.SetLabel(kNames[which]);
    st.counters["buffer_ms"] = 1000.0 * static_cast<double>(frames) / 384000;
}
BENCHMARK(BM_FillSignals384k)->DenseRange(kFillSine, kFillPinkBand)->Unit(benchmark::kMicrosecond);

// Making a pink periodic period of 2^K samples at 48 kHz held to 500 Hz-2 kHz, and a tone
// burst's table (6.5 cycles of 50 Hz at 384 kHz: 49920 samples).
void BM_BuildBandPeriod(benchmark::State& st)
{
    PeriodKey key{PeriodKind::Pink, static_cast<int>(st.range(0)), 1, 48000};
    key.band = {500, 2000};
    for (auto _ : st) benchmark::DoNotOptimize(BuildPeriod(key).peak);
}
BENCHMARK(BM_BuildBandPeriod)->Arg(16)->Arg(20)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_BuildBurst(benchmark::State& st)
{
    PeriodKey key{PeriodKind::Burst, 0, 0, 384000};
    key.frequency = 50;
    key.cycles = 6.5;
    for (auto _ : st) benchmark::DoNotOptimize(BuildPeriod(key).peak);
}
BENCHMARK(BM_BuildBurst)->Unit(benchmark::kMicrosecond);

// Making the multitone's period of 2^K samples at 48 kHz (phases refined to a crest factor
// of at most 3.45; on a worker, off the fill).
void BM_BuildMultitone(benchmark::State& st)
{
    const PeriodKey key{PeriodKind::Multitone, static_cast<int>(st.range(0)), 0, 48000};
    for (auto _ : st) benchmark::DoNotOptimize(BuildPeriod(key).peak);
}
BENCHMARK(BM_BuildMultitone)->Arg(12)->Arg(16)->Arg(18)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
