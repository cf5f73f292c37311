#include "ui/waveform_display/scope_trace.h"

#include "engine/pcm.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace velmora::ui {

namespace {
constexpr std::array<TimeBase, kTimeBaseCount> kTimeBases{{
    {0.0001f, "100\u00B5s"},
    {0.0002f, "200\u00B5s"},
    {0.0005f, "500\u00B5s"},
    {0.001f, "1ms"},
    {0.002f, "2ms"},
    {0.005f, "5ms"},
    {0.01f, "10ms"},
    {0.02f, "20ms"},
    {0.05f, "50ms"},
    {0.1f, "100ms"},
}};
constexpr uint64_t kSmallestRing = 1024;
} // namespace

const TimeBase& TimeBaseAt(int position)
{
    return kTimeBases[static_cast<size_t>(std::clamp(position, 1, kTimeBaseCount) - 1)];
}

int ZoomFactor(int position) { return 1 << (15 - std::clamp(position, 0, 15)); }

double ScopeScale::pixelsPerSample() const
{
    return (width - 1) / (10.0 * timePerDivision * samplingRate);
}

double ScopeScale::y(double sample) const
{
    const int zero = height / 2;
    return zero - zoom * sample * zero / 32768.0;
}

int64_t ScopeScale::framesOnScreen() const
{
    return static_cast<int64_t>(std::ceil((width - 1) / pixelsPerSample())) + 1;
}

void ScopeRing::reserve(int64_t frames)
{
    const uint64_t wanted = std::bit_ceil(std::max<uint64_t>(kSmallestRing, static_cast<uint64_t>(std::max<int64_t>(frames, 0))));
    if (wanted == capacity()) return;
    std::vector<float> left(wanted), right(wanted);
    const uint64_t keep = std::min(held(), wanted);
    for (uint64_t frame = written_ - keep; frame < written_; ++frame) {
        left[frame & (wanted - 1)] = left_[frame & mask_];
        right[frame & (wanted - 1)] = right_[frame & mask_];
    }
    left_ = std::move(left);
    right_ = std::move(right);
    leftBlocks_.assign(wanted / kBlock, Block{});
    rightBlocks_.assign(wanted / kBlock, Block{});
    mask_ = wanted - 1;
    blockMask_ = wanted / kBlock - 1;
    held_ = keep;
    summarise(written_ - keep, written_, true);
}

void ScopeRing::summarise(uint64_t from, uint64_t to, bool fresh)
{
    const int channels = stereo_ ? 2 : 1;
    for (int k = 0; k < channels; ++k) {
        const std::vector<float>& ring = k == 0 ? left_ : right_;
        std::vector<Block>& blocks = k == 0 ? leftBlocks_ : rightBlocks_;
        // Block by block: a block never wraps round the ring, its frames lie side by side.
        for (uint64_t f = from; f < to;) {
            const auto offset = static_cast<uint16_t>(f % kBlock);
            const uint64_t end = std::min(to, f - offset + kBlock);
            const float* v = ring.data() + (f & mask_);
            Block& b = blocks[(f / kBlock) & blockMask_];
            // A block starts here; one that continues from the previous append keeps its
            // summary, unless the summaries are being made afresh.
            if (offset == 0 || (f == from && fresh)) b = Block{v[0], v[0], offset, offset, 0};
            float lowest = b.lowest, highest = b.highest;
            uint16_t lowAt = b.lowAt, highAt = b.highAt, resting = b.resting;
            for (uint16_t i = 0, n = static_cast<uint16_t>(end - f); i < n; ++i) {
                const float x = v[i];
                if (x < lowest) lowest = x, lowAt = static_cast<uint16_t>(offset + i);
                if (x > highest) highest = x, highAt = static_cast<uint16_t>(offset + i);
                resting += std::abs(x) <= kRest;
            }
            b = Block{lowest, highest, lowAt, highAt, resting};
            f = end;
        }
    }
}

void ScopeRing::clear()
{
    written_ = 0;
    held_ = 0;
    stereo_ = false;
}

