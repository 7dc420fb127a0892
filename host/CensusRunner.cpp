#include "CensusRunner.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>

#include "CensusReport.h"
#include "LineExchange.h"
#include "PersonalityFile.h"
#include "ReplyShaper.h"
#include "VirtualMachine.h"

namespace {

// The engine's frame tick during an editor census: 25 per second, an EBU time code in real time.
constexpr Micros kFrameTick{40000};

// Writes the report; false (with a message) when the file cannot be written.
bool WriteReport(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.flush();
  if (!file) {
    std::cerr << "selkietest: cannot write the report \"" << path << "\"" << std::endl;
    return false;
  }
  return true;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n') + 1); }

}  // namespace

CensusResult RunCensusOn(LineExchange& line, const Census::Settings& settings) {
  Census census(settings);
  line.DropPendingInput();
  while (!census.Finished()) {
    if (std::optional<Bytes> request = census.Due(Now())) line.WriteAll(*request);
    const std::vector<uint8_t> bytes = line.ReadUntil(census.WakeAt());
    if (!bytes.empty()) census.Received(bytes, Now());
  }
  return census.Result();
}

EditorCensusResult RunEditorCensusOn(LineExchange& line, VirtualMachine& vm, ReplyShaper& shaper,
                                     Micros duration) {
  EditorCensus census;
  const Micros start = Now();
  const Micros end = start + duration;
  Micros nextTick = start + kFrameTick;
  std::multimap<Micros, Bytes> due;  // the shaper's writes, at their times
  const auto plan = [&due](std::vector<PlannedWrite> writes, Micros at) {
    for (PlannedWrite& w : writes) due.emplace(at + w.delay, std::move(w.bytes));
  };
  shaper.PortOpened();
  for (Micros now = start; now < end; now = Now()) {
    Micros wake = std::min(nextTick, end);
    if (!due.empty()) wake = std::min(wake, due.begin()->first);
    if (const std::optional<Micros> deadline = shaper.Deadline())
      wake = std::min(wake, start + *deadline);
    const std::vector<uint8_t> bytes = line.ReadUntil(wake);
    const Micros at = Now();
    if (!bytes.empty()) {
      census.Received(bytes, at);
      ShapedEvent event = shaper.DataAvailable(bytes, VmEventContext{}, at - start);
      if (event.engine.inputDiscarded) line.DropPendingInput();
      plan(std::move(event.writes), at);
    }
    if (const std::optional<Micros> deadline = shaper.Deadline();
        deadline && start + *deadline <= at)
      plan(shaper.Expire(at - start), at);
    while (!due.empty() && due.begin()->first <= Now()) {
      line.WriteAll(due.begin()->second);
      census.Sent(due.begin()->second, Now());
      due.erase(due.begin());
    }
    while (nextTick <= at) {
      vm.FrameTick();
      nextTick += kFrameTick;
    }
  }
  census.Flush(end + MessageFramer::kQuietGap);
  return census.Result(end);
}

int RunCensus(const ProgramOptions& options) {
  Census::Settings settings;
  if (options.seconds) settings.pollFor = std::chrono::seconds(*options.seconds);
  settings.transport = options.transport;
  CensusResult result;
  try {
    LineExchange line(CommandLineTarget(*options.portB, "--census"));
    line.AwaitClient(kClientWait, *options.portB, "no request was sent");
    result = RunCensusOn(line, settings);
  } catch (const std::exception& e) {
    std::cerr << "selkietest: " << e.what() << std::endl;
    return 2;
  }
  const std::string verdict = CensusVerdict(result);
  if (options.report) {
    if (!WriteReport(*options.report, CensusReport(result, *ReportFormatOf(*options.report))))
      return 2;
    std::cout << FirstLine(verdict) << "report: " << *options.report << "\n";
  } else {
    std::cout << verdict;
  }
  std::cout.flush();
  return result.Conforms() ? 0 : 1;
}

int RunEditorCensus(const ProgramOptions& options) {
  VirtualMachine vm;
  vm.RestoreSettings(VmSettings{static_cast<uint8_t>(options.standard.value_or(0)),
                                options.machine.value_or(0), 0, false});
  vm.FormShow();
  EditorCensusResult result;
  try {
    ReplyShaper shaper(options.personality ? LoadPersonality(*options.personality) : Personality{});
    shaper.Attach(vm);
    LineExchange line(CommandLineTarget(*options.portA, "--census-editor"));
    result = RunEditorCensusOn(line, vm, shaper, std::chrono::seconds(*options.seconds));
  } catch (const std::exception& e) {
    std::cerr << "selkietest: " << e.what() << std::endl;
    return 2;
  }
  const std::string summary = EditorCensusSummary(result);
  if (options.report) {
    if (!WriteReport(*options.report, EditorCensusReport(result, *ReportFormatOf(*options.report))))
      return 2;
    std::cout << FirstLine(summary) << "report: " << *options.report << "\n";
  } else {
    std::cout << summary;
  }
  std::cout.flush();
  return result.Faults().empty() ? 0 : 1;
}
