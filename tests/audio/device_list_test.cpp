// The output device list: what is offered for which ALSA configuration and sound cards, and
// the ALSA device each entry opens.
#include <gtest/gtest.h>

#include <alsa/asoundlib.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "audio/alsa/alsa_device.h"
#include "audio/alsa/alsa_device_list.h"
#include "audio/device_list.h"
#include "audio/fake_device.h"

#include <future>
#include <memory>

using namespace velmora;

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>; // text, ALSA name

Entries pairs(const std::vector<OutputDeviceChoice>& choices) {
  Entries out;
  for (const auto& c : choices) out.emplace_back(c.text, c.pcm);
  return out;
}

// The hints a card-less machine with the usual plug-ins reports.
const std::vector<PcmHint> kPlugins = {
    {"null", "Discard all samples (playback) or generate zero samples (capture)", ""},
    {"samplerate", "Rate Converter Plugin Using Samplerate Library", ""},
    {"jack", "JACK Audio Connection Kit", ""},
    {"oss", "Open Sound System", ""},
    {"speex", "Plugin using Speex DSP (resample, agc, denoise, echo, dereverb)", ""},
    {"upmix", "Plugin for channel upmix (4,6,8)", ""},
    {"vdownmix", "Plugin for channel downmix (stereo) with a simple spacialization", ""},
};

std::vector<PcmHint> with(std::vector<PcmHint> hints, const std::vector<PcmHint>& more) {
  hints.insert(hints.end(), more.begin(), more.end());
  return hints;
}

TEST(DeviceList, OnlySoundServersAndCardPlaybackDevicesAreOffered) {
  const std::vector<CardPlayback> oneCard = {{"PCH", "HDA Intel PCH", 0, "ALC892 Analog"},
                                             {"PCH", "HDA Intel PCH", 3, "HDMI 0"}};
  struct Case {
    const char* name;
    std::vector<PcmHint> hints;
    std::vector<CardPlayback> cards;
    Entries expected;
  };
  const Case cases[] = {
      {"nothing at all", {}, {}, {}},
      {"plug-ins only", kPlugins, {}, {}},
      {"PulseAudio", with(kPlugins, {{"pulse", "PulseAudio Sound Server", ""}}), {},
       {{"PulseAudio Sound Server", "pulse"}}},
      // PipeWire first, whatever order the configuration lists them in.
      {"both servers",
       with(kPlugins, {{"pulse", "PulseAudio Sound Server", ""}, {"pipewire", "PipeWire Sound Server", ""}}),
       {},
       {{"PipeWire Sound Server", "pipewire"}, {"PulseAudio Sound Server", "pulse"}}},
      {"a server without description, one for input only",
       {{"pipewire", "", ""}, {"pulse", "PulseAudio", "Input"}},
       {},
       {{"PipeWire Sound Server", "pipewire"}}},
      {"a card's hints are not listed twice",
       with(kPlugins, {{"hw:CARD=PCH,DEV=0", "HDA Intel PCH, ALC892 Analog\nDirect hardware device", "Output"},
                       {"plughw:CARD=PCH,DEV=0", "HDA Intel PCH, ALC892 Analog\nHardware device", "Output"}}),
       oneCard,
       {{"HDA Intel PCH: ALC892 Analog", "plughw:CARD=PCH,DEV=0"}, {"HDA Intel PCH: HDMI 0", "plughw:CARD=PCH,DEV=3"}}},
      {"server and two cards",
       with(kPlugins, {{"pulse", "PulseAudio Sound Server", ""}}),
       {{"PCH", "HDA Intel PCH", 0, "ALC892 Analog"}, {"Device", "USB Audio Device", 0, "USB Audio"}},
       {{"PulseAudio Sound Server", "pulse"},
        {"HDA Intel PCH: ALC892 Analog", "plughw:CARD=PCH,DEV=0"},
        {"USB Audio Device: USB Audio", "plughw:CARD=Device,DEV=0"}}},
      {"a card without names", {}, {{"Loopback", "", 1, ""}}, {{"Loopback", "plughw:CARD=Loopback,DEV=1"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(pairs(playableOutputDevices(c.hints, c.cards)), c.expected);
  }
}

// ALSA reads the configuration named by ALSA_CONFIG_PATH instead of the system's.
class AlsaConfiguration : public ::testing::Test {
 protected:
  void use(const std::string& files) {
    std::string path;
    for (size_t start = 0; start < files.size();) {
      size_t end = files.find(' ', start);
      if (end == std::string::npos) end = files.size();
      if (!path.empty()) path += ':';
      path += std::string(VELMORA_ALSA_CONFIGS) + "/" + files.substr(start, end - start);
      start = end + 1;
    }
    setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
    snd_config_update_free_global();
  }
  void TearDown() override {
    unsetenv("ALSA_CONFIG_PATH");
    snd_config_update_free_global();
  }
};

TEST_F(AlsaConfiguration, ListsWhatTheConfigurationOffers) {
  // Sound cards come from the kernel, not from a configuration: with none present here,
  // the card part of these lists is empty, and the card cases are in the table above.
  const bool cardsPresent = !alsaCardPlaybacks().empty();
  if (cardsPresent) GTEST_SKIP() << "this machine has a sound card; the lists below assume none";
  struct Case {
    const char* files;
    std::vector<std::string> entries;
  };
  const Case cases[] = {
      {"no_card.conf", {"System Default"}},
      {"no_card.conf sound_server.conf",
       {"System Default", "PipeWire Sound Server", "PulseAudio Sound Server"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.files);
    use(c.files);
    AlsaDevice device;
    EXPECT_EQ(outputDeviceEntries(device), c.entries);
  }
}

TEST_F(AlsaConfiguration, EachEntryNamesTheAlsaDeviceItOpens) {
  if (!alsaCardPlaybacks().empty()) GTEST_SKIP() << "this machine has a sound card";
  use("no_card.conf sound_server.conf");
  const std::vector<OutputDeviceChoice> devices = alsaOutputDevices();
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].pcm, "pipewire");
  EXPECT_EQ(devices[1].pcm, "pulse");
}

}  // namespace

// The window lists the devices on another thread while it starts and then takes the device
// over: the first listing gives what was listed ahead, and every later one asks again (a
// device plugged in since shows).
TEST(DeviceList, AListMadeAheadOnAnotherThreadIsTheFirstListing) {
  auto made = std::async(std::launch::async, [] {
    auto device = std::make_unique<FakeDevice>(std::vector<std::string>{"Built-in Audio"});
    device->listDevicesAhead();
    return device;
  });
  std::unique_ptr<FakeDevice> device = made.get();
  device->setDeviceNames({"Built-in Audio", "USB Audio"});
  EXPECT_EQ(outputDeviceEntries(*device), (std::vector<std::string>{"System Default", "Built-in Audio"}));
  EXPECT_EQ(outputDeviceEntries(*device),
            (std::vector<std::string>{"System Default", "Built-in Audio", "USB Audio"}));
}

TEST_F(AlsaConfiguration, AListMadeAheadOnAnotherThreadIsTheListOfThisThread) {
  if (!alsaCardPlaybacks().empty()) GTEST_SKIP() << "this machine has a sound card";
  use("no_card.conf sound_server.conf");
  auto made = std::async(std::launch::async, [] {
    auto device = std::make_unique<AlsaDevice>();
    device->listDevicesAhead();
    return device;
  });
  std::unique_ptr<AlsaDevice> ahead = made.get();
  AlsaDevice here;
  EXPECT_EQ(outputDeviceEntries(*ahead), outputDeviceEntries(here));
}
