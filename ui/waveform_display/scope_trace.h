#pragma once
// What the waveform display draws: a ring of the most recent samples handed to the device,
// the screen's scales, the trigger (a rising zero crossing, or the edge of a pulse) and the
// trace's points. Window thread. ScopeRing::append runs inside the buffer fill and never
// allocates; everything else may.

#include "engine/settings.h"

#include <QImage>
#include <QPolygonF>

#include <algorithm>
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
    // Calls visit(first, count) for the frames [from, end) of a channel, in order, in at most
    // two runs of consecutive values (oldest() <= from <= end <= written()).
    template <class Visit>
    void visitFrames(Channel c, uint64_t from, uint64_t end, Visit visit) const
    {
        const float* ring = (c == Channel::Left ? left_ : right_).data();
        while (from < end) {
            const uint64_t at = from & mask_;
            const uint64_t run = std::min(end - from, capacity() - at);
            visit(ring + at, static_cast<size_t>(run));
            from += run;
        }
    }
    // Frame `frame` (oldest() <= frame < written()) of a channel.
    float at(Channel c, uint64_t frame) const
    {
        const std::vector<float>& ring = c == Channel::Left ? left_ : right_;
        return ring[frame & mask_];
    }

    // A summary of kBlock consecutive frames starting at a multiple of kBlock, kept as they
    // are appended, so that a screen of many frames a pixel column costs a look at a few
    // summaries instead of every frame.
    static constexpr uint64_t kBlock = 64;
    struct Block {
        float lowest = 0, highest = 0;
        uint16_t lowAt = 0, highAt = 0; // their offsets in the block
        uint16_t resting = 0;           // frames within kRest of zero
    };
    static constexpr float kRest = 2.0f;
    // The summary of the whole block starting at `first` (a multiple of kBlock, the block
    // within oldest() .. written()).
    const Block& block(Channel c, uint64_t first) const
    {
        return (c == Channel::Left ? leftBlocks_ : rightBlocks_)[(first / kBlock) & blockMask_];
    }
    // Calls frame(index, value) for single frames and block(first, summary) for whole
    // blocks, in order, covering the frames [from, end) of a channel.
    template <class Frame, class WholeBlock>
    void scan(Channel c, uint64_t from, uint64_t end, Frame frame, WholeBlock block) const
    {
        const std::vector<Block>& blocks = c == Channel::Left ? leftBlocks_ : rightBlocks_;
        while (from < end) {
            if (from % kBlock == 0 && end - from >= kBlock) {
                block(from, blocks[(from / kBlock) & blockMask_]);
                from += kBlock;
            } else {
                frame(from, at(c, from));
                ++from;
            }
        }
    }

private:
    void summarise(uint64_t from, uint64_t to, bool fresh);

    std::vector<float> left_, right_;
    std::vector<Block> leftBlocks_, rightBlocks_;
    uint64_t mask_ = 0;
    uint64_t blockMask_ = 0;
    uint64_t written_ = 0;
    uint64_t held_ = 0;
    bool stereo_ = false;
};

// Where the screen's left edge lies, as a frame position (a fraction between two frames
// where the trigger found its crossing).
struct TriggerResult {
    double start = 0;
    bool triggered = false;
    bool pulse = false;   // triggered on the edge of a pulse, one division in from the left edge
    bool resting = false; // the frames looked at rest at zero: silence, or pulses between rests
};

// Peak-to-peak values up to this (in 16-bit units) are silence: dither alone stays below it.
inline constexpr float kSilentSpan = 2 * ScopeRing::kRest;

// The left edge for the newest full screen of `c` among the frames before `end` (one past
// the newest frame to show; the ring's newest by default): the latest rising zero crossing
// (a frame below 0 followed by one at or above 0, placed between them by linear
// interpolation) that still leaves a whole screen of frames after it, so that a steady tone
// stands still. A signal that rests at zero most of the time (a pulse of either polarity,
// repeated) triggers instead on the edge where a pulse leaves the rest, at half its peak,
// and that edge lies one division in from the left edge so that the pulse is on screen.
// With no trigger the newest screen runs free; with less than a screen the oldest frame
// starts it.
TriggerResult FindTrigger(const ScopeRing& ring, Channel c, const ScopeScale& scale);
TriggerResult FindTrigger(const ScopeRing& ring, Channel c, const ScopeScale& scale, uint64_t end);

// What a channel's frames [from, end) look like to the trigger.
struct SignalShape {
    float lowest = 0;
    float highest = 0;
    double resting = 1; // the share of frames within half the silent span of zero
    bool silent() const { return highest - lowest <= kSilentSpan; }
    // Pulses resting at zero between them: most frames rest.
    bool pulses() const { return !silent() && resting >= 0.5; }
};
SignalShape ShapeOf(const ScopeRing& ring, Channel c, uint64_t from, uint64_t end);
// The same trigger with the shape of the frames it looks at already known.
TriggerResult FindTrigger(const ScopeRing& ring, Channel c, const ScopeScale& scale, uint64_t end,
                          const SignalShape& shape);

// The channel to trigger on: the left, unless it is silent among the frames [from, end)
// while the right (of a stereo signal) is not.
Channel TriggerChannel(const ScopeRing& ring, uint64_t from, uint64_t end);

// The trace of channel `c` with its left edge at `start`: one point per frame at
// x = (frame - start) x pixels per sample while a frame is at least a pixel wide; when
// several frames share a pixel column, their lowest and highest values in the order they
// came. Points may lie a little outside the screen, where the painter clips them.
// Frames from `end` on (not yet heard) are left out.
QPolygonF TracePoints(const ScopeRing& ring, Channel c, double start, const ScopeScale& scale);
QPolygonF TracePoints(const ScopeRing& ring, Channel c, double start, const ScopeScale& scale, uint64_t end);

// The trace of silence: the zero line across the screen.
QPolygonF ZeroLine(const ScopeScale& scale);

// Joins `points` with one-pixel lines of `colour` in a 32-bit image, clipped to it: the
// painter's general line drawing costs some nanoseconds a pixel, too much for a screen of
// full-height strokes many times a second.
void DrawTrace(QImage& image, const QPolygonF& points, QRgb colour);

} // namespace velmora::ui
