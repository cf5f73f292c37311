#pragma once

#include <cstdint>

namespace velmora {

// The PCM format record the engine keeps (the layout of a WAVEFORMATEX): integer PCM,
// interleaved, little endian. Plain data; any thread.
struct PcmFormat {
  uint16_t formatTag = 1;  // always 1: integer PCM
  uint16_t channels = 1;
  uint32_t samplesPerSec = 22050;
  uint32_t avgBytesPerSec = 44100;
  uint16_t blockAlign = 2;
  uint16_t bitsPerSample = 16;
  uint16_t extraSize = 0;
};

// What every device accepts: 16-bit or packed 24-bit samples, one or two channels,
// 8000 to 384000 Hz, and a record whose derived fields agree with the rest.
inline bool isPlayableFormat(const PcmFormat& f) {
  return f.formatTag == 1 && (f.channels == 1 || f.channels == 2) &&
         (f.bitsPerSample == 16 || f.bitsPerSample == 24) && f.samplesPerSec >= 8000 &&
         f.samplesPerSec <= 384000 && f.blockAlign == f.bitsPerSample / 8 * f.channels &&
         f.avgBytesPerSec == f.samplesPerSec * f.blockAlign;
}

}  // namespace velmora
