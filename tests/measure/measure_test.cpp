// The measurement library's own parts: the real FFT against a plain DFT, the block
// convolution against a direct one, the sweep's refusals and file rules, the harmonic files'
// names. The responses themselves are measured by tests/app/measurement_test.py with numpy.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <unistd.h>

#include "files/wav_reader.h"
#include "measure/deconvolution.h"
#include "measure/impulse_response.h"
#include "measure/measure_error.h"
#include "measure/real_fft.h"
#include "measure/sweep.h"

using namespace velmora;
namespace fs = std::filesystem;

namespace {

std::vector<double> Noise(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> d;
    std::vector<double> v(n);
    for (double& x : v) x = d(rng);
    return v;
}

class MeasureFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("velmora-measure-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    fs::path dir_;
};

} // namespace

TEST(RealFft, MatchesThePlainTransformBothWays)
{
    for (int64_t n : {8, 24, 40, 64, 120, 720}) {
        SCOPED_TRACE(n);
        const std::vector<double> x = Noise(static_cast<size_t>(n), static_cast<unsigned>(n));
        const RealFft fft(n);
        std::vector<std::complex<double>> bins(static_cast<size_t>(fft.bins()));
        fft.forward(x.data(), bins.data());
        for (int64_t k = 0; k <= n / 2; ++k) {
            std::complex<double> want = 0;
            for (int64_t i = 0; i < n; ++i)
                want += x[static_cast<size_t>(i)] * std::polar(1.0, -2 * std::numbers::pi * k * i / n);
            EXPECT_NEAR(std::abs(bins[static_cast<size_t>(k)] - want), 0, 1e-9 * n) << "bin " << k;
        }
        std::vector<double> back(static_cast<size_t>(n));
        fft.inverse(bins.data(), back.data());
        for (int64_t i = 0; i < n; ++i) EXPECT_NEAR(back[static_cast<size_t>(i)] / (n / 2), x[static_cast<size_t>(i)], 1e-12 * n);
    }
}

TEST(GoodFftSize, IsTheSmallestMultipleOfEightWithFactorsTwoThreeAndFive)
{
    const std::vector<std::pair<int64_t, int64_t>> cases = {{1, 8}, {9, 16}, {25, 32}, {41, 48},
                                                             {1000001, 1024000}};
    for (const auto& [n, want] : cases) EXPECT_EQ(GoodFftSize(n), want) << n;
}

TEST(Deconvolver, GivesTheDirectConvolutionInBlocks)
{
    const std::vector<double> taps = Noise(100, 1);
    const std::vector<double> input = Noise(1000, 2);
    std::vector<double> direct(input.size() + taps.size() - 1, 0.0);
    for (size_t i = 0; i < input.size(); ++i)
        for (size_t j = 0; j < taps.size(); ++j) direct[i + j] += input[i] * taps[j];
    // A window of the output, blocks of several sizes (the last one short).
    for (int64_t fftSize : {128, 240, 2048}) {
        SCOPED_TRACE(fftSize);
        Deconvolver d(taps, fftSize, 300, 700);
        for (int64_t at = 0; at < static_cast<int64_t>(input.size()); at += d.blockFrames())
            d.block(input.data() + at, std::min<int64_t>(d.blockFrames(), static_cast<int64_t>(input.size()) - at));
        ASSERT_EQ(d.output().size(), 700u);
        // The filter's spectrum is kept in single precision: 1e-6 of the signal's size.
        for (size_t i = 0; i < 700; ++i) EXPECT_NEAR(d.output()[i], direct[300 + i], 1e-5) << i;
    }
    EXPECT_THROW(Deconvolver(taps, 64, 0, 1), MeasureError);
}

TEST(Sweep, RefusesSpecsNamingTheValue)
{
    struct Case {
        void (*change)(SweepSpec&);
        const char* says;
    };
    const Case cases[] = {
        {[](SweepSpec& s) { s.samplingRate = 44100; s.f2 = 30000; },
         "the end frequency 30000 Hz is not below half the sampling rate (22050 Hz)"},
        {[](SweepSpec& s) { s.f1 = 0; }, "the start frequency 0 Hz is not above 0"},
        {[](SweepSpec& s) { s.f1 = 2000; s.f2 = 1000; }, "is not above the start frequency 2000 Hz"},
        {[](SweepSpec& s) { s.duration = 0.001; }, "too short"},
        {[](SweepSpec& s) { s.pre = -1; }, "the silence before -1 s"},
        {[](SweepSpec& s) { s.fadeInOctaves = 6; s.fadeOutOctaves = 5; }, "do not fit"},
        {[](SweepSpec& s) { s.levelDbfs = 1; }, "the level 1 dBFS"},
        {[](SweepSpec& s) { s.quantisation = 8; }, "sample format 8"},
    };
    for (const Case& c : cases) {
        SweepSpec s;
        c.change(s);
        EXPECT_NE(SweepSpecProblem(s).find(c.says), std::string::npos) << SweepSpecProblem(s);
        EXPECT_THROW(MakeSweep(s), MeasureError);
    }
    EXPECT_EQ(SweepSpecProblem(SweepSpec{}), "");
}

