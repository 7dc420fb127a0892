#include "PortArguments.h"

#include "PortMap.h"
#include "ProgramOptions.h"

int ResolvePortArgument(const std::string& text, int spareNumber) {
  if (const std::optional<int> number = PortMap::ComNumberOf(text)) {
    if (*number == 0) throw OptionsError("\"" + text + "\" is not a COM port (COM1 to COM65535)");
    return *number;
  }
  if (!PortMap::Assign(spareNumber, text)) {
    const std::string reason = PortMap::TargetError(text);
    throw OptionsError(!reason.empty() ? reason
                                       : "\"" + text +
                                             "\" names no port: use COMn, a device path, "
                                             "pty:<path> or a network port (see --help)");
  }
  return spareNumber;
}
