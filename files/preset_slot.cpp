#include "preset_slot.h"

#include <stdexcept>

#include "windows1252.h"

namespace velmora {

namespace {
void CheckText(size_t offset)
{
    if (offset + kShortTextSize > kPresetSlotSize) throw std::out_of_range("short text offset");
}
} // namespace

std::string_view PresetSlot::rawText(size_t offset) const
{
    CheckText(offset);
    return {reinterpret_cast<const char*>(bytes.data() + offset + 1), bytes[offset]};
}

std::string PresetSlot::text(size_t offset) const { return Windows1252ToUtf8(rawText(offset)); }

void PresetSlot::setText(size_t offset, std::string_view utf8)
{
    CheckText(offset);
    std::string encoded = Utf8ToWindows1252(utf8);
    if (encoded.size() > kShortTextMax) encoded.resize(kShortTextMax);
    bytes[offset] = static_cast<uint8_t>(encoded.size());
    for (size_t i = 0; i < encoded.size(); ++i)
        bytes[offset + 1 + i] = static_cast<uint8_t>(encoded[i]);
}

int32_t PresetSlot::integer(size_t offset) const
{
    if (offset + 4 > kPresetSlotSize) throw std::out_of_range("integer offset");
    const uint32_t u = uint32_t{bytes[offset]} | uint32_t{bytes[offset + 1]} << 8 |
                       uint32_t{bytes[offset + 2]} << 16 | uint32_t{bytes[offset + 3]} << 24;
    return static_cast<int32_t>(u);
}

void PresetSlot::setInteger(size_t offset, int32_t value)
{
    if (offset + 4 > kPresetSlotSize) throw std::out_of_range("integer offset");
    const auto u = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i) bytes[offset + i] = static_cast<uint8_t>(u >> (8 * i));
}

bool PresetSlot::empty() const
{
    for (size_t offset : {slot::fInitLeft, slot::fFinalLeft, slot::fInitRight, slot::fFinalRight, slot::Duration,
                          slot::AmplitudeLeft, slot::AmplitudeRight, slot::PhaseEdit})
        if (!rawText(offset).empty()) return false;
    return true;
}

} // namespace velmora
