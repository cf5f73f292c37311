// The waveform display: its labels and scales, the grid, the ring of samples it keeps, and
// the trace it paints, fed directly with known samples and through the real buffer fill.
#include "window_harness.h"
#include "user_input.h"

#include "ui/dialogs/output_settings_dialog.h"
#include "ui/waveform_display/scope_trace.h"
#include "ui/waveform_display/waveform_window.h"
#include "ui/widgets/picture_combo_box.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QtTest/QTest>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velmora::ui::test {
namespace {

// Interleaved 16-bit frames of one or two channels.
std::vector<uint8_t> frames16(const std::vector<int16_t>& left, const std::vector<int16_t>* right = nullptr)
{
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < left.size(); ++i) {
        for (int16_t v : {left[i], right ? (*right)[i] : int16_t(0)}) {
            bytes.push_back(static_cast<uint8_t>(v & 0xFF));
            bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
            if (!right) break;
        }
    }
    return bytes;
}

// round(amplitude x sin(2 pi f n / fs)) for n = from .. to - 1.
std::vector<int16_t> sine(double amplitude, double hertz, double fs, int64_t from, int64_t to)
{
    std::vector<int16_t> x;
    for (int64_t n = from; n < to; ++n)
        x.push_back(static_cast<int16_t>(std::nearbyint(amplitude * std::sin(2 * std::numbers::pi * hertz * n / fs))));
    return x;
}

TEST(ScopeTraceTest, TimeBasesAndZoom)
{
    const char* labels[] = {"100\u00B5s", "200\u00B5s", "500\u00B5s", "1ms",  "2ms",
                            "5ms",       "10ms",       "20ms",       "50ms", "100ms"};
    const double seconds[] = {0.0001, 0.0002, 0.0005, 0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1};
    for (int p = 1; p <= kTimeBaseCount; ++p) {
        EXPECT_STREQ(TimeBaseAt(p).label, labels[p - 1]);
        EXPECT_EQ(TimeBaseAt(p).seconds, static_cast<float>(seconds[p - 1]));
    }
    EXPECT_EQ(ZoomFactor(15), 1);
    EXPECT_EQ(ZoomFactor(14), 2);
    EXPECT_EQ(ZoomFactor(0), 32768);

    // 100 ms/div at 44100 Hz: ten divisions hold 44100 samples, 400 / 44100 pixels each
    // (within the single precision of the time base).
    ScopeScale s{401, 401, static_cast<float>(0.1), 44100, 1};
    EXPECT_NEAR(s.pixelsPerSample(), 400.0 / 44100, 1e-7 * 400.0 / 44100);
    EXPECT_NEAR(s.framesOnScreen(), 44101, 1);
    EXPECT_DOUBLE_EQ(s.y(0), 200);
    EXPECT_DOUBLE_EQ(s.y(32768), 0);
    EXPECT_DOUBLE_EQ(s.y(-16384), 300);
    s.zoom = 2;
    EXPECT_DOUBLE_EQ(s.y(16384), 0);
}