void ScopeRing::append(const uint8_t* bytes, int32_t size, int bitsPerSample, int channels)
{
    if (left_.empty() || size <= 0 || channels < 1) return;
    const int sampleBytes = bitsPerSample / 8;
    const int frameBytes = sampleBytes * channels;
    if (frameBytes <= 0) return;
    const int32_t frames = size / frameBytes;
    stereo_ = channels == 2;
    const uint64_t first = written_;
    held_ = std::min<uint64_t>(held_ + static_cast<uint64_t>(frames), capacity());
    const uint8_t* p = bytes;
    if (sampleBytes == 2) {
        for (int32_t i = 0; i < frames; ++i, p += frameBytes) {
            const uint64_t at = written_++ & mask_;
            left_[at] = static_cast<int16_t>(p[0] | p[1] << 8);
            if (stereo_) right_[at] = static_cast<int16_t>(p[2] | p[3] << 8);
        }
    } else if (sampleBytes == 4) {
        // Float samples in -1..1, on the 16-bit scale of the others.
        for (int32_t i = 0; i < frames; ++i, p += frameBytes) {
            const uint64_t at = written_++ & mask_;
            left_[at] = UnpackFloat(p) * 32767.0f;
            if (stereo_) right_[at] = UnpackFloat(p + 4) * 32767.0f;
        }
    } else {
        // 24 bits: the top 16 bits are the sample, the low byte its fraction.
        const auto read24 = [](const uint8_t* s) {
            const int32_t v = static_cast<int32_t>(static_cast<uint32_t>(s[0]) << 8 | static_cast<uint32_t>(s[1]) << 16 |
                                                   static_cast<uint32_t>(s[2]) << 24) >> 8;
            return static_cast<float>(v) / 256.0f;
        };
        for (int32_t i = 0; i < frames; ++i, p += frameBytes) {
            const uint64_t at = written_++ & mask_;
            left_[at] = read24(p);
            if (stereo_) right_[at] = read24(p + sampleBytes);
        }
    }
    // Only what the ring still holds: a buffer longer than the ring overwrote its own start.
    if (written_ - first > capacity())
        summarise(written_ - capacity(), written_, true);
    else
        summarise(first, written_, false);
}

SignalShape ShapeOf(const ScopeRing& ring, Channel c, uint64_t from, uint64_t end)
{
    from = std::max(from, ring.oldest());
    end = std::min(end, ring.written());
    SignalShape shape;
    if (from >= end) return shape;
    float lowest = ring.at(c, from), highest = lowest;
    uint64_t resting = 0;
    ring.scan(
        c, from, end,
        [&](uint64_t, float v) {
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
            resting += std::abs(v) <= ScopeRing::kRest;
        },
        [&](uint64_t, const ScopeRing::Block& b) {
            lowest = std::min(lowest, b.lowest);
            highest = std::max(highest, b.highest);
            resting += b.resting;
        });
    shape.lowest = lowest;
    shape.highest = highest;
    shape.resting = static_cast<double>(resting) / static_cast<double>(end - from);
    return shape;
}

Channel TriggerChannel(const ScopeRing& ring, uint64_t from, uint64_t end)
{
    if (!ring.stereo() || !ShapeOf(ring, Channel::Left, from, end).silent()) return Channel::Left;
    return ShapeOf(ring, Channel::Right, from, end).silent() ? Channel::Left : Channel::Right;
}

namespace {
// The frames the trigger judges the signal by: the newest two screens before `end`.
uint64_t shapeFrom(const ScopeRing& ring, const ScopeScale& scale, uint64_t end)
{
    const uint64_t screens = 2 * static_cast<uint64_t>(scale.framesOnScreen());
    return end > ring.oldest() + screens ? end - screens : ring.oldest();
}
} // namespace

TriggerResult FindTrigger(const ScopeRing& ring, Channel c, const ScopeScale& scale)
{
    return FindTrigger(ring, c, scale, ring.written());
}

TriggerResult FindTrigger(const ScopeRing& ring, Channel c, const ScopeScale& scale, uint64_t end)
{
    end = std::min(end, ring.written());
    return FindTrigger(ring, c, scale, end, ShapeOf(ring, c, shapeFrom(ring, scale, end), end));
}

