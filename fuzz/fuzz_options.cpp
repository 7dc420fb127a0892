// The command line: any arguments either give a message for the user or options within their
// documented ranges, with the single-dash arguments kept for the toolkit in order.
#include <algorithm>
#include <string>
#include <vector>

#include "FuzzFrames.h"
#include "ProgramOptions.h"

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
  FUZZ_CHECK(!(options.demo && options.headless));
  if (options.headless) FUZZ_CHECK(options.portA || options.portB);
  if (options.portA && options.portB) FUZZ_CHECK(*options.portA != *options.portB);
  for (std::size_t i = 1; i < options.toolkitArgs.size(); ++i)
    FUZZ_CHECK(std::find(args.begin() + 1, args.end(), options.toolkitArgs[i]) != args.end());
  return 0;
}