TEST(ScopeTraceTest, TheRingKeepsTheNewestFramesOfEitherFormat)
{
    ScopeRing ring;
    ring.reserve(1000); // rounded up to a power of two
    ASSERT_EQ(ring.capacity(), 1024u);

    const std::vector<int16_t> left = {1, -2, 32767, -32768};
    const std::vector<int16_t> right = {10, 20, 30, 40};
    std::vector<uint8_t> bytes = frames16(left, &right);
    ring.append(bytes.data(), static_cast<int32_t>(bytes.size()), 16, 2);
    EXPECT_TRUE(ring.stereo());
    ASSERT_EQ(ring.written(), 4u);
    for (uint64_t i = 0; i < 4; ++i) {
        EXPECT_EQ(ring.at(Channel::Left, i), left[i]);
        EXPECT_EQ(ring.at(Channel::Right, i), right[i]);
    }

    // 24-bit mono: the top two bytes are the sample, the low one its fraction.
    const uint8_t packed[] = {0x80, 0x00, 0x01, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF, 0x00};
    ring.append(packed, sizeof packed, 24, 1); // three whole frames; the last byte is no frame
    EXPECT_FALSE(ring.stereo());
    ASSERT_EQ(ring.written(), 7u);
    EXPECT_FLOAT_EQ(ring.at(Channel::Left, 4), 256.5f);
    EXPECT_FLOAT_EQ(ring.at(Channel::Left, 5), -32768.0f);
    EXPECT_FLOAT_EQ(ring.at(Channel::Left, 6), -1.0f / 256);

    // Past its capacity the ring holds the newest frames only.
    std::vector<int16_t> ramp(3000);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i);
    bytes = frames16(ramp);
    ring.append(bytes.data(), static_cast<int32_t>(bytes.size()), 16, 1);
    EXPECT_EQ(ring.written(), 3007u);
    EXPECT_EQ(ring.held(), 1024u);
    EXPECT_EQ(ring.oldest(), 3007u - 1024);
    EXPECT_EQ(ring.at(Channel::Left, 3006), 2999);
    EXPECT_EQ(ring.at(Channel::Left, ring.oldest()), 3000 - 1024);

    // Growing keeps what is held; shrinking keeps the newest part.
    ring.reserve(4000);
    EXPECT_EQ(ring.held(), 1024u);
    EXPECT_EQ(ring.at(Channel::Left, 3006), 2999);
    EXPECT_EQ(ring.at(Channel::Left, ring.oldest()), 3000 - 1024);
    ring.reserve(10);
    EXPECT_EQ(ring.capacity(), 1024u);
    ring.reserve(2000);
    ring.append(bytes.data(), 2 * 100, 16, 1);
    EXPECT_EQ(ring.held(), 1124u);
    EXPECT_EQ(ring.at(Channel::Left, ring.written() - 1), 99);
    EXPECT_EQ(ring.at(Channel::Left, ring.oldest()), 3000 - 1024);

    ring.clear();
    EXPECT_EQ(ring.held(), 0u);
    EXPECT_EQ(ring.written(), 0u);
}

TEST(ScopeTraceTest, WithoutACrossingTheNewestScreenRunsFree)
{
    ScopeRing ring;
    ring.reserve(4096);
    const std::vector<int16_t> dc(1000, 1000);
    const std::vector<uint8_t> bytes = frames16(dc);
    ring.append(bytes.data(), static_cast<int32_t>(bytes.size()), 16, 1);
    const ScopeScale s{401, 401, static_cast<float>(0.0001), 44100, 1}; // about 44 frames a screen
    const TriggerResult t = FindTrigger(ring, Channel::Left, s);
    EXPECT_FALSE(t.triggered);
    EXPECT_NEAR(t.start + 400 / s.pixelsPerSample(), 999, 1e-9); // the newest frame at the right edge
    // Less than a screen: from the oldest frame.
    ScopeRing few;
    few.reserve(16);
    few.append(bytes.data(), 20, 16, 1);
    EXPECT_EQ(FindTrigger(few, Channel::Left, s).start, 0);
    EXPECT_EQ(TracePoints(few, Channel::Left, 0, s).size(), 10);
}

// Pulses repeated every `every` frames, resting at zero between them.
std::vector<int16_t> pulseTrain(const std::vector<int16_t>& pulse, int every, int frames)
{
    std::vector<int16_t> x(static_cast<size_t>(frames), 0);
    for (int r = 0; r < frames; r += every)
        for (size_t i = 0; i < pulse.size() && r + static_cast<int>(i) < frames; ++i) x[r + i] = pulse[i];
    return x;
}

std::vector<int16_t> negated(std::vector<int16_t> x)
{
    for (int16_t& v : x) v = static_cast<int16_t>(-v);
    return x;
}

