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
    mask_ = wanted - 1;
    held_ = keep;
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
}

TriggerResult FindTrigger(const ScopeRing& ring, Channel c, const ScopeScale& scale)
{
    const uint64_t oldest = ring.oldest();
    const uint64_t written = ring.written();
    const double span = (scale.width - 1) / scale.pixelsPerSample();
    const double latest = static_cast<double>(written) - 1 - span;
    if (ring.held() < 2 || latest < static_cast<double>(oldest)) return {static_cast<double>(oldest), false};

    for (uint64_t j = static_cast<uint64_t>(latest) + 1; j > oldest; --j) {
        const float before = ring.at(c, j - 1);
        const float after = ring.at(c, j);
        if (!(before < 0 && after >= 0)) continue;
        const double crossing = static_cast<double>(j - 1) + before / static_cast<double>(before - after);
        if (crossing <= latest) return {crossing, true};
    }
    return {latest, false};
}

QPolygonF TracePoints(const ScopeRing& ring, Channel c, double start, const ScopeScale& scale)
{
    QPolygonF points;
    if (ring.held() == 0) return points;
    const double pps = scale.pixelsPerSample();
    const int64_t oldest = static_cast<int64_t>(ring.oldest());
    const int64_t end = static_cast<int64_t>(ring.written()); // one past the newest
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
        for (int64_t j = from + 1; j < to; ++j) {
            const float v = ring.at(c, static_cast<uint64_t>(j));
            if (v < lowest) lowest = v, low = j;
            if (v > highest) highest = v, high = j;
        }
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
