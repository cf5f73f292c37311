#include "wav_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/pcm.h"

namespace velmora {

namespace {

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p)
{
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
uint64_t Get64(const uint8_t* p) { return Get32(p) | (uint64_t{Get32(p + 4)} << 32); }

constexpr uint16_t kPcm = 1;
constexpr uint16_t kFloat = 3;
constexpr uint16_t kExtensible = 0xFFFE;
constexpr size_t kKeptChunkBytes = 65536;

} // namespace

WavReader::WavReader(const std::string& path) : path_(path)
{
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw WavReadError(path + ": " + std::strerror(errno));
    auto fail = [&](const std::string& why) {
        ::close(fd_);
        fd_ = -1;
        throw WavReadError(path + " " + why);
    };
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) fail("is not a regular file");
    const int64_t fileSize = st.st_size;
    auto readAt = [&](int64_t offset, uint8_t* out, size_t n) {
        size_t done = 0;
        while (done < n) {
            const ssize_t r = ::pread(fd_, out + done, n - done, offset + static_cast<int64_t>(done));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            done += static_cast<size_t>(r);
        }
        return true;
    };
    uint8_t head[12];
    if (!readAt(0, head, 12)) fail("is not a wave file (too short)");
    const bool rf64 = std::memcmp(head, "RF64", 4) == 0 || std::memcmp(head, "BW64", 4) == 0;
    if ((std::memcmp(head, "RIFF", 4) != 0 && !rf64) || std::memcmp(head + 8, "WAVE", 4) != 0)
        fail("is not a wave file (no RIFF/WAVE header)");
    uint64_t ds64Data = 0;
    bool haveFormat = false;
    bool haveData = false;
    int64_t dataBytes = 0;
    int64_t at = 12;
    while (at + 8 <= fileSize && !(haveData && haveFormat && at >= fileSize)) {
        uint8_t ch[8];
        if (!readAt(at, ch, 8)) break;
        const std::string id(reinterpret_cast<const char*>(ch), 4);
        int64_t size = Get32(ch + 4);
        const int64_t body = at + 8;
        if (id == "data") {
            if (rf64 && size == 0xFFFFFFFF) size = static_cast<int64_t>(ds64Data);
            // A recorder killed before it finished leaves a size too large, or 0: take what is there.
            if (size == 0 || size > fileSize - body) size = fileSize - body;
            dataOffset_ = body;
            dataBytes = size;
            haveData = true;
            if (haveFormat) break;
        } else if (id == "ds64" || id == "fmt " || size <= static_cast<int64_t>(kKeptChunkBytes)) {
            if (size > fileSize - body) fail("is damaged (a chunk runs past the end)");
            std::vector<uint8_t> bytes(static_cast<size_t>(std::min<int64_t>(size, 1 << 20)));
            if (!readAt(body, bytes.data(), bytes.size())) fail("cannot be read");
            if (id == "ds64") {
                if (bytes.size() < 24) fail("is damaged (short ds64 chunk)");
                ds64Data = Get64(bytes.data() + 8);
            } else if (id == "fmt ") {
                if (bytes.size() < 16) fail("is damaged (short format chunk)");
                uint16_t tag = Get16(bytes.data());
                channels_ = Get16(bytes.data() + 2);
                samplingRate_ = static_cast<int32_t>(Get32(bytes.data() + 4));
                bytesPerFrame_ = Get16(bytes.data() + 12);
                bits_ = Get16(bytes.data() + 14);
                if (tag == kExtensible) {
                    if (bytes.size() < 40) fail("is damaged (short extensible format chunk)");
                    tag = Get16(bytes.data() + 24); // the sub-format GUID's first two bytes
                }
                if (tag == kFloat) {
                    if (bits_ != 32) fail("holds " + std::to_string(bits_) + "-bit float samples; 32-bit float is read");
                    floating_ = true;
                } else if (tag == kPcm) {
                    if (bits_ != 16 && bits_ != 24 && bits_ != 32)
                        fail("holds " + std::to_string(bits_) + "-bit samples; 16, 24 and 32 bits are read");
                } else {
                    fail("holds samples in format " + std::to_string(tag) + "; PCM and float are read");
                }
                if (channels_ < 1 || bytesPerFrame_ != channels_ * bits_ / 8 || samplingRate_ <= 0)
                    fail("is damaged (inconsistent format chunk)");
                haveFormat = true;
            } else if (id != "fact") {
                chunks_.push_back({id, std::move(bytes)});
            }
        } else {
            chunks_.push_back({id, {}});
        }
        at = body + size + (size & 1);
    }
    if (!haveFormat) fail("is not a wave file (no format chunk)");
    if (!haveData) fail("is not a wave file (no data chunk)");
    frames_ = dataBytes / bytesPerFrame_;
}

WavReader::~WavReader()
{
    if (fd_ >= 0) ::close(fd_);
}

const WavChunk* WavReader::chunk(const std::string& id) const
{
    for (const WavChunk& c : chunks_)
        if (c.id == id) return &c;
    return nullptr;
}

void WavReader::read(int64_t first, int64_t count, double* out) const
{
    std::fill(out, out + count * channels_, 0.0);
    const int64_t from = std::max<int64_t>(first, 0);
    const int64_t to = std::min(first + count, frames_);
    if (to <= from) return;
    constexpr int64_t kBlockBytes = int64_t{1} << 20;
    const int64_t framesPerBlock = std::max<int64_t>(1, kBlockBytes / bytesPerFrame_);
    raw_.resize(static_cast<size_t>(framesPerBlock * bytesPerFrame_));
    const int bytes = bits_ / 8;
    const double scale = 1.0 / static_cast<double>(int64_t{1} << (bits_ - 1));
    for (int64_t f = from; f < to; f += framesPerBlock) {
        const int64_t n = std::min(framesPerBlock, to - f);
        const size_t want = static_cast<size_t>(n * bytesPerFrame_);
        size_t done = 0;
        while (done < want) {
            const ssize_t r = ::pread(fd_, raw_.data() + done, want - done,
                                      dataOffset_ + f * bytesPerFrame_ + static_cast<int64_t>(done));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) throw WavReadError(path_ + ": " + std::strerror(errno));
            if (r == 0) throw WavReadError(path_ + " ends before its data does");
            done += static_cast<size_t>(r);
        }
        double* o = out + (f - first) * channels_;
        const uint8_t* p = raw_.data();
        const int64_t values = n * channels_;
        if (floating_) {
            for (int64_t i = 0; i < values; ++i, p += 4) o[i] = UnpackFloat(p);
        } else if (bytes == 4) {
            for (int64_t i = 0; i < values; ++i, p += 4) o[i] = static_cast<int32_t>(Get32(p)) * scale;
        } else {
            for (int64_t i = 0; i < values; ++i, p += bytes) o[i] = UnpackSample(p, bytes) * scale;
        }
    }
}

void WavReader::readChannel(int channel, int64_t first, int64_t count, double* out) const
{
    if (channels_ == 1) {
        read(first, count, out);
        return;
    }
    constexpr int64_t kFrames = 65536;
    std::vector<double> frames(static_cast<size_t>(kFrames * channels_));
    for (int64_t done = 0; done < count; done += kFrames) {
        const int64_t n = std::min(kFrames, count - done);
        read(first + done, n, frames.data());
        for (int64_t i = 0; i < n; ++i) out[done + i] = frames[static_cast<size_t>(i * channels_ + channel)];
    }
}

} // namespace velmora
