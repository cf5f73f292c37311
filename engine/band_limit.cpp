// Band-limited steps and corners, their tables, the peaks of the band-limited waves, and the
// scout that finds each channel's steps ahead of its oscillator.

#include "band_limit.h"
#include "oscillator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velmora {

namespace {
constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr int kReach = kBandLimitReach;

// The lowpass: a sinc cut off at 0.47 of the sampling rate under a Kaiser window (beta 12,
// about 117 dB of stopband) reaching 64 frames to either side. Its transition band runs
// from about 0.44 to just below 0.5, so everything from half the sampling rate up is at
// least 110 dB down.
constexpr double kCutoff = 0.47;
constexpr double kBeta = 12.0;

// Tables: the residuals as polynomials in the position within each 1/32 frame. 32 points a
// frame with cubic (Hermite) interpolation keep the interpolation error below -150 dB.
constexpr int kPerFrame = 32;
constexpr int kIntervals = 2 * kReach * kPerFrame;

// The waves' numbers (list indexes).
constexpr int kSquareWave = 1, kTriangleWave = 2, kSawtoothWave = 3;

// Where the output's level stops following the peak: at most 12 dB of make-up.
constexpr double kMinPeak = 0.25;

// While the frequency changes, the steps within the lowpass's reach are not evenly spaced,
// and where a strong harmonic lies in the transition band the wave may top its steady peak:
// by 0.27 dB in a 20 Hz to 20 kHz log sweep of 0.25 s, 0.07 dB in one of 1 s. The level
// leaves room for 100 x the relative change of the step per frame (at most 6 %): 0.12 dB
// in the 1 s sweep; none for a constant tone. The room follows the scout, which sees a
// change 64 frames before it is heard: it grows within some 50 frames and shrinks within
// some 300.
constexpr double kRateHeadroom = 100;
constexpr double kMaxHeadroom = 0.06;

double BesselI0(double x)
{
    double sum = 1, term = 1;
    const double q = x * x / 4;
    for (int k = 1; k < 200 && term > sum * 1e-17; ++k) {
        term *= q / (static_cast<double>(k) * k);
        sum += term;
    }
    return sum;
}

// The lowpass's impulse response at t frames (not yet scaled to unit area).
double Lowpass(double t)
{
    const double x = t / kReach;
    if (std::fabs(x) >= 1) return 0;
    static const double windowScale = 1 / BesselI0(kBeta);
    const double window = BesselI0(kBeta * std::sqrt(1 - x * x)) * windowScale;
    const double a = 2 * kCutoff * t;
    const double sinc = a == 0 ? 1.0 : std::sin(kPi * a) / (kPi * a);
    return 2 * kCutoff * sinc * window;
}

struct KernelTables {
    // Per interval [i/32 - 64, (i+1)/32 - 64): the step residual r as c0 + c1 u + c2 u^2 +
    // c3 u^3 and the ramp residual rho (its integral, exactly) as a quartic, u in [0, 1).
    std::array<std::array<double, 4>, kIntervals> step;
    std::array<std::array<double, 5>, kIntervals> ramp;