// Dirac pulses and one-period sine pulses of either polarity: the trigger takes the edge
// where a pulse leaves the rest, one division in from the left edge, so that the pulse and
// the rest before it are on screen, at the same place however far the signal has run.
TEST(ScopeTraceTest, PulsesOfEitherPolarityTriggerWithThePulseOnScreen)
{
    const std::vector<int16_t> sinePulse = sine(30000, 1000, 44100, 0, 44);
    struct Case {
        const char* name;
        std::vector<int16_t> pulse;
    };
    const std::vector<Case> cases = {
        {"Dirac", {32767}},
        {"negative Dirac", {-32767}},
        {"sine pulse", sinePulse},
        {"negative sine pulse", negated(sinePulse)},
    };
    const ScopeScale s{401, 401, static_cast<float>(0.0005), 44100, 1}; // 220.5 frames a screen
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int every = 300;
        const std::vector<int16_t> x = pulseTrain(c.pulse, every, 3000);
        const int peak = *std::max_element(c.pulse.begin(), c.pulse.end(),
                                           [](int16_t a, int16_t b) { return std::abs(a) < std::abs(b); });
        double firstStart = 0;
        for (const int more : {0, 137, 1000}) {
            SCOPED_TRACE(more);
            ScopeRing ring;
            ring.reserve(8192);
            const std::vector<uint8_t> bytes = frames16(std::vector<int16_t>(x.begin(), x.end() - 1000 + more));
            ring.append(bytes.data(), static_cast<int32_t>(bytes.size()), 16, 1);
            const TriggerResult t = FindTrigger(ring, Channel::Left, s);
            ASSERT_TRUE(t.triggered);
            EXPECT_TRUE(t.pulse);
            EXPECT_LE(t.start + 400 / s.pixelsPerSample(), static_cast<double>(ring.written() - 1));
            // The same place in the train each time.
            const double phase = std::fmod(t.start, every);
            if (more == 0) firstStart = phase;
            EXPECT_NEAR(phase, firstStart, 1e-9);

            const QPolygonF trace = TracePoints(ring, Channel::Left, t.start, s);
            double peakX = -1, peakY = 200;
            for (const QPointF& p : trace) {
                if (p.x() < 0 || p.x() > 400) continue;
                if (p.x() < 30) {
                    EXPECT_NEAR(p.y(), 200, 1e-9) << "the rest before the pulse, at " << p.x();
                }
                if (std::abs(p.y() - 200) > std::abs(peakY - 200)) peakX = p.x(), peakY = p.y();
            }
            EXPECT_NEAR(peakY, 200 - peak * 200.0 / 32768, 1e-9);
            EXPECT_GE(peakX, 30);
            EXPECT_LE(peakX, 40 + (static_cast<double>(c.pulse.size()) + 1) * s.pixelsPerSample());
        }
    }
}

// A stereo signal triggers on the left unless the left is silent (dither at most) and the
// right is not.
TEST(ScopeTraceTest, TheTriggerFollowsTheChannelThatCarriesASignal)
{
    const std::vector<int16_t> tone = sine(30000, 1000, 44100, 0, 2000);
    const std::vector<int16_t> silence(2000, 0);
    std::vector<int16_t> dither(2000);
    for (size_t i = 0; i < dither.size(); ++i) dither[i] = static_cast<int16_t>(static_cast<int>(i * 7 % 3) - 1);
    struct Case {
        const char* name;
        const std::vector<int16_t>* left;
        const std::vector<int16_t>* right; // null: mono
        Channel expected;
    };
    const std::vector<Case> cases = {
        {"left tone, right silent", &tone, &silence, Channel::Left},
        {"left silent, right tone", &silence, &tone, Channel::Right},
        {"left dither, right tone", &dither, &tone, Channel::Right},
        {"both tones", &tone, &tone, Channel::Left},
        {"both silent", &silence, &silence, Channel::Left},
        {"mono silence", &silence, nullptr, Channel::Left},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopeRing ring;
        ring.reserve(4096);
        const std::vector<uint8_t> bytes = frames16(*c.left, c.right);
        ring.append(bytes.data(), static_cast<int32_t>(bytes.size()), 16, c.right ? 2 : 1);
        EXPECT_EQ(TriggerChannel(ring, ring.oldest(), ring.written()), c.expected);
    }
}