TriggerResult FindTrigger(const ScopeRing& ring, Channel c, const ScopeScale& scale, uint64_t end,
                          const SignalShape& shape)
{
    const uint64_t oldest = ring.oldest();
    end = std::min(end, ring.written());
    const double span = (scale.width - 1) / scale.pixelsPerSample();
    const double latest = static_cast<double>(end) - 1 - span;
    if (end < oldest + 2 || latest < static_cast<double>(oldest)) return {static_cast<double>(oldest), false};
    const bool resting = shape.silent() || shape.pulses();

    if (shape.pulses()) {
        // The edge leaving the rest, on the side of the larger peak, at half of it.
        const bool positive = shape.highest >= -shape.lowest;
        const double level = (positive ? shape.highest : shape.lowest) / 2.0;
        const double before = span / 10; // one division
        const uint64_t top = std::min<uint64_t>(end - 1, static_cast<uint64_t>(latest + before) + 1);
        for (uint64_t j = top; j > oldest; --j) {
            // A block that never reaches the level holds no frame j of a crossing.
            if (j % ScopeRing::kBlock == ScopeRing::kBlock - 1 && j + 1 - ScopeRing::kBlock > oldest) {
                const ScopeRing::Block& k = ring.block(c, j + 1 - ScopeRing::kBlock);
                if (positive ? k.highest < level : k.lowest > level) {
                    j -= ScopeRing::kBlock - 1;
                    continue;
                }
            }
            const double a = ring.at(c, j - 1), b = ring.at(c, j);
            if (positive ? !(a < level && b >= level) : !(a > level && b <= level)) continue;
            const double crossing = static_cast<double>(j - 1) + (level - a) / (b - a);
            if (crossing - before <= latest) return {crossing - before, true, true, true};
        }
        return {latest, false, false, true};
    }
    if (shape.silent()) return {latest, false, false, true};

    for (uint64_t j = static_cast<uint64_t>(latest) + 1; j > oldest; --j) {
        if (j % ScopeRing::kBlock == ScopeRing::kBlock - 1 && j + 1 - ScopeRing::kBlock > oldest &&
            ring.block(c, j + 1 - ScopeRing::kBlock).highest < 0) {
            j -= ScopeRing::kBlock - 1; // all below zero: no frame j at or above it
            continue;
        }
        const float before = ring.at(c, j - 1);
        const float after = ring.at(c, j);
        if (!(before < 0 && after >= 0)) continue;
        const double crossing = static_cast<double>(j - 1) + before / static_cast<double>(before - after);
        if (crossing <= latest) return {crossing, true, false, resting};
    }
    return {latest, false, false, resting};
}

QPolygonF TracePoints(const ScopeRing& ring, Channel c, double start, const ScopeScale& scale)
{
    return TracePoints(ring, c, start, scale, ring.written());
}

QPolygonF TracePoints(const ScopeRing& ring, Channel c, double start, const ScopeScale& scale, uint64_t until)
{
    QPolygonF points;
    if (ring.held() == 0) return points;
    const double pps = scale.pixelsPerSample();
    const int64_t oldest = static_cast<int64_t>(ring.oldest());
    const int64_t end = static_cast<int64_t>(std::min(until, ring.written())); // one past the newest
    if (end <= oldest) return points;
    if (pps >= 1) {
        const int64_t first = std::max(oldest, static_cast<int64_t>(std::floor(start)));
        const int64_t last = std::min(end - 1, static_cast<int64_t>(std::ceil(start + (scale.width - 1) / pps)));
        points.reserve(static_cast<qsizetype>(std::max<int64_t>(0, last - first + 1)));
        for (int64_t j = first; j <= last; ++j)
            points.append({(static_cast<double>(j) - start) * pps, scale.y(ring.at(c, static_cast<uint64_t>(j)))});
        return points;
    }
    points.reserve(2 * scale.width);
    for (int column = 0; column < scale.width; ++column) {
        const int64_t from = std::max(oldest, static_cast<int64_t>(std::ceil(start + column / pps)));
        const int64_t to = std::min(end, static_cast<int64_t>(std::ceil(start + (column + 1) / pps)));
        if (from >= to) continue;
        int64_t low = from, high = from;
        float lowest = ring.at(c, static_cast<uint64_t>(from)), highest = lowest;
        ring.scan(
            c, static_cast<uint64_t>(from), static_cast<uint64_t>(to),
            [&](uint64_t j, float v) {
                if (v < lowest) lowest = v, low = static_cast<int64_t>(j);
                if (v > highest) highest = v, high = static_cast<int64_t>(j);
            },
            [&](uint64_t first, const ScopeRing::Block& b) {
                if (b.lowest < lowest) lowest = b.lowest, low = static_cast<int64_t>(first + b.lowAt);
                if (b.highest > highest) highest = b.highest, high = static_cast<int64_t>(first + b.highAt);
            });
        const double x = column;
        if (low == high || lowest == highest) {
            points.append({x, scale.y(lowest)});
        } else if (low < high) {
            points.append({x, scale.y(lowest)});
            points.append({x, scale.y(highest)});
        } else {
            points.append({x, scale.y(highest)});
            points.append({x, scale.y(lowest)});
        }
    }
    return points;
}

