#pragma once
// PresetSlot: the fixed 3880-byte record of one preset memory, held exactly as it is read
// from and written to preset files (bytes that are not significant are kept as they are).
// Pure data with typed access by offset; any thread; no allocation beyond returned texts.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

inline constexpr size_t kPresetSlotSize = 3880;
// The older layout: the same record cut off before the crest factors and "Same as Left".
inline constexpr size_t kPresetSlotSize36 = 3868;
// A short text: a length byte and up to 255 characters in a 256-byte field.
inline constexpr size_t kShortTextSize = 256;
inline constexpr size_t kShortTextMax = 255;

// Offsets of the record's fields. Short texts hold the control's text as typed
// (Windows-1252); integers are list indexes (32-bit little endian, -1 for no selection);
// flags are one byte.
namespace slot {
inline constexpr size_t Name = 0;
inline constexpr size_t fInitLeft = 256;
inline constexpr size_t fFinalLeft = 512;
inline constexpr size_t fInitRight = 768;
inline constexpr size_t fFinalRight = 1024;
inline constexpr size_t Duration = 1280;
inline constexpr size_t AmplitudeLeft = 1536;
inline constexpr size_t AmplitudeRight = 1792;
inline constexpr size_t WaveFormLeft = 2048;
inline constexpr size_t WaveFormRight = 2052;
inline constexpr size_t Loop = 2056;
inline constexpr size_t Mono = 2057; // 1 when cboChannels shows "Mono"
inline constexpr size_t Lefttick = 2058;
inline constexpr size_t RightTick = 2059;
inline constexpr size_t PhaseEdit = 2060;
inline constexpr size_t LogarithmicLeft = 2316;
inline constexpr size_t BidirectionalLeft = 2317;
inline constexpr size_t LogarithmicRight = 2318;
inline constexpr size_t BidirectionalRight = 2319;
inline constexpr size_t chkConstantLeft = 2320;
inline constexpr size_t chkConstantRight = 2321;
inline constexpr size_t ModulationOnLeft = 2322;
inline constexpr size_t ModulationOnRight = 2323;
inline constexpr size_t ModPeriodLeftEdit = 2324;
inline constexpr size_t ModPeriodRightEdit = 2580;
inline constexpr size_t ModDepthLeftEdit = 2836;
inline constexpr size_t ModDepthRightEdit = 3092;
inline constexpr size_t ModFunctionLeft = 3348;
inline constexpr size_t ModFunctionRight = 3352;
inline constexpr size_t ModPhaseLeftEdit = 3356;
inline constexpr size_t ModPhaseRightEdit = 3612;
inline constexpr size_t cboCrestFactorL = 3868;
inline constexpr size_t cboCrestFactorR = 3872;
inline constexpr size_t chkAsLeft = 3876;
inline constexpr size_t Reserved = 3877; // 3 bytes, not significant
} // namespace slot

// What a memory holds beyond its record: the tone burst's cycles and window and the noise
// band of each channel (left, right). Preset files keep them in a block after the four
// records, which readers that know nothing of it skip; a memory read from a file without
// the block holds these defaults.
struct PresetAdded {
    std::array<std::string, 2> txtCycles{"6.5", "6.5"};
    std::array<int32_t, 2> cboBurstWindow{0, 0};
    std::array<std::string, 2> cboBand{"Full", "Full"};
    friend bool operator==(const PresetAdded&, const PresetAdded&) = default;
};

struct PresetSlot {
    std::array<uint8_t, kPresetSlotSize> bytes{}; // a fresh record: empty texts, zeros
    PresetAdded added;

    // A short text as UTF-8 (the code page's characters converted).
    std::string text(size_t offset) const;
    // Stores UTF-8 text: characters outside the code page become '?', the text is cut to
    // 255 bytes. The bytes after the text keep what they held.
    void setText(size_t offset, std::string_view utf8);
    // The raw characters of a short text (Windows-1252), as long as its length byte says.
    std::string_view rawText(size_t offset) const;

    int32_t integer(size_t offset) const;
    void setInteger(size_t offset, int32_t value);

    uint8_t byte(size_t offset) const { return bytes.at(offset); }
    bool flag(size_t offset) const { return bytes.at(offset) != 0; }
    void setFlag(size_t offset, bool value) { bytes.at(offset) = value ? 1 : 0; }

    std::string name() const { return text(slot::Name); }
    void setName(std::string_view utf8) { setText(slot::Name, utf8); }

    friend bool operator==(const PresetSlot&, const PresetSlot&) = default;

    // Nothing was ever stored: the number fields that a recall needs (frequencies, levels,
    // duration, phase) are all empty, as in a fresh record.
    bool empty() const;
};

} // namespace velmora