// The trace's own line drawing: one-pixel lines, clipped however far the zoom throws them.
TEST(ScopeTraceTest, DrawingATraceSetsItsPixelsOnly)
{
    QImage image(10, 10, QImage::Format_RGB32);
    const QRgb black = qRgb(0, 0, 0), lime = qRgb(0, 255, 0);
    auto count = [&] {
        int n = 0;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) n += image.pixel(x, y) == lime;
        return n;
    };

    image.fill(black);
    DrawTrace(image, QPolygonF({QPointF(2, -1e7), QPointF(2.2, 1e7)}), lime); // 32768x zoom
    for (int y = 0; y < 10; ++y) EXPECT_EQ(image.pixel(2, y), lime) << y;
    EXPECT_EQ(count(), 10);

    image.fill(black);
    DrawTrace(image, QPolygonF({QPointF(-5, -5), QPointF(9, 9), QPointF(9.4, 30)}), lime);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(image.pixel(i, i), lime) << i;
    EXPECT_EQ(count(), 10);

    image.fill(black);
    DrawTrace(image, QPolygonF({QPointF(0, 20), QPointF(9, 40), QPointF(-3, 4)}), lime); // all outside
    DrawTrace(image, QPolygonF(), lime);
    EXPECT_EQ(count(), 0);
    DrawTrace(image, QPolygonF({QPointF(4.4, 5.6)}), lime);
    EXPECT_EQ(image.pixel(4, 6), lime);
    EXPECT_EQ(count(), 1);
}

class WaveformTest : public WindowHarness {
protected:
    void SetUp() override
    {
        WindowHarness::SetUp();
        choose(controller->settingsDialog().cboFsList, 3); // 44100 Hz
    }
    TfrmWaveForm& scope() { return controller->waveform(); }
    QAction* menuItem() { return window->menu().WaveformDisplay1; }
    void open()
    {
        if (!menuItem()->isChecked()) menuItem()->trigger();
        ASSERT_TRUE(scope().isVisible());
    }
    // Hands `samples` (mono) to the scope as one filled buffer.
    void feed(const std::vector<int16_t>& samples)
    {
        const std::vector<uint8_t> bytes = frames16(samples);
        scope().bufferFilled({bytes.data(), static_cast<int32_t>(bytes.size()), 16, 1});
    }
    // Paints the screen and answers the left trace.
    const QPolygonF& paint(Channel c = Channel::Left)
    {
        scope().pbxScope->grab();
        return scope().lastTrace(c);
    }
    // The trace's height at x, between its points.
    static double heightAt(const QPolygonF& trace, double x)
    {
        for (qsizetype i = 1; i < trace.size(); ++i) {
            if (trace[i].x() >= x) {
                const QPointF a = trace[i - 1], b = trace[i];
                return a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x());
            }
        }
        return std::nan("");
    }
    static QPolygonF zeroLine() { return QPolygonF({QPointF(0, 200), QPointF(400, 200)}); }
};

TEST_F(WaveformTest, LabelsAndTheirControls)
{
    open();
    EXPECT_EQ(scope().windowTitle(), QStringLiteral("WaveForm"));
    EXPECT_EQ(scope().size(), QSize(460, 447));
    EXPECT_EQ(scope().pbxScope->geometry(), QRect(8, 8, 401, 401));
    EXPECT_EQ(scope().tbTDiv->value(), 3);
    EXPECT_EQ(scope().tbZoom->value(), 15);
    EXPECT_EQ(scope().lbltDiv->text(), QStringLiteral("500\u00B5s/div"));
    EXPECT_EQ(scope().lblZoom->text(), QStringLiteral("1x Zoom"));

    scope().tbZoom->setValue(0);
    EXPECT_EQ(scope().lblZoom->text(), QStringLiteral("32768x Zoom"));
    scope().tbZoom->setValue(14);
    EXPECT_EQ(scope().lblZoom->text(), QStringLiteral("2x Zoom"));
    EXPECT_EQ(scope().zoomFactor(), 2);

    scope().tbTDiv->setValue(10);
    EXPECT_EQ(scope().lbltDiv->text(), QStringLiteral("100ms/div"));
    EXPECT_EQ(scope().timePerDivision(), static_cast<double>(0.1f));
    EXPECT_NEAR(scope().scale().pixelsPerSample(), 400.0 / 44100, 1e-7 * 400.0 / 44100);
    scope().tbTDiv->setValue(1);
    EXPECT_EQ(scope().lbltDiv->text(), QStringLiteral("100\u00B5s/div"));
}

