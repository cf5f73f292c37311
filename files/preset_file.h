#pragma once
// Preset files (.zrx): the four memories after a 21-byte header. The current format
// "ZRX Preset File V4.1" is written and read; "ZRX Preset File V3.6" (the older 3868-byte
// records) is read for import; "ZRX Preset File V3.2" (a text format) is recognised by its
// first line and refused; any other header is no preset file. Plain C++; any thread;
// allocates.

#include <array>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "preset_slot.h"

namespace velmora {

inline constexpr std::string_view kPresetHeaderV41 = "ZRX Preset File V4.1";
inline constexpr std::string_view kPresetHeaderV36 = "ZRX Preset File V3.6";
inline constexpr std::string_view kPresetHeaderV32 = "ZRX Preset File V3.2";
inline constexpr size_t kPresetHeaderSize = 21; // length byte + 20 characters
inline constexpr size_t kPresetFileSize = kPresetHeaderSize + 4 * kPresetSlotSize;     // 15541
inline constexpr size_t kPresetFileSize36 = kPresetHeaderSize + 4 * kPresetSlotSize36; // 15493
inline constexpr int kPresetCount = 4;
// The block after the four records: "VLM+", a version byte (1), then for each memory and
// channel (left before right) the cycles as a short text (a length byte and the characters,
// Windows-1252), the burst window as a 32-bit little-endian index and the band as a short
// text. Readers of the bare format stop after the records.
inline constexpr std::string_view kPresetAddedTag = "VLM+";
inline constexpr size_t kPresetAddedMaxSize = 5 + kPresetCount * 2 * (2 * (1 + kShortTextMax) + 4);

using PresetRecords = std::array<PresetSlot, kPresetCount>;

enum class PresetFileKind {
    Current,  // V4.1: four records as held
    Old36,    // V3.6: four records of the older layout, to be imported
    Obsolete, // V3.2: refused with "Obsolete file format, sorry."
    Unknown,  // any other header: not a preset file, ignored without a word
};

// A preset file that cannot be read or written, or that ends before its last record.
// The text is ready to show.
class PresetFileError final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PresetFileContents {
    PresetFileKind kind = PresetFileKind::Unknown;
    // Current: the four records. Old36: each record's first 3868 bytes, zeros after.
    PresetRecords records{};
};

// What kind of file the bytes begin with.
PresetFileKind PresetFileKindOf(std::string_view bytes);

// Reads the records of a whole file. A Current or Old36 file shorter than its format
// throws PresetFileError ("The preset file NAME is incomplete: N of 15541 bytes."), so that
// no memory is ever filled in part; bytes after the last record are ignored.
PresetFileContents ParsePresetFile(std::string_view bytes, std::string_view nameForMessages);

// The file's first kPresetFileSize bytes (enough for every format). Throws PresetFileError
// when the file cannot be opened or read.
std::string ReadPresetFileBytes(const std::filesystem::path& file);

// ReadPresetFileBytes, then ParsePresetFile.
PresetFileContents ReadPresetFile(const std::filesystem::path& file);

// The current format, exactly 15541 bytes: header, then the records as held.
std::string BuildPresetFile(const PresetRecords& records);

// Writes BuildPresetFile(records) to `file`, replacing it: the bytes go to a temporary
// file beside it, which is synced and renamed over it, so a failed save (a full disk, no
// permission) leaves an earlier file whole. Throws PresetFileError.
void WritePresetFile(const std::filesystem::path& file, const PresetRecords& records);

} // namespace velmora
