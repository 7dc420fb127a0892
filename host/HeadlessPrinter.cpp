#include "HeadlessPrinter.h"

#include <poll.h>

#include <iostream>

#include "PersonalityFile.h"
#include "PortMap.h"
#include "RackFile.h"
#include "StopSignals.h"

namespace {

bool StopRequested() {
  pollfd signals{StopSignals::Fd(), POLLIN, 0};
  return signals.fd >= 0 && ::poll(&signals, 1, 0) > 0 && StopSignals::Take();
}

}  // namespace

EngineHostConfig HeadlessConfig(const ProgramOptions& options) {
  EngineHostConfig config;
  if (options.settings) config.settingsPath = *options.settings;
  config.settingsErrorsAreFatal = true;
  // No one to ask: a port that cannot be opened ends the run with its message.
  config.promptForPort = false;
  // Notes such as a pty ignoring the parity setting matter only to someone watching the traffic.
  // A network port's loss and return are told whatever else is shown, as a lost device is.
  const auto network = [](const std::optional<std::string>& port) {
    return port && PortMap::ParseTarget(*port).Network();
  };
  config.diagnostics = options.log || network(options.portA) || network(options.portB);
  config.showComs = options.log && !options.logDecoded && !options.bridge;
  // A bridge has nothing to show but the traffic it passes on.
  config.decodedLines = options.logDecoded || options.bridge;
  config.capturePath = options.capture;
  config.bridge = options.bridge;
  config.controllerLines = true;
  config.portA = options.portA;
  config.portB = options.portB;
  config.timer1Ms = options.tickMs.value_or(LayoutTimer1IntervalMs(false));
  config.timer2Ms = options.tickMs.value_or(kTimer2IntervalMs);
  config.machine = options.machine;
  config.standard = options.standard;
  if (options.personality) config.personality = LoadPersonality(*options.personality);
  if (options.rack) {
    config.rack = LoadRack(*options.rack, options.portA, options.machine.value_or(0),
                           options.standard.value_or(0), options.personality);
    // The port of a rack shorthand is the rack's pattern, not a port of its own.
    if (IsRackCount(*options.rack)) config.portA.reset();
  }
  return config;
}

HeadlessPrinter::HeadlessPrinter(const ProgramOptions& options, std::ostream& out,
                                 std::ostream& err)
    : out_(out), err_(err), host_(HeadlessConfig(options), [this] {
        {
          std::lock_guard lock(mutex_);
          pending_ = true;
        }
        woken_.notify_one();
      }) {}

HeadlessPrinter::~HeadlessPrinter() { host_.Stop(); }

void HeadlessPrinter::Start() {
  host_.Start();
  host_.Show(true);
  Print(host_.TakeOutput());
}

void HeadlessPrinter::Run(const std::function<bool()>& stopped) {
  while (!stopped()) {
    {
      std::unique_lock lock(mutex_);
      // A signal sets `stop` without a wake: look again now and then.
      woken_.wait_for(lock, std::chrono::milliseconds(50), [&] { return pending_; });
      pending_ = false;
    }
    Print(host_.TakeOutput());
  }
  host_.Stop();
  Print(host_.TakeOutput());
}

void HeadlessPrinter::Print(HostOutput output) {
  for (const std::string& note : output.diagnostics) err_ << "selkietest: " << note << '\n';
  for (const std::string& error : output.errors) err_ << "selkietest: " << error << '\n';
  reportedErrors_ = reportedErrors_ || !output.errors.empty();
  err_.flush();
  for (const std::string& line : output.monitorLines) out_ << line << '\n';
  for (const std::string& line : output.decodedLines) out_ << line << '\n';
  for (const std::string& line : output.controllerLines) out_ << line << '\n';
  out_.flush();
}

int RunHeadless(const ProgramOptions& options) {
  StopSignals::Install();
  try {
    HeadlessPrinter printer(options, std::cout, std::cerr);
    printer.Start();
    printer.Run(std::function<bool()>(StopRequested));
    if (printer.ReportedErrors()) return 1;
  } catch (const RackError& e) {
    std::cerr << "selkietest: " << e.what() << std::endl;
    return 2;
  } catch (const PersonalityError& e) {
    std::cerr << "selkietest: " << e.what() << std::endl;
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "selkietest: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}