TEST_F(WaveformTest, TheGridHasTenByTenGreenDivisions)
{
    const QImage& grid = scope().imgPhantomScopeGrid;
    ASSERT_EQ(grid.size(), QSize(401, 401));
    const QRgb green = qRgb(0, 128, 0), black = qRgb(0, 0, 0);
    // Lines at round(40.1 j), black between. The last rectangles end one pixel beyond the
    // screen (at round(402.0)), so their right and bottom edges are not on it.
    for (int j = 0; j < 10; ++j) {
        const int x = static_cast<int>(std::nearbyint(40.1 * j));
        EXPECT_EQ(grid.pixel(x, 20), green) << x;
        EXPECT_EQ(grid.pixel(20, x), green) << x;
        EXPECT_EQ(grid.pixel(x + 20, x + 20), black) << x;
    }
    EXPECT_EQ(grid.pixel(400, 20), black);
    EXPECT_EQ(grid.pixel(20, 400), black);
    EXPECT_EQ(grid.pixel(361, 20), green);
}

// A known sine at 500 µs/div: one point per sample, pixels per sample apart, each at the
// sample's height; the trace starts on a rising zero crossing at the left edge.
TEST_F(WaveformTest, TheTraceIsTheSamplesAtTheScreensScales)
{
    open();
    scope().setGeneratorRunning(true);
    const double fs = 44100, f = 1000, amplitude = 30000;
    const std::vector<int16_t> x = sine(amplitude, f, fs, 0, 4410);
    for (int zoomPosition : {15, 14}) {
        SCOPED_TRACE(zoomPosition);
        scope().tbZoom->setValue(zoomPosition);
        const int zoom = 1 << (15 - zoomPosition);
        feed(x);
        const QPolygonF& trace = paint();
        const double pps = 400 / (10 * static_cast<double>(0.0005f) * fs);
        ASSERT_GE(trace.size(), 220);
        ASSERT_LE(trace.size(), 223);
        // The samples the points stand for: find the first one's frame by its height.
        const auto yOf = [&](double v) { return 200 - zoom * v * 200 / 32768; };
        int64_t first = -1;
        for (int64_t n = 1; n < static_cast<int64_t>(x.size()); ++n)
            if (x[n - 1] < 0 && x[n] >= 0 && std::abs(yOf(x[n - 1]) - trace[0].y()) < 1e-9 &&
                std::abs(yOf(x[n]) - trace[1].y()) < 1e-9)
                first = n - 1; // the latest that fits: the trigger looks back from the newest screen
        ASSERT_GE(first, 0);
        const double crossing = first + x[first] / double(x[first] - x[first + 1]);
        for (qsizetype i = 0; i < trace.size(); ++i) {
            ASSERT_LT(first + i, static_cast<int64_t>(x.size()));
            EXPECT_NEAR(trace[i].x(), (first + i - crossing) * pps, 1e-9) << i;
            EXPECT_NEAR(trace[i].y(), yOf(x[first + i]), 1e-9) << i;
        }
        EXPECT_LE(trace[0].x(), 0);
        EXPECT_GT(trace[1].x(), 0);
        EXPECT_NEAR(heightAt(trace, 0), 200, 1e-9);  // on the zero line at the left edge
        EXPECT_GE(trace.last().x(), 400);               // and on to the right edge
    }
}

// Many samples a pixel (100 ms/div): each column holds the lowest and highest of its samples.
TEST_F(WaveformTest, ColumnsOfManySamplesShowTheirExtremes)
{
    open();
    scope().setGeneratorRunning(true);
    scope().tbTDiv->setValue(10);
    const double fs = 44100, f = 3;
    feed(sine(32767, f, fs, 0, 2 * 44100 + 500));
    const QPolygonF& trace = paint();
    ASSERT_GE(trace.size(), 401);
    ASSERT_LE(trace.size(), 802);
    const double pps = 400 / (10 * static_cast<double>(0.1f) * fs);
    // The left edge: the newest rising crossing a whole screen before the end.
    double start = -1;
    for (int64_t n = 2 * 44100 + 499 - 44100; n > 0; --n) {
        const double a = 32767 * std::sin(2 * std::numbers::pi * f * (n - 1) / fs);
        const double b = 32767 * std::sin(2 * std::numbers::pi * f * n / fs);
        if (std::nearbyint(a) < 0 && std::nearbyint(b) >= 0) {
            start = n;
            break;
        }
    }
    ASSERT_GT(start, 0);
    for (int column = 0; column < 401; column += 7) {
        // The sine's value in the middle of the column lies between its points there.
        double low = 1e9, high = -1e9;
        for (const QPointF& p : trace)
            if (p.x() == column) low = std::min(low, p.y()), high = std::max(high, p.y());
        ASSERT_LT(low, 1e9) << column;
        const double mid = start + (column + 0.5) / pps;
        const double expected = 200 - 32767 * std::sin(2 * std::numbers::pi * f * mid / fs) * 200 / 32768;
        EXPECT_GE(expected, low - 1.5) << column;
        EXPECT_LE(expected, high + 1.5) << column;
    }
}

