#pragma once
// Renders the current signal for its duration into a PCM wave file: the frame loop of the
// wave export, shared by the window's "Save Tone As Wave File" and velmora-render.
// Runs on the window thread (or the renderer's only thread); allocates one block buffer.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace velmora {

class Generator;

// "File Access Error, cannot write file." plus what the system said.
class FileAccessError final : public std::runtime_error {
public:
    FileAccessError(const std::string& path, int error);
    int error() const { return error_; }

private:
    int error_;
};

// Too many frames for any wave file's sizes.
class WaveTooLongError final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class ExportResult { Written, Cancelled };

// Called after frame 0 and after every 10000th frame with (frames done, total frames);
// answer false to cancel.
using ExportProgress = std::function<bool(int64_t done, int64_t total)>;

// Number of frames the export writes for the present settings: Round(Duration x fs).
int64_t ExportFrameCount(const Generator& generator);

// Writes the file. The generator must have been prepared (PrepareSignal) with Repeat off.
// A regular file appears only when it is complete: it is written as an unnamed file beside
// the target and linked into place at the end, so a failure, a cancel or a killed process
// leaves any earlier file of that name as it was and no partial file behind. Links are
// followed; a file the user may not write is refused untouched; a replaced file keeps its
// mode. A device or pipe (/dev/null) is written in place.
ExportResult WriteWaveData(Generator& generator, const std::string& path,
                           const ExportProgress& progress = {});

// Writes the file into an open descriptor (standard output, a pipe), in place and from the
// first byte on: the header's sizes are known before any sample, so nothing is sought back.
// The descriptor stays open; `name` is what errors call it.
ExportResult WriteWaveData(Generator& generator, int fd, const std::string& name,
                           const ExportProgress& progress = {});

} // namespace velmora