TEST(Sweep, TimingFollowsTheSynchronisedRate)
{
    SweepSpec s;
    s.marker = true;
    const SweepTiming t = TimeSweep(s);
    const double cycles = std::nearbyint(20 * 10 / std::log(1000.0));
    EXPECT_EQ(t.cycles, static_cast<int64_t>(cycles));
    EXPECT_DOUBLE_EQ(t.rate, cycles / 20);
    EXPECT_EQ(t.markerStart, 24000);
    EXPECT_EQ(t.sweepStart, 48000);
    EXPECT_EQ(t.totalFrames, t.sweepStart + t.sweepFrames + 48000);
}

TEST_F(MeasureFiles, SweepFileCarriesItsParametersAndOtherFilesAreRefused)
{
    SweepSpec s;
    s.f1 = 100;
    s.f2 = 8000;
    s.duration = 1;
    s.marker = true;
    s.channels = SweepChannels::Left;
    s.quantisation = 16;
    WriteSweepFile(MakeSweep(s), Path("sweep.wav"));
    const SweepSpec back = ReadSweepSpec(Path("sweep.wav"));
    EXPECT_EQ(back.f1, 100);
    EXPECT_EQ(back.f2, 8000);
    EXPECT_TRUE(back.marker);
    EXPECT_EQ(back.channels, SweepChannels::Left);
    EXPECT_EQ(WavReader(Path("sweep.wav")).channels(), 2);
    // The inverse filter is a float file other programs read.
    WriteInverseFile(MakeInverseFilter(MakeSweep(s)), Path("inverse.wav"));
    EXPECT_TRUE(WavReader(Path("inverse.wav")).floating());
    try {
        ReadSweepSpec(Path("inverse.wav"));
        ADD_FAILURE() << "an inverse filter read as a sweep";
    } catch (const MeasureError& e) {
        EXPECT_EQ(std::string(e.what()), Path("inverse.wav") + " is not a Velmora measurement sweep");
    }
}

TEST_F(MeasureFiles, CancelledWritesLeaveNoFile)
{
    SweepSpec s;
    s.duration = 2;
    const std::atomic<bool> cancel{true};
    EXPECT_THROW(WriteSweepFile(MakeSweep(s), Path("sweep.wav"), {}, &cancel), MeasureCancelled);
    EXPECT_FALSE(fs::exists(Path("sweep.wav")));
    // Cancelled halfway, through the progress.
    std::atomic<bool> later{false};
    EXPECT_THROW(WriteSweepFile(MakeSweep(s), Path("sweep.wav"), [&](double f) { if (f > 0.5) later = true; }, &later),
                 MeasureCancelled);
    EXPECT_FALSE(fs::exists(Path("sweep.wav")));
    // A response cancelled leaves none of its files.
    WriteSweepFile(MakeSweep(s), Path("sweep.wav"));
    ImpulseOptions o;
    o.harmonics = 3;
    const ImpulseResponses r = ImpulseResponse(Path("sweep.wav"), Path("sweep.wav"), o);
    std::atomic<bool> stop{false};
    EXPECT_THROW(WriteImpulseResponses(r, Path("ir.wav"), [&](double f) { if (f > 0.5) stop = true; }, &stop),
                 MeasureCancelled);
    EXPECT_FALSE(fs::exists(Path("ir.wav")));
    EXPECT_FALSE(fs::exists(Path("ir-h2.wav")));
    WriteImpulseResponses(r, Path("ir.wav"));
    EXPECT_TRUE(fs::exists(Path("ir-h3.wav")));
}

TEST(ImpulseResponse, HarmonicFilesAreNamedAfterTheLinearOne)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"IR.wav", "IR-h2.wav"}, {"out/room.1.wav", "out/room.1-h2.wav"}, {"dir.x/IR", "dir.x/IR-h2.wav"}};
    for (const auto& [path, want] : cases) EXPECT_EQ(HarmonicFileName(path, 2), want);
}

TEST_F(MeasureFiles, CurvesAndTableOfAnIdealSystem)
{
    // The sweep recorded as it is: a flat 0 dB response, no distortion, in every row. With the
    // marker, so that the response's peak lies 10 ms after time zero.
    SweepSpec s;
    s.duration = 3;
    s.marker = true;
    WriteSweepFile(MakeSweep(s), Path("sweep.wav"));
    ImpulseOptions o;
    o.harmonics = 3;
    const ImpulseResponses r = ImpulseResponse(Path("sweep.wav"), Path("sweep.wav"), o);
    EXPECT_EQ(r.channels(), 1);
    const std::vector<float>& h = r.responses[0][0];
    EXPECT_EQ(std::max_element(h.begin(), h.end()) - h.begin(), 480);
    EXPECT_EQ(r.samplingRate, 48000);
    const MagnitudeCurves c = MagnitudeResponse(r, 0);
    ASSERT_EQ(c.db.size(), 3u);
    for (size_t i = 0; i < c.frequencies.size(); ++i)
        if (c.frequencies[i] >= 40 && c.frequencies[i] <= 15000) {
            EXPECT_NEAR(c.db[0][i], 0, 0.05) << c.frequencies[i];
        }
    const std::vector<DistortionRow> rows = DistortionTable(r, 0);
    ASSERT_FALSE(rows.empty());
    EXPECT_NEAR(rows.front().frequency, 20, 0.5);
    for (const DistortionRow& row : rows) {
        if (!std::isnan(row.thdDb)) {
            EXPECT_LT(row.thdDb, -60) << row.frequency;
        }
        EXPECT_EQ(row.harmonicDb.size(), 2u);
    }
    EXPECT_TRUE(std::isnan(rows.back().harmonicDb[0])); // 2 x 20 kHz lies outside the sweep
}
