#include "wave_export.h"

#include <array>
#include <cerrno>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/generator.h"
#include "engine/numbers.h"
#include "output_file.h"
#include "wav_header.h"

namespace velmora {

FileAccessError::FileAccessError(const std::string& path, int error)
    : std::runtime_error("File Access Error, cannot write file. (" + path + ": " +
                         std::strerror(error) + ")"),
      error_(error)
{
}

namespace {
constexpr int64_t kProgressEvery = 10000;
} // namespace

int64_t ExportFrameCount(const Generator& g)
{
    return RoundToInt64(IntlStrToFloat(g.settings.Duration) * g.samplingRate());
}

namespace {

// A handful of blocks made by the sequential stage, handed to the writer thread together.
struct Batch {
    static constexpr int kBlocks = 32; // 8192 frames
    std::array<FrameBlock, kBlocks> blocks;
    int used = 0;
};

// Long noise exports run the frame writer's finishing stage and the file writes on a second
// thread while this one makes the next frames; the finishing stage reads only its blocks,
// and the file gets the batches in order. Everything else runs on this thread alone.
class ExportPipeline final {
public:
    static constexpr int kBatches = 4;

    ExportPipeline(OutputFile& file, int bytesPerFrame)
        : file_(file), batches_(kBatches),
          out_(static_cast<size_t>(Batch::kBlocks * kFrameBlock) * static_cast<size_t>(bytesPerFrame))
    {
        worker_ = std::thread([this] { work(); });
    }
    ~ExportPipeline() { stop(); }

    // The batch to fill next; rethrows what the writer thread failed with.
    Batch& acquire()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !full_[next_] || error_; });
        if (error_) std::rethrow_exception(error_);
        batches_[next_].used = 0;
        return batches_[next_];
    }
    void submit()
    {
        {
            std::lock_guard lock(mutex_);
            full_[next_] = true;
        }
        next_ = (next_ + 1) % kBatches;
        changed_.notify_all();
    }
    // Waits until everything submitted is written; rethrows the writer's failure.
    void finish()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] {
            for (bool f : full_)
                if (f) return static_cast<bool>(error_);
            return true;
        });
        if (error_) std::rethrow_exception(error_);
    }
    void stop()
    {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        if (worker_.joinable()) worker_.join();
    }

private:
    void work()
    {
        int slot = 0;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return full_[slot] || quit_; });
                if (!full_[slot]) return;
            }
            try {
                Batch& batch = batches_[static_cast<size_t>(slot)];
                uint8_t* p = out_.data();
                for (int b = 0; b < batch.used; ++b) p += FinishFrameBlock(batch.blocks[static_cast<size_t>(b)], p);
                file_.write(out_.data(), static_cast<size_t>(p - out_.data()));
            } catch (...) {
                std::lock_guard lock(mutex_);
                error_ = std::current_exception();
            }
            {
                std::lock_guard lock(mutex_);
                full_[slot] = false;
            }
            changed_.notify_all();
            slot = (slot + 1) % kBatches;
        }
    }

    OutputFile& file_;
    std::vector<Batch> batches_;
    std::vector<uint8_t> out_;
    std::array<bool, kBatches> full_{};
    int next_ = 0;
    bool quit_ = false;
    std::exception_ptr error_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::thread worker_;
};

constexpr int64_t kPipelineFrom = 48000; // frames; below this one thread is quicker

} // namespace