    KernelTables()
    {
        // The band-limited step S: the lowpass's running integral at every node, by 8-point
        // Gauss-Legendre quadrature over each interval.
        static constexpr double kNodes[4] = {0.1834346424956498, 0.5255324099163290, 0.7966664774136267,
                                             0.9602898564975363};
        static constexpr double kWeights[4] = {0.3626837833783620, 0.3137066458778873, 0.2223810344533745,
                                               0.1012285362903763};
        std::array<double, kIntervals + 1> integral{};
        const double width = 1.0 / kPerFrame;
        for (int i = 0; i < kIntervals; ++i) {
            const double mid = -kReach + (i + 0.5) * width;
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += kWeights[k] * (Lowpass(mid - kNodes[k] * width / 2) + Lowpass(mid + kNodes[k] * width / 2));
            integral[static_cast<size_t>(i) + 1] = integral[static_cast<size_t>(i)] + sum * width / 2;
        }
        const double area = integral[kIntervals];
        double rho = 0;
        for (int i = 0; i < kIntervals; ++i) {
            const auto n = static_cast<size_t>(i);
            const double t0 = -kReach + i * width;
            const double p0 = integral[n] / area, p1 = integral[n + 1] / area;
            const double m0 = Lowpass(t0) / area * width, m1 = Lowpass(t0 + width) / area * width;
            // Hermite cubic of S, less the ideal step from 0 on.
            const double ideal = t0 >= 0 ? 1.0 : 0.0;
            std::array<double, 4>& c = step[n];
            c = {p0 - ideal, m0, 3 * (p1 - p0) - 2 * m0 - m1, 2 * (p0 - p1) + m0 + m1};
            ramp[n] = {rho, c[0] * width, c[1] * width / 2, c[2] * width / 3, c[3] * width / 4};
            rho += width * (c[0] + c[1] / 2 + c[2] / 3 + c[3] / 4);
        }
    }
};

const KernelTables& Kernel()
{
    static const KernelTables tables;
    return tables;
}

inline double Step(const KernelTables& k, double tau)
{
    const double x = (tau + kReach) * kPerFrame;
    if (!(x >= 0 && x < kIntervals)) return 0;
    int i = static_cast<int>(x);
    double u = x - i;
    // The step itself lies at the middle node: a tau just before it stays before it, even
    // where adding the reach rounds it onto the node.
    constexpr int kMiddle = kIntervals / 2;
    if (tau < 0 && i >= kMiddle) i = kMiddle - 1, u = 1;
    const auto& c = k.step[static_cast<size_t>(i)];
    return c[0] + u * (c[1] + u * (c[2] + u * c[3]));
}

inline double Ramp(const KernelTables& k, double tau)
{
    const double x = (tau + kReach) * kPerFrame;
    if (!(x >= 0 && x < kIntervals)) return 0;
    const int i = static_cast<int>(x);
    const double u = x - i;
    const auto& c = k.ramp[static_cast<size_t>(i)];
    return c[0] + u * (c[1] + u * (c[2] + u * (c[3] + u * c[4])));
}

// ---------------------------------------------------------------- peaks

// The region (whole spans of `span` frames from 0) that tau lies in, decided by the same
// subtraction that places tau before or after each step, so that the two always agree.
double Region(double tau, double span)
{
    double j = std::floor(tau / span);
    if (tau - j * span < 0) j -= 1;
    if (tau - (j + 1) * span >= 0) j += 1;
    return j;
}

bool Even(double j) { return std::fmod(std::fabs(j), 2.0) == 0; }

// The band-limited wave at f cycles per frame, tau frames from a reference: the rising step
// of the square, the drop of the sawtooth, the top corner of the triangle.
double SteadyWave(const KernelTables& k, int wave, double f, double tau)
{
    if (wave == kSawtoothWave) {
        const double period = 1 / f;
        const double j0 = Region(tau, period);
        double y = -1 + 2 * (tau - j0 * period) * f;
        for (double j = std::ceil((tau - kReach) / period); j * period <= tau + kReach; ++j)
            y += -2 * Step(k, tau - j * period);
        return y;
    }
    const double half = 0.5 / f;
    if (wave == kSquareWave) {
        double y = Even(Region(tau, half)) ? 1 : -1;
        for (double j = std::ceil((tau - kReach) / half); j * half <= tau + kReach; ++j)
            y += (Even(j) ? 2 : -2) * Step(k, tau - j * half);
        return y;
    }
    // Triangle: corner m, at (m - 1) half periods, turns it upward for even m; the corner at
    // 0 is its top.
    const double j0 = Region(tau + half, half); // region m = j0 holds tau
    const double frac = (tau - (j0 - 1) * half) / half;
    double y = Even(j0) ? -1 + 2 * frac : 1 - 2 * frac;
    for (double m = std::ceil((tau - kReach) / half) + 1; (m - 1) * half <= tau + kReach; ++m)
        y += (Even(m) ? 8 * f : -8 * f) * Ramp(k, tau - (m - 1) * half);
    return y;
}

// The largest value of the steady wave between samples. The wave holds nothing above half a
// cycle per frame, so its tops lie at least about a frame apart: a grid of half a frame over
// where the top lies finds them, and a golden-section search refines the three highest.
double SteadyPeak(int wave, double f)
{
    const KernelTables& k = Kernel();
    const double half = 0.5 / f;
    double from = 0, to = 0;
    switch (wave) {
    case kSquareWave: to = std::min(half, kReach + 1.0); break;          // after the rise
    case kSawtoothWave: from = -std::min(2 * half, kReach + 1.0); break; // before the drop
    default: from = -std::min(half / 2, kReach + 1.0), to = -from; break; // around the top
    }
    constexpr int kMaxPoints = 4 * (kReach + 1) + 16;
    const int points = std::clamp(static_cast<int>((to - from) * 2), 16, kMaxPoints);
    const double spacing = (to - from) / points;
    std::array<double, kMaxPoints + 1> ys{};
    for (int i = 0; i <= points; ++i) ys[static_cast<size_t>(i)] = SteadyWave(k, wave, f, from + i * spacing);
    // The three highest points that stand above their neighbours (or the ends).
    std::array<int, 3> tops{-1, -1, -1};
    for (int i = 0; i <= points; ++i) {
        const double y = ys[static_cast<size_t>(i)];
        if ((i > 0 && ys[static_cast<size_t>(i - 1)] > y) || (i < points && ys[static_cast<size_t>(i + 1)] > y))
            continue;
        for (size_t t = 0; t < tops.size(); ++t) {
            if (tops[t] < 0 || y > ys[static_cast<size_t>(tops[t])]) {
                for (size_t u = tops.size() - 1; u > t; --u) tops[u] = tops[u - 1];
                tops[t] = i;
                break;
            }
        }
    }
    double peak = ys[static_cast<size_t>(tops[0])];
    constexpr double kGolden = 0.6180339887498949;
    for (const int top : tops) {
        if (top < 0) break;
        const double centre = from + top * spacing;
        double a = centre - spacing, b = centre + spacing;
        double x1 = b - kGolden * (b - a), x2 = a + kGolden * (b - a);
        double y1 = SteadyWave(k, wave, f, x1), y2 = SteadyWave(k, wave, f, x2);
        for (int i = 0; i < 32; ++i) {
            if (y1 < y2) {
                a = x1, x1 = x2, y1 = y2;
                x2 = a + kGolden * (b - a), y2 = SteadyWave(k, wave, f, x2);
            } else {
                b = x2, x2 = x1, y2 = y1;
                x1 = b - kGolden * (b - a), y1 = SteadyWave(k, wave, f, x1);
            }
        }
        peak = std::max({peak, y1, y2});
    }
    return peak;
}

// The peak from 2^-9 to 1/2 cycle per frame: 256 points evenly spread over each octave. Below 2^-9 a wave has one step or corner at a time within
// the lowpass's reach, and its peak is a straight line in the frequency (the triangle's and
// the square's exactly, the sawtooth's nearly, and from above), drawn from the peak at
// (almost) zero frequency. Between points the interpolation falls short of the peak by less
// than 5e-4; the table holds the peaks 0.005 dB high, so that a wave never passes its level.
constexpr int kLowestOctave = -9;
constexpr int kOctaves = -1 - kLowestOctave;
constexpr int kPerOctave = 256;
constexpr double kPeakMargin = 1.0005;

struct PeakTable {
    std::array<double, kOctaves * kPerOctave + 1> peak{};
    double atZero = 0;

