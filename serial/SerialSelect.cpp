#include "SerialSelect.h"

#include <cctype>

#include "PortInventory.h"

std::vector<SerialSelectEntry> SerialSelect::ListPorts() {
  std::vector<SerialSelectEntry> entries;
  for (const PortInfo& port : PortInventory().List()) {
    std::string text = "COM" + std::to_string(port.number) + " (" + port.device + ")";
    if (const std::string details = port.Details(); !details.empty()) text += " " + details;
    entries.push_back({port.number, port.device, text});
  }
  return entries;
}

int SerialSelect::NumberOf(const std::string& entryText) {
  int number = 0;
  for (std::size_t i = 3;
       i < entryText.size() && std::isdigit(static_cast<unsigned char>(entryText[i])); ++i) {
    number = number * 10 + (entryText[i] - '0');
    if (number > 65535) return 0;
  }
  return number;
}