// Through the real fill: a steady 1 kHz stereo tone at 500 µs/div stands still, at full
// height, five periods across; the right channel in its own trace.
TEST_F(WaveformTest, APlayingToneStandsStill)
{
    choose(w().cboChannels, 1);
    type(ch(Channel::Left).fInit, QStringLiteral("1000"));
    type(ch(Channel::Right).fInit, QStringLiteral("1000"));
    type(ch(Channel::Right).Amplitude, QStringLiteral("-6.02"));
    click(w().Loop);
    open();
    EXPECT_EQ(paint(), zeroLine()); // off
    click(w().btnON);
    pump();
    ASSERT_TRUE(controller->switching().GeneratorRunning());
    for (int i = 0; i < 6; ++i) playQueued();

    const QPolygonF left = paint(Channel::Left);
    const QPolygonF right = scope().lastTrace(Channel::Right);
    ASSERT_FALSE(left.isEmpty());
    ASSERT_FALSE(right.isEmpty());
    auto span = [](const QPolygonF& t) {
        double low = 1e9, high = -1e9;
        for (const QPointF& p : t) low = std::min(low, p.y()), high = std::max(high, p.y());
        return std::pair(low, high);
    };
    EXPECT_NEAR(span(left).first, 0, 0.5);
    EXPECT_NEAR(span(left).second, 400, 0.5);
    EXPECT_NEAR(span(right).first, 100, 0.5);
    EXPECT_NEAR(span(right).second, 300, 0.5);
    // Rising zero crossings every 44.1 samples: 80 pixels apart, the first at the left edge.
    const double period = 44.1 * 400 / 220.5;
    for (int k = 0; k < 5; ++k) EXPECT_NEAR(heightAt(left, k * period), 200, 1.0) << k;
    EXPECT_NEAR(heightAt(left, period / 4), 0, 1.0);

    // More buffers later, the picture is the same.
    for (int i = 0; i < 5; ++i) playQueued();
    const QPolygonF later = paint(Channel::Left);
    for (double xPos = 1; xPos < 400; xPos += 13) EXPECT_NEAR(heightAt(later, xPos), heightAt(left, xPos), 1.0) << xPos;

    // Off: the zero line again.
    click(w().btnOFF);
    pump();
    ASSERT_FALSE(controller->switching().GeneratorRunning());
    EXPECT_EQ(paint(), zeroLine());
    EXPECT_TRUE(scope().lastTrace(Channel::Right).isEmpty());
}

// The view is made when first opened: opened while a tone already plays, it shows the tone.
TEST_F(WaveformTest, FirstOpenedWhileATonePlaysItShowsTheTone)
{
    type(ch(Channel::Left).fInit, QStringLiteral("1000"));
    click(w().Loop);
    click(w().btnON);
    pump();
    ASSERT_TRUE(controller->switching().GeneratorRunning());
    open();
    for (int i = 0; i < 6; ++i) playQueued();
    const QPolygonF left = paint(Channel::Left);
    ASSERT_FALSE(left.isEmpty());
    EXPECT_NE(left, zeroLine());
    EXPECT_NEAR(heightAt(left, 44.1 * 400 / 220.5 / 4), 0, 1.0); // a peak a quarter period in
    click(w().btnOFF);
    pump();
    EXPECT_EQ(paint(), zeroLine());
}

