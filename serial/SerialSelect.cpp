#include "SerialSelect.h"

#include "PortMap.h"
#include "SerialDevice.h"

#include <cctype>

std::vector<SerialSelectEntry> SerialSelect::ListPorts() {
  std::vector<SerialSelectEntry> entries;
  for (int number : PortMap::MappedNumbers()) {
    const PortTarget target = PortMap::Resolve(number);
    if (!SerialDeviceSelectable(target)) continue;
    const std::string device = target.Describe();
    entries.push_back({number, device, "COM" + std::to_string(number) + " (" + device + ")"});
  }
  return entries;
}

int SerialSelect::NumberOf(const std::string& entryText) {
  int number = 0;
  for (std::size_t i = 3; i < entryText.size() && std::isdigit(static_cast<unsigned char>(entryText[i])); ++i) {
    number = number * 10 + (entryText[i] - '0');
    if (number > 65535) return 0;
  }
  return number;
}