    explicit PeakTable(int wave)
    {
        atZero = SteadyPeak(wave, std::ldexp(1.0, -40)) * kPeakMargin;
        for (int o = 0; o < kOctaves; ++o)
            for (int j = 0; j < kPerOctave; ++j)
                peak[static_cast<size_t>(o * kPerOctave + j)] =
                    SteadyPeak(wave, std::ldexp(1.0 + static_cast<double>(j) / kPerOctave, kLowestOctave + o)) *
                    kPeakMargin;
        peak.back() = SteadyPeak(wave, 0.5) * kPeakMargin;
    }

    double at(double f) const
    {
        const double lowest = std::ldexp(1.0, kLowestOctave);
        if (!(f > lowest)) return f > 0 ? atZero + (peak[0] - atZero) * (f / lowest) : atZero;
        if (f >= 0.5) return peak.back();
        int e = 0;
        const double m = std::frexp(f, &e); // f = m 2^e, m in [0.5, 1)
        const double x = (2 * m - 1) * kPerOctave;
        const int j = std::min(static_cast<int>(x), kPerOctave - 1);
        const int i = (e - 1 - kLowestOctave) * kPerOctave + j;
        // A cubic through the four nearest points (Catmull-Rom): in a sweep the gain then
        // bends smoothly, where straight lines would kink at every point and modulate the
        // wave at the rate the sweep passes them.
        const int last = static_cast<int>(peak.size()) - 1;
        const double p0 = peak[static_cast<size_t>(std::max(i - 1, 0))];
        const double p1 = peak[static_cast<size_t>(i)];
        const double p2 = peak[static_cast<size_t>(i + 1)];
        const double p3 = peak[static_cast<size_t>(std::min(i + 2, last))];
        const double u = x - j;
        return p1 + 0.5 * u * (p2 - p0 + u * (2 * p0 - 5 * p1 + 4 * p2 - p3 + u * (3 * (p1 - p2) + p3 - p0)));
    }
};

const PeakTable& Peaks(int wave)
{
    switch (wave) {
    case kSquareWave: {
        static const PeakTable square(kSquareWave);
        return square;
    }
    case kTriangleWave: {
        static const PeakTable triangle(kTriangleWave);
        return triangle;
    }
    default: {
        static const PeakTable sawtooth(kSawtoothWave);
        return sawtooth;
    }
    }
}

// Where in a frame's interval a step falls, kept inside (0, 1] so that the frame before it
// has the step ahead and the frame itself has it behind, as their ideal values do.
double Within(double at) { return std::clamp(at, 1e-12, 1.0); }
} // namespace

