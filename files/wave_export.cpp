#include "wave_export.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/generator.h"
#include "engine/numbers.h"
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

// Where the samples go. A regular file (or a new one) is written under a temporary name
// beside it and renamed over it at the end, so a failure or a cancel leaves any earlier
// file as it was; a device or pipe (the null device of the performance test, say) is
// written in place and never replaced.
class OutputFile final {
public:
    explicit OutputFile(const std::string& target) : target_(target)
    {
        struct stat st {};
        std::string path = target;
        if (::stat(target.c_str(), &st) == 0) {
            if (!S_ISREG(st.st_mode)) {
                fd_ = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
                if (fd_ < 0) throw FileAccessError(target, errno);
                direct_ = true;
                return;
            }
            // Replace the file a link points to, not the link.
            if (char* real = ::realpath(target.c_str(), nullptr)) {
                path = real;
                std::free(real);
            }
        }
        final_ = path;
        std::string pattern = path + ".partXXXXXX";
        tempName_.assign(pattern.begin(), pattern.end());
        tempName_.push_back('\0');
        fd_ = ::mkstemp(tempName_.data());
        if (fd_ < 0) throw FileAccessError(target, errno);
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd_, 0666 & ~mask);
    }
    ~OutputFile()
    {
        if (fd_ >= 0) ::close(fd_);
        if (!direct_ && !committed_) ::unlink(tempName_.data());
    }
    void write(const uint8_t* data, size_t size)
    {
        while (size > 0) {
            const ssize_t n = ::write(fd_, data, size);
            if (n < 0) {
                if (errno == EINTR) continue;
                throw FileAccessError(target_, errno);
            }
            data += n;
            size -= static_cast<size_t>(n);
        }
    }
    void commit()
    {
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) throw FileAccessError(target_, errno);
        if (direct_) return;
        if (::rename(tempName_.data(), final_.c_str()) != 0) throw FileAccessError(target_, errno);
        committed_ = true;
    }

private:
    std::string target_, final_;
    std::vector<char> tempName_;
    int fd_ = -1;
    bool direct_ = false;
    bool committed_ = false;
};
} // namespace

int64_t ExportFrameCount(const Generator& g)
{
    return RoundToInt64(IntlStrToFloat(g.settings.Duration) * g.samplingRate());
}

ExportResult WriteWaveData(Generator& g, const std::string& path, const ExportProgress& progress)
{
    g.fConstChange(Channel::Left);
    g.fConstChange(Channel::Right);
    const int channels = g.settings.stereo() ? 2 : 1;
    const int64_t total = ExportFrameCount(g);
    const int bytesPerFrame = g.state.BytesPerFrame;
    if (total < 0 || total * bytesPerFrame > kMaxWavDataBytes)
        throw WaveTooLongError("The signal is too long for a wave file (" + std::to_string(total) +
                               " frames; a wave file holds at most " +
                               std::to_string(kMaxWavDataBytes / bytesPerFrame) + ").");

    OutputFile file(path);
    const WavHeader header =
        MakeWavHeader({channels, g.settings.output.SamplingRate, bytesPerFrame}, total);
    file.write(header.data(), header.size());

    FrameChoices choices = g.readChoices();
    choices.loop = false;
    choices.wholeSignal = true;
    std::vector<uint8_t> block(static_cast<size_t>(kProgressEvery * bytesPerFrame));
    // Frames go out in runs that end where progress is reported (after frame 0, 10000, ...),
    // which is also the only place a cancel can arrive.
    int64_t done = 0;
    while (done < total) {
        const int64_t run = done == 0 ? 1 : std::min(kProgressEvery, total - done);
        const int64_t bytes = g.writeFrames(block.data(), run, choices);
        file.write(block.data(), static_cast<size_t>(bytes));
        done += run;
        if (progress && (done - 1) % kProgressEvery == 0 && !progress(done - 1, total))
            return ExportResult::Cancelled;
    }
    file.commit();
    return ExportResult::Written;
}

} // namespace velmora
