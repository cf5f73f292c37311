#pragma once
// What the waveform display draws: a ring of the most recent samples handed to the device,
// the screen's scales, the rising-zero-crossing trigger and the trace's points. Window
// thread. ScopeRing::append runs inside the buffer fill and never allocates; everything
// else may.

#include "engine/settings.h"

#include <QImage>
#include <QPolygonF>

#include <array>
#include <cstdint>
#include <vector>

namespace velmora::ui {

// The ten time bases of the time-per-division track bar (positions 1 to 10).
struct TimeBase {
    float seconds;      // held in single precision, as the table gives it
    const char* label;  // the text before "/div"
};
inline constexpr int kTimeBaseCount = 10;
const TimeBase& TimeBaseAt(int position);

// 2^(15 - position): 1 at the top position 15, 32768 at the bottom position 0.
int ZoomFactor(int position);

// The scales of the picture for a paint box of width x height pixels.
struct ScopeScale {
    int width = 401;
    int height = 401;
    double timePerDivision = 0.0005;
    int samplingRate = 44100;
    int zoom = 1;

    // Ten divisions hold 10 x time per division seconds: (w - 1) / (10 x t x fs).
    double pixelsPerSample() const;
    // The zero line is at h div 2; full scale (32768) times the zoom reaches h div 2 away.
    double y(double sample) const;
    // Frames whose points span the screen from the left edge to the right one.
    int64_t framesOnScreen() const;
};

// The most recent frames of the output, per channel, in units of a 16-bit sample (24-bit
// samples keep their low byte as a fraction).
class ScopeRing final {
public:
    // Room for at least `frames` frames; what the ring holds is kept (the newest part of
    // it when the ring shrinks). Allocates.
    void reserve(int64_t frames);
    void clear();

    // Appends the whole frames of interleaved little-endian PCM. Never allocates.
    void append(const uint8_t* bytes, int32_t size, int bitsPerSample, int channels);

    uint64_t written() const { return written_; }          // frames appended since clear
    uint64_t oldest() const { return written_ - held(); }    // first frame still held
    uint64_t held() const { return held_; }
    uint64_t capacity() const { return left_.size(); }
    bool stereo() const { return stereo_; }                  // the newest buffer was stereo
    // Frame `frame` (oldest() <= frame < written()) of a channel.
    float at(Channel c, uint64_t frame) const
    {
        const std::vector<float>& ring = c == Channel::Left ? left_ : right_;
        return ring[frame & mask_];
    }

private:
    std::vector<float> left_, right_;
    uint64_t mask_ = 0;
    uint64_t written_ = 0;
    uint64_t held_ = 0;
    bool stereo_ = false;
};

// Where the screen's left edge lies, as a frame position (a fraction between two frames
// where the trigger found its crossing).
struct TriggerResult {
    double start = 0;
    bool triggered = false;
};

// The left edge for the newest full screen of `c`: the latest rising zero crossing (a frame
// below 0 followed by one at or above 0, placed between them by linear interpolation) that
// still leaves a whole screen of frames after it, so that a steady tone stands still. With
// no crossing the newest screen runs free; with less than a screen the oldest frame starts it.
TriggerResult FindTrigger(const ScopeRing& ring, Channel c, const ScopeScale& scale);

// The trace of channel `c` with its left edge at `start`: one point per frame at
// x = (frame - start) x pixels per sample while a frame is at least a pixel wide; when
// several frames share a pixel column, their lowest and highest values in the order they
// came. Points may lie a little outside the screen, where the painter clips them.
QPolygonF TracePoints(const ScopeRing& ring, Channel c, double start, const ScopeScale& scale);

// The trace of silence: the zero line across the screen.
QPolygonF ZeroLine(const ScopeScale& scale);

// Joins `points` with one-pixel lines of `colour` in a 32-bit image, clipped to it: the
// painter's general line drawing costs some nanoseconds a pixel, too much for a screen of
// full-height strokes many times a second.
void DrawTrace(QImage& image, const QPolygonF& points, QRgb colour);

} // namespace velmora::ui
