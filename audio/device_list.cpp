#include "audio/device_list.h"

namespace velmora {

std::vector<std::string> outputDeviceEntries(AudioDevice& device) {
  std::vector<std::string> entries{kSystemDefaultDevice};
  for (auto& name : device.listDevices()) entries.push_back(std::move(name));
  return entries;
}

}  // namespace velmora