namespace {

// The file is opened only once the signal is known to fit, so a refusal leaves nothing.
template <typename Open>
ExportResult Export(Generator& g, const Open& open, const ExportProgress& progress)
{
    g.fConstChange(Channel::Left);
    g.fConstChange(Channel::Right);
    const int channels = g.settings.stereo() ? 2 : 1;
    const int64_t total = ExportFrameCount(g);
    const int bytesPerFrame = g.state.BytesPerFrame;
    // Past 2 GiB the file is RF64, whose sizes are 64-bit; what even those cannot count is
    // refused.
    if (total < 0 || total > INT64_MAX / 16)
        throw WaveTooLongError("The signal is too long for a wave file (" + std::to_string(total) + " frames).");

    OutputFile file = open();
    const WavFormat format{channels, g.settings.output.SamplingRate, bytesPerFrame,
                           g.settings.output.floatSamples()};
    const WavHeader header = MakeWavHeader(format, total);
    file.reserve(header.size() + static_cast<uint64_t>(total) * static_cast<uint64_t>(bytesPerFrame));
    file.write(header.data(), header.size());

    FrameChoices choices = g.readChoices();
    choices.loop = false;
    choices.wholeSignal = true;
    // Frames go out in runs that end where progress is reported (after frame 0, 10000, ...),
    // which is also the only place a cancel can arrive.
    auto runLength = [&](int64_t done) { return done == 0 ? int64_t{1} : std::min(kProgressEvery, total - done); };
    auto reported = [&](int64_t done) {
        return !progress || (done - 1) % kProgressEvery != 0 || progress(done - 1, total);
    };

    // Only noise is worth a second thread: its frames take long to make and to finish;
    // for the oscillators, handing every frame's arguments across is dearer than the work.
    const auto noise = [](int wave) { return WaveIndex(wave) == kWhiteNoise || WaveIndex(wave) == kPinkNoise; };
    const bool noisy = noise(choices.wl) || (choices.stereo && !choices.asLeft && noise(choices.wr));
    const bool pipelined = noisy && total >= kPipelineFrom && std::thread::hardware_concurrency() > 1 &&
                           Generator::MakesBlocks(choices);
    // A waveform chosen while the export runs (by another program's message, handled while
    // progress is shown) takes effect from the next run of frames; the layout stays the one
    // the header describes.
    auto takeWaveforms = [&] {
        const FrameChoices now = g.readChoices();
        choices.wl = now.wl;
        choices.wr = now.wr;
    };
    std::vector<uint8_t> block;
    auto writeDirect = [&](int64_t run) {
        if (block.empty()) block.resize(static_cast<size_t>(kProgressEvery * bytesPerFrame));
        const int64_t bytes = g.writeFrames(block.data(), run, choices);
        file.write(block.data(), static_cast<size_t>(bytes));
    };
    if (!pipelined) {
        int64_t done = 0;
        while (done < total) {
            const int64_t run = runLength(done);
            writeDirect(run);
            done += run;
            if (!reported(done)) return ExportResult::Cancelled;
            takeWaveforms();
        }
        file.commit();
        return ExportResult::Written;
    }

    std::optional<ExportPipeline> pipeline(std::in_place, file, bytesPerFrame);
    const FrameBlock* last = nullptr; // its final modulation factors go back to the channels
    // Ends the second thread's part once all it was given is in the file.
    auto drain = [&] {
        pipeline->finish();
        pipeline->stop();
        if (last) g.settleBlock(*last);
        pipeline.reset();
    };
    int64_t done = 0;
    while (done < total) {
        const int64_t run = runLength(done);
        // Choices the block maker leaves alone go on in this thread, after what was queued.
        if (pipeline && !Generator::MakesBlocks(choices)) drain();
        if (!pipeline) {
            writeDirect(run);
        } else {
            for (int64_t made = 0; made < run;) {
                Batch& batch = pipeline->acquire();
                while (made < run && batch.used < Batch::kBlocks) {
                    FrameBlock& b = batch.blocks[static_cast<size_t>(batch.used++)];
                    g.makeBlock(b, run - made, choices);
                    made += b.n;
                    last = &b;
                }
                pipeline->submit();
            }
        }
        done += run;
        if (!reported(done)) return ExportResult::Cancelled;
        takeWaveforms();
    }
    if (pipeline) drain();
    file.commit();
    return ExportResult::Written;
}

} // namespace

ExportResult WriteWaveData(Generator& g, const std::string& path, const ExportProgress& progress)
{
    return Export(g, [&] { return OutputFile(path); }, progress);
}

ExportResult WriteWaveData(Generator& g, int fd, const std::string& name, const ExportProgress& progress)
{
    return Export(g, [&] { return OutputFile(fd, name); }, progress);
}

} // namespace velmora
