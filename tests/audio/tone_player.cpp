// audio_tone_player: plays a sine (a different one on each channel if asked) through the
// ALSA device and the output engine, with the notices delivered through the plain queue.
// Used by the real-sound check and by the soak script; prints figures with --stats.
//
//   audio_tone_player [--rate 48000] [--bits 16] [--channels 2] [--seconds 2]
//                     [--left-hz 1000] [--right-hz 1000] [--left-dbfs -6] [--right-dbfs -6]
//                     [--buffer 8192] [--buffers 4] [--pcm default] [--streams 1]
//                     [--silence] [--stats]
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "audio/alsa/alsa_device.h"
#include "audio/audio_out.h"
#include "audio/notice_queue.h"

using namespace velmora;
using Clock = std::chrono::steady_clock;

namespace {

struct Options {
  int rate = 48000, bits = 16, channels = 2, buffer = 8192, buffers = 4, streams = 1;
  double seconds = 2, leftHz = 1000, rightHz = 1000, leftDb = -6, rightDb = -6;
  std::string pcm = "default";
  bool silence = false, stats = false;
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (a == "--silence") o.silence = true;
    else if (a == "--stats") o.stats = true;
    else if ((v = next()) == nullptr) return false;
    else if (a == "--rate") o.rate = std::atoi(v);
    else if (a == "--bits") o.bits = std::atoi(v);
    else if (a == "--channels") o.channels = std::atoi(v);
    else if (a == "--seconds") o.seconds = std::atof(v);
    else if (a == "--left-hz") o.leftHz = std::atof(v);
    else if (a == "--right-hz") o.rightHz = std::atof(v);
    else if (a == "--left-dbfs") o.leftDb = std::atof(v);
    else if (a == "--right-dbfs") o.rightDb = std::atof(v);
    else if (a == "--buffer") o.buffer = std::atoi(v);
    else if (a == "--buffers") o.buffers = std::atoi(v);
    else if (a == "--pcm") o.pcm = v;
    else if (a == "--streams") o.streams = std::atoi(v);
    else return false;
  }
  return true;
}

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, o)) {
    std::fprintf(stderr, "audio_tone_player: bad arguments (see the source's head)\n");
    return 2;
  }
  NoticeQueue notices;  // outlives the device, whose worker posts to it
  AlsaDevice device(o.pcm);
  TAudioOut out(device);
  out.setStereo(o.channels == 2);
  out.setQuantization(static_cast<uint16_t>(o.bits));
  out.setFrameRate(o.rate);
  out.setNumBuffers(o.buffers);
  out.setBufferSize(o.buffer);

  const int bytesPerSample = o.bits / 8;
  const double fullScale = o.bits == 24 ? 8388607.0 : 32767.0;
  const double amp[2] = {fullScale * std::pow(10.0, o.leftDb / 20.0),
                         fullScale * std::pow(10.0, o.rightDb / 20.0)};
  const double step[2] = {2 * M_PI * o.leftHz / o.rate, 2 * M_PI * o.rightHz / o.rate};
  const uint64_t totalFrames = static_cast<uint64_t>(std::llround(o.seconds * o.rate));
  uint64_t frame = 0;
  double fillSeconds = 0;
  out.OnFillBuffer = [&](uint8_t* b, int32_t& size) {
    const auto t0 = Clock::now();
    const bool more = frame < totalFrames;
    const int32_t frameBytes = bytesPerSample * o.channels;
    for (int32_t at = 0; at + frameBytes <= size; at += frameBytes, ++frame) {
      for (int c = 0; c < o.channels; ++c) {
        int32_t x = 0;
        if (frame < totalFrames && !o.silence)
          x = static_cast<int32_t>(std::nearbyint(amp[c] * std::sin(step[c] * static_cast<double>(frame))));
        for (int k = 0; k < bytesPerSample; ++k)
          b[at + c * bytesPerSample + k] = static_cast<uint8_t>(x >> (8 * k));
      }
    }
    fillSeconds += std::chrono::duration<double>(Clock::now() - t0).count();
    return more;  // the buffer that holds the end is played, padded with silence
  };
  bool stopped = false;
  out.OnStop = [&] { stopped = true; };

  for (int stream = 0; stream < o.streams; ++stream) {
    frame = 0;
    fillSeconds = 0;
    stopped = false;
    const double cpu0 = cpuSeconds();
    const auto wall0 = Clock::now();
    if (!out.Start(notices)) {
      std::fprintf(stderr, "audio_tone_player: %s\n", out.ErrorMessage().c_str());
      return 1;
    }
    const double primeSeconds = fillSeconds;
    const auto timeout = std::chrono::milliseconds(static_cast<int64_t>(o.seconds * 1000) + 20000);
    if (!notices.runUntil([&] { return stopped; }, timeout)) {
      std::fprintf(stderr, "audio_tone_player: the stream did not end\n");
      return 1;
    }
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    const double cpu = cpuSeconds() - cpu0;
    if (!out.ErrorMessage().empty()) {
      std::fprintf(stderr, "audio_tone_player: %s\n", out.ErrorMessage().c_str());
      return 1;
    }
    if (o.stats) {
      std::printf("frames %llu, wall %.3f s, cpu %.3f s (%.2f %% of a core), fill %.3f s\n",
                  static_cast<unsigned long long>(frame), wall, cpu, 100 * cpu / wall, fillSeconds);
      std::printf("underruns %llu\n", static_cast<unsigned long long>(device.underruns()));
      std::printf("alsa buffer %llu frames\n", static_cast<unsigned long long>(device.alsaBufferFrames()));
      const double startNs =
          static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(wall0.time_since_epoch()).count());
      std::printf("first frames at the device %.3f ms after the start call; ring fill %.3f ms\n",
                  (static_cast<double>(device.firstWriteNanos()) - startNs) / 1e6, primeSeconds * 1000);
    }
  }
  return 0;
}
