// The command line: any arguments either give a message for the user or options within their
// documented ranges, with the single-dash arguments kept for the toolkit in order; a port text
// names a COM number in range, or one given to it in the port map, or is refused with a message.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "FuzzFrames.h"
#include "PortArguments.h"
#include "PortMap.h"
#include "ProgramOptions.h"

namespace {

void CheckPortArgument(const std::string& text) {
  int number = 0;
  try {
    number = ResolvePortArgument(text, kSparePortA);
  } catch (const OptionsError& error) {
    FUZZ_CHECK(std::string(error.what()).size() > 0);
    return;
  }
  FUZZ_CHECK(number >= 1 && number <= kMaxPortNumber);
  // A text that is not "COMn" is the spare number's target, and messages name it as written.
  if (number == kSparePortA) FUZZ_CHECK(PortMap::PortName(number) == text);
  PortMap::Unassign(kSparePortA);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') {
      args.emplace_back();
    } else {
      args.back() += static_cast<char>(data[i]);
    }
  }
  ProgramOptions options;
  try {
    options = ParseOptions(args);
  } catch (const OptionsError& error) {
    FUZZ_CHECK(std::string(error.what()).size() > 0);
    return 0;
  }
  FUZZ_CHECK(!options.toolkitArgs.empty() && options.toolkitArgs[0] == args[0]);
  if (options.tickMs) FUZZ_CHECK(*options.tickMs >= 1 && *options.tickMs <= 1000);
  if (options.machine) FUZZ_CHECK(*options.machine >= 0 && *options.machine <= 16);
  if (options.standard) FUZZ_CHECK(*options.standard >= 0 && *options.standard <= 3);
  // --help and --version print and exit: what else is on the line is not combined with them.
  const bool runs = !options.help && !options.version;
  if (runs) FUZZ_CHECK(!(options.demo && options.headless));
  // A rack names its ports in its file.
  if (runs && options.headless) FUZZ_CHECK(options.portA || options.portB || options.rack);
  if (options.portA && options.portB) FUZZ_CHECK(*options.portA != *options.portB);
  for (std::size_t i = 1; i < options.toolkitArgs.size(); ++i)
    FUZZ_CHECK(std::find(args.begin() + 1, args.end(), options.toolkitArgs[i]) != args.end());
  for (const std::optional<std::string>& port : {options.portA, options.portB})
    if (port) CheckPortArgument(*port);
  return 0;
}
