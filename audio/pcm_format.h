#pragma once

#include <cstdint>

namespace velmora {

inline constexpr uint16_t kPcmFormatInteger = 1;
inline constexpr uint16_t kPcmFormatFloat = 3;

// The PCM format record the engine keeps (the layout of a WAVEFORMATEX): interleaved, little
// endian, integer PCM or 32-bit IEEE float. Plain data; any thread.
struct PcmFormat {
  uint16_t formatTag = kPcmFormatInteger;  // 1 integer PCM, 3 IEEE float (32 bits)
  uint16_t channels = 1;
  uint32_t samplesPerSec = 22050;
  uint32_t avgBytesPerSec = 44100;
  uint16_t blockAlign = 2;
  uint16_t bitsPerSample = 16;
  uint16_t extraSize = 0;
};

inline bool isFloatFormat(const PcmFormat& f) { return f.formatTag == kPcmFormatFloat; }

// What the device layer takes: 16-bit or packed 24-bit integer samples or 32-bit float
// samples, one or two channels, 8000 to 384000 Hz, and a record whose derived fields agree
// with the rest. (A device may still refuse float samples when it opens.)
inline bool isPlayableFormat(const PcmFormat& f) {
  const bool sampleOk = f.formatTag == kPcmFormatInteger ? f.bitsPerSample == 16 || f.bitsPerSample == 24
                        : f.formatTag == kPcmFormatFloat ? f.bitsPerSample == 32
                                                         : false;
  return sampleOk && (f.channels == 1 || f.channels == 2) && f.samplesPerSec >= 8000 &&
         f.samplesPerSec <= 384000 && f.blockAlign == f.bitsPerSample / 8 * f.channels &&
         f.avgBytesPerSec == f.samplesPerSec * f.blockAlign;
}

}  // namespace velmora