namespace {
// Liang-Barsky: cuts the segment a-b to the box; false when nothing of it is inside.
bool clip(QPointF& a, QPointF& b, double left, double top, double right, double bottom)
{
    double t0 = 0, t1 = 1;
    const double dx = b.x() - a.x(), dy = b.y() - a.y();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x() - left, right - a.x(), a.y() - top, bottom - a.y()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0) {
            if (r > t1) return false;
            t0 = std::max(t0, r);
        } else {
            if (r < t0) return false;
            t1 = std::min(t1, r);
        }
    }
    const QPointF from = a;
    a = {from.x() + t0 * dx, from.y() + t0 * dy};
    b = {from.x() + t1 * dx, from.y() + t1 * dy};
    return true;
}
} // namespace

void DrawTrace(QImage& image, const QPolygonF& points, QRgb colour)
{
    const int w = image.width(), h = image.height();
    if (points.isEmpty() || w == 0 || h == 0) return;
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    const auto pixel = [](double v) { return static_cast<int>(std::floor(v + 0.5)); };
    if (points.size() == 1) {
        QPointF a = points[0], b = points[0];
        if (clip(a, b, 0, 0, w - 1, h - 1))
            reinterpret_cast<QRgb*>(bits + pixel(a.y()) * stride)[pixel(a.x())] = colour;
        return;
    }
    for (qsizetype i = 1; i < points.size(); ++i) {
        QPointF a = points[i - 1], b = points[i];
        if (!clip(a, b, 0, 0, w - 1, h - 1)) continue;
        // Bresenham between the rounded ends, which the clip keeps on the image.
        int x = pixel(a.x()), y = pixel(a.y());
        const int x1 = pixel(b.x()), y1 = pixel(b.y());
        if (x == x1) {
            // A column's stroke from its lowest to its highest value: most of the pixels of a
            // screen with many frames a column.
            uchar* row = bits + std::min(y, y1) * stride;
            for (int n = std::abs(y1 - y); n >= 0; --n, row += stride) reinterpret_cast<QRgb*>(row)[x] = colour;
            continue;
        }
        const int dx = std::abs(x1 - x), dy = -std::abs(y1 - y);
        const int sx = x < x1 ? 1 : -1;
        const qsizetype sy = y < y1 ? stride : -stride;
        uchar* row = bits + y * stride;
        int error = dx + dy;
        for (;;) {
            reinterpret_cast<QRgb*>(row)[x] = colour;
            if (x == x1 && row == bits + y1 * stride) break;
            const int twice = 2 * error;
            if (twice >= dy) {
                error += dy;
                x += sx;
            }
            if (twice <= dx) {
                error += dx;
                row += sy;
            }
        }
    }
}

QPolygonF ZeroLine(const ScopeScale& scale)
{
    const double zero = scale.height / 2;
    return QPolygonF({QPointF(0, zero), QPointF(scale.width - 1, zero)});
}

} // namespace velmora::ui
