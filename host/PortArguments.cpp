#include "PortArguments.h"

#include "PortMap.h"
#include "ProgramOptions.h"

int ResolvePortArgument(const std::string& text, int spareNumber) {
  if (const std::optional<int> number = PortMap::ComNumberOf(text)) {
    if (*number == 0) throw OptionsError("\"" + text + "\" is not a COM port (COM1 to COM65535)");
    return *number;
  }
  if (!PortMap::Assign(spareNumber, text))
    throw OptionsError("\"" + text + "\" names no port: use COMn, a device path or pty:<path>");
  return spareNumber;
}