double StepResidual(double tau) { return Step(Kernel(), tau); }
double RampResidual(double tau) { return Ramp(Kernel(), tau); }
double BandLimitedPeak(int wave, double f) { return Peaks(wave).at(f); }

// ---------------------------------------------------------------- the scout

void BandLimiter::reset()
{
    active_ = false;
    frame_ = 0;
    firstEdge_ = endEdge_ = 0;
}

void BandLimiter::addEdge(int64_t frame, double at, double weight)
{
    if (endEdge_ - firstEdge_ == kEdges) ++firstEdge_; // cannot happen: at most one step a frame
    edges_[static_cast<size_t>(endEdge_ & (kEdges - 1))] = {frame, Within(at), weight};
    ++endEdge_;
}

void BandLimiter::scoutFrame()
{
    // The oscillator's frame exactly as the wave function makes it (same operations in the
    // same order, so the same bits), with the steps it crosses.
    OscillatorState& o = scout_;
    const int64_t frame = ++scoutFrame_;
    const double before = o.phase;
    const double used = o.step;
    const bool wrapped = AdvanceOscillator(o.phase, o.step, o.target, o.factor, o.increment, rules_.constant);
    if (used > 0) change_ = std::max(change_, std::fabs(o.step - used) / used);
    if (rules_.wave == kSawtoothWave) {
        double saw = o.step / kTwoPi * 2 + o.sawPrevious;
        if (saw > 1) {
            saw -= 2;
            addEdge(frame, (1 - o.sawPrevious) / (o.step / kTwoPi * 2), -2);
        }
        o.sawPrevious = saw;
    } else {
        // Counted in half periods from the wave's start: the square changes sign at every
        // whole one, the triangle turns a quarter period later.
        const double shift = rules_.wave == kSquareWave ? 0.0 : 0.5;
        const double a = (before + rules_.offset) / kPi + shift;
        const double b = (o.phase + rules_.offset) / kPi + shift;
        const auto qa = static_cast<int64_t>(std::floor(a));
        const int64_t qb = static_cast<int64_t>(std::floor(b)) + (wrapped ? 2 : 0);
        const double turn = rules_.wave == kSquareWave ? 2.0 : 4 * used / kPi;
        for (int64_t m = qa + 1; m <= qb; ++m) // forward: into region m
            addEdge(frame, (static_cast<double>(m) - a) * kPi / used, (m & 1) == 0 ? turn : -turn);
        for (int64_t m = qa; m > qb; --m) // back (only by rounding at a boundary): out of region m
            addEdge(frame, 1.0, (m & 1) == 0 ? -turn : turn);
    }
    ++scoutCounter_;
    if (rules_.repeats && scoutCounter_ == rules_.total) {
        scoutCounter_ = 0;
        if (rules_.restartsHere && !rules_.constant) {
            if (rules_.bidirectional) {
                o.factor = 1 / o.factor;
                o.increment = -o.increment;
            } else {
                o.target = o.step = rules_.startStep;
            }
        }
    }
    const auto slot = static_cast<size_t>(frame & (kSnapshots - 1));
    snapshots_[slot] = o;
    snapshotCounters_[slot] = scoutCounter_;
}