// With the left channel silent the right one triggers: its tone stands still, on a rising
// zero crossing at the left edge.
TEST_F(WaveformTest, ASilentLeftLetsTheRightChannelTrigger)
{
    open();
    scope().setGeneratorRunning(true);
    const double fs = 44100, f = 1000, amplitude = 30000;
    for (const int64_t from : {int64_t(0), int64_t(4410), int64_t(8830)}) {
        SCOPED_TRACE(from);
        const std::vector<int16_t> left(4410, 0);
        const std::vector<int16_t> right = sine(amplitude, f, fs, from, from + 4410);
        const std::vector<uint8_t> bytes = frames16(left, &right);
        scope().bufferFilled({bytes.data(), static_cast<int32_t>(bytes.size()), 16, 2});
        paint();
        const QPolygonF& trace = scope().lastTrace(Channel::Right);
        const double period = 44.1 * 400 / 220.5;
        EXPECT_NEAR(heightAt(trace, 0), 200, 1.0);
        EXPECT_NEAR(heightAt(trace, period / 4), 200 - amplitude * 200 / 32768, 2.0);
        EXPECT_NEAR(heightAt(trace, period), 200, 1.0);
    }
}

// Between pulses further apart than the ring reaches, the last one stays on screen; off,
// the zero line again.
TEST_F(WaveformTest, TheLastPulseStaysUntilTheNextOne)
{
    open();
    scope().setGeneratorRunning(true);
    feed(pulseTrain({32767}, 300, 3000));
    const QPolygonF pulse = paint();
    double top = 200;
    for (const QPointF& p : pulse) top = std::min(top, p.y());
    ASSERT_NEAR(top, 200 - 32767 * 200.0 / 32768, 1e-9);
    for (int i = 0; i < 20; ++i) feed(std::vector<int16_t>(4096, 0));
    EXPECT_EQ(paint(), pulse);
    scope().setGeneratorRunning(false);
    EXPECT_EQ(paint(), zeroLine());
}

// Through the real fill: what is on screen is what the device is playing. The ring of four
// buffers was filled ahead; a new frequency reaches the picture only once the buffers filled
// before it have been played.
TEST_F(WaveformTest, TheTraceIsWhatIsPlayingNotWhatIsQueued)
{
    type(ch(Channel::Left).fInit, QStringLiteral("1000"));
    click(w().Loop);
    open();
    click(w().btnON);
    pump();
    ASSERT_TRUE(controller->switching().GeneratorRunning());
    // Rising crossings of the zero line across the screen: 5 for 1 kHz, 10 for 2 kHz.
    const auto periodsOnScreen = [&] {
        const QPolygonF& t = paint();
        int n = 0;
        for (qsizetype i = 1; i < t.size(); ++i)
            n += t[i - 1].x() >= 0 && t[i].x() <= 400 && t[i - 1].y() > 200 && t[i].y() <= 200;
        return n;
    };
    playQueued();
    EXPECT_NEAR(periodsOnScreen(), 5, 1);
    type(ch(Channel::Left).fInit, QStringLiteral("2000"));
    playQueued(); // plays the four 1 kHz buffers; the four refilled at 2 kHz wait at the device
    EXPECT_NEAR(periodsOnScreen(), 5, 1) << "a frequency that is not heard yet is on screen";
    playQueued();
    EXPECT_NEAR(periodsOnScreen(), 10, 1);
    click(w().btnOFF);
    pump();
}

// Hidden, the scope takes no samples; Ctrl+W's item shows it again after its close box.
TEST_F(WaveformTest, TheMenuItemAndTheCloseBox)
{
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_TRUE(scope().isVisible());
    EXPECT_TRUE(menuItem()->isChecked());
    scope().close();
    EXPECT_FALSE(scope().isVisible());
    EXPECT_FALSE(menuItem()->isChecked());

    scope().setGeneratorRunning(true);
    feed(sine(30000, 1000, 44100, 0, 4410));
    menuItem()->trigger();
    EXPECT_TRUE(scope().isVisible());
    EXPECT_TRUE(menuItem()->isChecked());
    EXPECT_EQ(paint(), zeroLine()); // nothing was taken while hidden
    menuItem()->trigger();
    EXPECT_FALSE(scope().isVisible());
}

} // namespace
} // namespace velmora::ui::test
