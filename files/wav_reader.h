#pragma once
// Reads wave files: RIFF or RF64 (EBU Tech 3306), integer PCM of 16, 24 or 32 bits and 32-bit
// IEEE float, plain or WAVE_FORMAT_EXTENSIBLE, any number of channels. Samples are read in
// blocks straight from the file, so a recording of any length costs only the block asked
// for. Chunks the reader does not know are skipped; their ids and small ones' bytes are kept
// for the caller (a measurement sweep carries its parameters in one). Plain C++; one object
// is used by one thread at a time; allocates when opened.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora {

// A file that cannot be read as a wave file: the message names the file and what is wrong.
class WavReadError final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct WavChunk {
    std::string id;             // four characters
    std::vector<uint8_t> bytes; // the chunk's contents (chunks up to 64 KiB)
};

class WavReader final {
public:
    // Opens and checks the file. Throws WavReadError.
    explicit WavReader(const std::string& path);
    ~WavReader();
    WavReader(const WavReader&) = delete;
    WavReader& operator=(const WavReader&) = delete;

    int channels() const { return channels_; }
    int32_t samplingRate() const { return samplingRate_; }
    int bitsPerSample() const { return bits_; }
    bool floating() const { return floating_; }
    int64_t frames() const { return frames_; }
    const std::string& path() const { return path_; }
    // The chunks other than fmt, data, ds64 and fact, in file order.
    const std::vector<WavChunk>& otherChunks() const { return chunks_; }
    // The chunk with this id, or nullptr.
    const WavChunk* chunk(const std::string& id) const;

    // Reads `count` frames from frame `first` (frames past the end read as 0) as values in
    // -1..1 (integer full scale is 2^(bits-1)), interleaved; `out` must hold count x channels.
    // Throws WavReadError.
    void read(int64_t first, int64_t count, double* out) const;
    // The same for one channel only.
    void readChannel(int channel, int64_t first, int64_t count, double* out) const;

private:
    std::string path_;
    int fd_ = -1;
    int channels_ = 0;
    int32_t samplingRate_ = 0;
    int bits_ = 0;
    bool floating_ = false;
    int bytesPerFrame_ = 0;
    int64_t dataOffset_ = 0;
    int64_t frames_ = 0;
    std::vector<WavChunk> chunks_;
    mutable std::vector<uint8_t> raw_; // one block of file bytes
};

} // namespace velmora
