#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio_device.h"

namespace velmora {

// Text of entry 0 of the device list: the system's default output.
inline constexpr const char* kSystemDefaultDevice = "System Default";

// The entries of the output device list: "System Default", then every device the layer
// reports, in id order. Owner's thread; allocates.
std::vector<std::string> outputDeviceEntries(AudioDevice& device);

// The device id for a list position: position - 1, so entry 0 gives -1 (the default
// device) and "no selection" (-1) gives -2, which no device accepts.
constexpr int32_t deviceIdForEntry(int position) { return position - 1; }

// One PCM that the sound system's configuration names, as its hint describes it.
struct PcmHint {
  std::string name;         // e.g. "pulse", "null", "plughw:CARD=PCH,DEV=0"
  std::string description;  // may hold line breaks
  std::string ioid;         // "Output", "Input" or empty (both)
};

// One playback device of one sound card.
struct CardPlayback {
  std::string cardId;    // the card's short id ("PCH")
  std::string cardName;  // "HDA Intel PCH"
  int device = 0;
  std::string deviceName;  // "ALC892 Analog"
};

// An entry of the device list beyond "System Default": what the user sees and what opens it.
struct OutputDeviceChoice {
  std::string text;
  std::string pcm;
};

// The devices a person can play to: the sound servers among the hints (PipeWire, then
// PulseAudio), then every playback device of every card, opened through ALSA's plug layer so
// that every sample format and rate of the program plays. Rate converters, mixers, the
// discarding "null" device and the like are left out: they are not outputs of their own.
// Pure: no device is touched. Allocates.
std::vector<OutputDeviceChoice> playableOutputDevices(const std::vector<PcmHint>& hints,
                                                      const std::vector<CardPlayback>& cards);

}  // namespace velmora
