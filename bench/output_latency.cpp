// output_latency: how long after the start of a stream (what F11 and `velmora-render --play`
// do: open the device, fill the ring, hand it over) its first frame reaches the sink, through
// the program's output device (PipeWire where a server answers). The device stamps the first
// frame with the time of the server's period that took it plus the server's delay to its
// device. Each setting is started RUNS times (9) in turn; medians, minima and maxima in ms.
//
//   output_latency [RUNS]
//
// Run it where a PipeWire server answers (bench/pipewire_output.sh starts one).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "audio/audio_out.h"
#include "audio/notice_queue.h"
#include "audio/system/system_device.h"

using namespace velmora;
using Clock = std::chrono::steady_clock;

namespace {
int64_t nowNanos() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

struct Setting {
  const char* name;
  int buffers;
  int bufferSize;
};
}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  const Setting settings[] = {{"default (4 x 8192 bytes)", 4, 8192}, {"smallest (2 x 2048 bytes)", 2, 2048}};
  NoticeQueue notices;
  SystemAudioDevice device;
  TAudioOut out(device);
  out.setStereo(true);
  out.setQuantization(16);
  out.setFrameRate(48000);
  double phase = 0;
  out.OnFillBuffer = [&](uint8_t* b, int32_t& size) {
    for (int32_t at = 0; at + 4 <= size; at += 4, phase += 2 * M_PI * 1000 / 48000) {
      const auto x = static_cast<int16_t>(std::lround(16000 * std::sin(phase)));
      for (int c = 0; c < 2; ++c) {
        b[at + 2 * c] = static_cast<uint8_t>(x);
        b[at + 2 * c + 1] = static_cast<uint8_t>(x >> 8);
      }
    }
    return true;
  };
  bool stopped = false;
  out.OnStop = [&] { stopped = true; };

  std::vector<std::vector<double>> ms(std::size(settings));
  for (int run = 0; run < runs; ++run) {
    for (std::size_t k = 0; k < std::size(settings); ++k) {
      out.setNumBuffers(settings[k].buffers);
      out.setBufferSize(settings[k].bufferSize);
      stopped = false;
      const int64_t start = nowNanos();
      if (!out.Start(notices)) {
        std::fprintf(stderr, "output_latency: %s\n", out.ErrorMessage().c_str());
        return 1;
      }
      if (!device.playingThroughPipeWire()) {
        std::fprintf(stderr, "output_latency: no PipeWire server answers\n");
        return 1;
      }
      notices.runUntil([&] { return device.firstFrameNanos() >= 0; }, std::chrono::seconds(5));
      const int64_t first = device.firstFrameNanos();
      out.StopAtOnce();
      notices.runUntil([&] { return stopped; }, std::chrono::seconds(5));
      device.waitClosed();
      if (first < 0) {
        std::fprintf(stderr, "output_latency: no frame reached the sink\n");
        return 1;
      }
      ms[k].push_back(static_cast<double>(first - start) / 1e6);
    }
  }
  for (std::size_t k = 0; k < std::size(settings); ++k) {
    std::vector<double>& v = ms[k];
    std::sort(v.begin(), v.end());
    std::printf("start to first frame at the sink, %s: median %.1f ms (min %.1f, max %.1f, %d runs)\n",
                settings[k].name, v[v.size() / 2], v.front(), v.back(), runs);
  }
  return 0;
}
