#include "PortArguments.h"

#include "PortMap.h"
#include "ProgramOptions.h"

int ResolvePortArgument(const std::string& text, int spareNumber) {
  if (text.size() > 3 && (text.starts_with("COM") || text.starts_with("com"))) {
    const std::string digits = text.substr(3);
    if (digits.find_first_not_of("0123456789") == std::string::npos && digits.size() <= 5) {
      const int number = std::stoi(digits);
      if (number >= 1 && number <= kMaxPortNumber) return number;
    }
    throw OptionsError("\"" + text + "\" is not a COM port (COM1 to COM65535)");
  }
  if (!PortMap::Assign(spareNumber, text))
    throw OptionsError("\"" + text + "\" names no port: use COMn, a device path or pty:<path>");
  return spareNumber;
}
