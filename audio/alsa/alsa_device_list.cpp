#include "audio/alsa/alsa_device_list.h"

#include <alsa/asoundlib.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace velmora {

namespace {
std::string takeHint(void* hint, const char* id) {
  char* value = snd_device_name_get_hint(hint, id);
  std::string text = value != nullptr ? value : "";
  std::free(value);
  return text;
}

struct CtlCloser {
  void operator()(snd_ctl_t* ctl) const { snd_ctl_close(ctl); }
};
}  // namespace

std::vector<PcmHint> alsaPcmHints() {
  std::vector<PcmHint> hints;
  void** list = nullptr;
  if (snd_device_name_hint(-1, "pcm", &list) < 0) return hints;
  for (void** h = list; *h != nullptr; ++h)
    hints.push_back({takeHint(*h, "NAME"), takeHint(*h, "DESC"), takeHint(*h, "IOID")});
  snd_device_name_free_hint(list);
  return hints;
}

std::vector<CardPlayback> alsaCardPlaybacks() {
  std::vector<CardPlayback> playbacks;
  snd_ctl_card_info_t* cardInfo = nullptr;
  snd_pcm_info_t* pcmInfo = nullptr;
  snd_ctl_card_info_alloca(&cardInfo);
  snd_pcm_info_alloca(&pcmInfo);
  int card = -1;
  while (snd_card_next(&card) == 0 && card >= 0) {
    snd_ctl_t* raw = nullptr;
    if (snd_ctl_open(&raw, ("hw:" + std::to_string(card)).c_str(), 0) < 0) continue;
    const std::unique_ptr<snd_ctl_t, CtlCloser> ctl(raw);
    if (snd_ctl_card_info(raw, cardInfo) < 0) continue;
    const std::string id = snd_ctl_card_info_get_id(cardInfo);
    const std::string name = snd_ctl_card_info_get_name(cardInfo);
    int device = -1;
    while (snd_ctl_pcm_next_device(raw, &device) == 0 && device >= 0) {
      snd_pcm_info_set_device(pcmInfo, static_cast<unsigned>(device));
      snd_pcm_info_set_subdevice(pcmInfo, 0);
      snd_pcm_info_set_stream(pcmInfo, SND_PCM_STREAM_PLAYBACK);
      // A device without a playback stream (a capture-only one) answers with an error.
      if (snd_ctl_pcm_info(raw, pcmInfo) < 0) continue;
      playbacks.push_back({id, name, device, snd_pcm_info_get_name(pcmInfo)});
    }
  }
  return playbacks;
}

std::vector<OutputDeviceChoice> alsaOutputDevices() {
  return playableOutputDevices(alsaPcmHints(), alsaCardPlaybacks());
}

}  // namespace velmora