void BandLimiter::history(const OscillatorState& now)
{
    // Stepping back from the oscillator at its present step, frame by frame, the steps of the
    // frames before this one, newest first; then kept oldest first, as the scout keeps them.
    const double step = now.step;
    if (!(step > 0)) return;
    std::array<Edge, 2 * kReach + 2> past{};
    size_t count = 0;
    const auto record = [&](int64_t frame, double at, double weight) {
        if (count < past.size()) past[count++] = {frame, at, weight};
    };
    const double rise = step / kTwoPi * 2;
    double saw = now.sawPrevious;
    double theta = now.phase + rules_.offset;
    const double shift = rules_.wave == kSquareWave ? 0.0 : 0.5;
    const double turn = rules_.wave == kSquareWave ? 2.0 : 4 * step / kPi;
    for (int64_t frame = frame_ - 1; frame >= frame_ - kReach; --frame) {
        if (rules_.wave == kSawtoothWave) {
            double before = saw - rise;
            if (before <= -1) {
                before += 2;
                record(frame, (1 - before) / rise, -2);
            }
            saw = before;
        } else {
            const double a = (theta - step) / kPi + shift;
            const double b = theta / kPi + shift;
            const auto qa = static_cast<int64_t>(std::floor(a));
            const auto qb = static_cast<int64_t>(std::floor(b));
            for (int64_t m = qb; m > qa; --m)
                record(frame, (static_cast<double>(m) - a) * kPi / step, (m & 1) == 0 ? turn : -turn);
            theta -= step;
        }
    }
    while (count > 0) {
        const Edge& e = past[--count];
        addEdge(e.frame, e.at, e.weight);
    }
}

void BandLimiter::resync(const OscillatorState& now, int64_t counter)
{
    // The steps already passed stay (their ringing goes on); those ahead are predicted anew.
    while (endEdge_ > firstEdge_ && edges_[static_cast<size_t>((endEdge_ - 1) & (kEdges - 1))].frame >= frame_)
        --endEdge_;
    scout_ = now;
    scoutFrame_ = frame_ - 1;
    scoutCounter_ = counter;
    for (int i = 0; i < kReach; ++i) scoutFrame();
}

void BandLimiter::beginFrame(const OscillatorState& now, const OscillatorRules& rules, int64_t counter)
{
    const auto slot = static_cast<size_t>((frame_ - 1) & (kSnapshots - 1));
    change_ = 0;
    if (!active_ || !(rules == rules_) || snapshotCounters_[slot] != counter) {
        // A new start, another wave or way of stepping, or a counter set back: nothing
        // before this frame belongs to what comes now. The wave begins as if it had been
        // running at its present step, its earlier steps still ringing into the first
        // frames, so that it begins at its steady peak.
        active_ = true;
        rules_ = rules;
        firstEdge_ = endEdge_ = 0;
        history(now);
        resync(now, counter);
        headroom_ = std::min(kRateHeadroom * change_, kMaxHeadroom);
    } else if (!(snapshots_[slot] == now)) {
        resync(now, counter);
    }
    scoutFrame();
    const double wanted = std::min(kRateHeadroom * change_, kMaxHeadroom);
    headroom_ = wanted > headroom_ ? headroom_ + (wanted - headroom_) / 16 : std::max(wanted, headroom_ * (1 - 1.0 / 64));
}

double BandLimiter::ideal(double theta) const
{
    const double shift = rules_.wave == kSquareWave ? 0.0 : 0.5;
    const double u = theta / kPi + shift;
    const double region = std::floor(u);
    const bool even = (static_cast<int64_t>(region) & 1) == 0;
    if (rules_.wave == kSquareWave) return even ? 1.0 : -1.0;
    const double frac = u - region;
    return even ? -1 + 2 * frac : 1 - 2 * frac;
}

double BandLimiter::value(double phase, double step, double saw)
{
    const int64_t n = frame_++;
    const bool corners = rules_.wave == kTriangleWave;
    double y = rules_.wave == kSawtoothWave ? saw : ideal(phase + rules_.offset);
    const KernelTables& k = Kernel();
    for (int64_t p = firstEdge_; p < endEdge_; ++p) {
        const Edge& e = edges_[static_cast<size_t>(p & (kEdges - 1))];
        const double tau = static_cast<double>(n - e.frame) + (1 - e.at);
        if (tau >= kReach) {
            if (p == firstEdge_) ++firstEdge_; // behind for good
            continue;
        }
        y += e.weight * (corners ? Ramp(k, tau) : Step(k, tau));
    }
    return y / (std::max(Peaks(rules_.wave).at(step / kTwoPi), kMinPeak) * (1 + headroom_));
}

} // namespace velmora
