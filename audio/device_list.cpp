#include "audio/device_list.h"

#include <algorithm>
#include <array>

namespace velmora {

std::vector<std::string> outputDeviceEntries(AudioDevice& device) {
  std::vector<std::string> entries{kSystemDefaultDevice};
  for (auto& name : device.listDevices()) entries.push_back(std::move(name));
  return entries;
}

namespace {
// Each server's PCM, with the text shown when its hint carries no description.
struct SoundServer {
  const char* pcm;
  const char* fallback;
};
constexpr std::array<SoundServer, 2> kSoundServers{{{"pipewire", "PipeWire Sound Server"},
                                                    {"pulse", "PulseAudio Sound Server"}}};

std::string oneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}
}  // namespace

std::vector<OutputDeviceChoice> playableOutputDevices(const std::vector<PcmHint>& hints,
                                                      const std::vector<CardPlayback>& cards) {
  std::vector<OutputDeviceChoice> choices;
  for (const SoundServer& server : kSoundServers) {
    for (const PcmHint& hint : hints) {
      if (hint.name != server.pcm || hint.ioid == "Input") continue;
      std::string text = oneLine(hint.description);
      choices.push_back({text.empty() ? server.fallback : std::move(text), hint.name});
      break;
    }
  }
  for (const CardPlayback& card : cards) {
    std::string text = card.cardName.empty() ? card.cardId : card.cardName;
    if (!card.deviceName.empty()) text += ": " + card.deviceName;
    choices.push_back({oneLine(std::move(text)),
                       "plughw:CARD=" + card.cardId + ",DEV=" + std::to_string(card.device)});
  }
  return choices;
}

}  // namespace velmora
