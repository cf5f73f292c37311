// A sound server that stops answering (frozen with SIGSTOP) or dies while the engine plays
// through ALSA's default device: no call on the owner's thread waits for it without a
// bound, the stream is given up and reported lost, and the engine's close still follows.
// Each test runs a PulseAudio server of its own, so freezing it touches no other test.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "audio/alsa/alsa_device.h"
#include "audio/audio_out.h"
#include "audio/notice_queue.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A PulseAudio server with one null sink, in a runtime folder of its own.
class PrivateServer {
 public:
  PrivateServer() {
    char pattern[] = "/tmp/velmora-frozen-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return;
    dir_ = pattern;
    fs::create_directories(dir_ / "xdg");
    fs::permissions(dir_ / "xdg", fs::perms::owner_all);
    const std::string socket = (dir_ / "pulse.sock").string();
    ::setenv("XDG_RUNTIME_DIR", (dir_ / "xdg").c_str(), 1);
    ::setenv("HOME", dir_.c_str(), 1);
    ::setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
    // A server of the test services may hold PulseAudio's name on the session bus.
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ::unsetenv("DISPLAY");  // else the bus is found through the X server
    const std::string protocol = "module-native-protocol-unix socket=" + socket + " auth-anonymous=1";
    const char* argv[] = {"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1",
                          "--disallow-exit", "-L", "module-null-sink sink_name=frozen_null rate=48000",
                          "-L", protocol.c_str(), nullptr};
    pid_ = ::fork();
    if (pid_ == 0) {
      // The server goes with the test, also when a sanitizer ends it at once.
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      const int null = ::open("/dev/null", O_WRONLY);
      ::dup2(null, 1);
      ::dup2(null, 2);
      ::execvp("pulseaudio", const_cast<char**>(argv));
      ::_exit(127);
    }
    for (int i = 0; i < 100 && pid_ > 0 && !fs::exists(socket); ++i) std::this_thread::sleep_for(50ms);
    ready_ = pid_ > 0 && fs::exists(socket);
    if (ready_) std::this_thread::sleep_for(300ms);  // the sink settles
  }
  ~PrivateServer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGCONT);
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }
  bool ready() const { return ready_; }
  void signal(int signo) { ::kill(pid_, signo); }

 private:
  fs::path dir_;
  pid_t pid_ = -1;
  bool ready_ = false;
};

class FrozenServerTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!server_.ready()) GTEST_SKIP() << "no PulseAudio server could be started";
    out_.setStereo(true);
    out_.setFrameRate(48000);
    out_.setBufferSize(8192);
    out_.OnFillBuffer = [](uint8_t* b, int32_t& size) {
      std::fill(b, b + size, uint8_t{0});
      return true;
    };
    out_.OnStop = [this] { ++stops_; };
  }
  void TearDown() override { server_.signal(SIGCONT); }

  // Starts playing and lets the stream run for a while.
  void play() {
    ASSERT_TRUE(out_.Start(queue_)) << out_.ErrorMessage();
    queue_.runUntil([&] { return out_.ProcessedBuffers() >= 8; }, 10s);
    ASSERT_GE(out_.ProcessedBuffers(), 8) << "the stream did not play";
  }

  PrivateServer server_;
  NoticeQueue queue_;
  AlsaDevice device_{"default"};
  TAudioOut out_{device_};
  int stops_ = 0;
};

TEST_F(FrozenServerTest, StoppingIsBoundedAndTheCloseFollows) {
  play();
  server_.signal(SIGSTOP);
  std::this_thread::sleep_for(200ms);
  const auto start = Clock::now();
  out_.StopAtOnce();  // F9 in the window
  const double stopped = SecondsSince(start);
  ASSERT_TRUE(queue_.runUntil([&] { return stops_ == 1; }, 3s)) << "no close after the stop";
  const double closed = SecondsSince(start);
  std::printf("stop returned after %.3f s, close notice after %.3f s\n", stopped, closed);
  EXPECT_LT(stopped, 1.5);
  EXPECT_LT(closed, 1.5);
  EXPECT_TRUE(device_.streamLost());
}

TEST_F(FrozenServerTest, AStreamThatStopsPlayingIsLostAndCloses) {
  play();
  const auto start = Clock::now();
  server_.signal(SIGSTOP);
  ASSERT_TRUE(queue_.runUntil([&] { return stops_ == 1; }, 10s)) << "the engine kept waiting";
  std::printf("given up and closed %.3f s after the server froze\n", SecondsSince(start));
  EXPECT_EQ(out_.ErrorMessage(), "The audio device is no longer available");
  EXPECT_EQ(out_.State(), AudioOutState::Idle);
}

TEST_F(FrozenServerTest, AnOpenWithoutAnswerFails) {
  server_.signal(SIGSTOP);
  const auto start = Clock::now();
  EXPECT_FALSE(out_.Start(queue_));
  const double took = SecondsSince(start);
  std::printf("open refused after %.3f s\n", took);
  EXPECT_EQ(out_.ErrorMessage(), "The audio device does not answer");
  EXPECT_LT(took, 1.5);
}

TEST_F(FrozenServerTest, AKilledServerIsALostDevice) {
  play();
  server_.signal(SIGKILL);
  ASSERT_TRUE(queue_.runUntil([&] { return stops_ == 1; }, 10s)) << "the engine kept waiting";
  EXPECT_TRUE(device_.streamLost());
  EXPECT_EQ(out_.State(), AudioOutState::Idle);
}

TEST_F(FrozenServerTest, TheServerAnsweringAgainAfterAStopChangesNothing) {
  play();
  server_.signal(SIGSTOP);
  out_.StopAtOnce();
  ASSERT_TRUE(queue_.runUntil([&] { return stops_ == 1; }, 3s));
  server_.signal(SIGCONT);
  // The worker left behind closes its stream now and posts nothing more; a new stream plays.
  queue_.runUntil([] { return false; }, 500ms);
  EXPECT_EQ(stops_, 1);
  play();
  out_.StopAtOnce();
  ASSERT_TRUE(queue_.runUntil([&] { return stops_ == 2; }, 3s));
}

}  // namespace
}  // namespace velmora
