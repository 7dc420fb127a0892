#include "RackMachine.h"

#include <algorithm>

#include "Clock.h"
#include "MachineIdentity.h"
#include "PortArguments.h"
#include "ProgramOptions.h"
#include "ProgramPorts.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRateWindow = std::chrono::seconds(1);

}  // namespace

RackMachine::RackMachine(RackEntry entry, int spareNumber, std::shared_ptr<OwnerLoop> loop)
    : entry_(std::move(entry)),
      spareNumber_(spareNumber),
      port_(std::move(loop)),
      shaping_(vm_, [this](const Bytes& bytes) { Write(bytes); }) {
  ConfigureProgramPort(port_);
  // No one to ask: a machine whose port cannot be had reports it on its row.
  port_.SetPromptForPort(false);
  port_.OnTriggerAvail = [this](TSerialPort&, uint16_t count) { Data(count); };
  port_.OnError = [this](TSerialPort&, const std::string& message) { Failed(message); };
  port_.OnPeerHangUp = [this](TSerialPort&) {
    vm_.PeerHungUp();
    shaping_.PortClosed();
    shaping_.PortOpened();
  };
  VmSettings settings;
  settings.MachineType = entry_.machine;
  settings.Standard = static_cast<uint8_t>(entry_.standard);
  vm_.RestoreSettings(settings);
  vm_.FormShow();
  if (entry_.rules) shaping_.Use(*entry_.rules);
  traffic_.SetCaptureLabel(entry_.name);
}

void RackMachine::ShareCapture(std::shared_ptr<CaptureSink> sink) {
  traffic_.ShareCapture(std::move(sink));
  if (!traffic_.Capturing()) return;
  traffic_.Note("machine " + entry_.name + " on " + entry_.port + ": " +
                std::string(IdentityOf(vm_.MachineType()).caption) + " " +
                std::string(StandardOf(vm_.Settings().Standard).caption) + ", personality " +
                shaping_.Current().name);
}

void RackMachine::Write(const Bytes& bytes) {
  if (!port_.Open()) return;
  try {
    port_.WriteString(bytes);
    traffic_.Sent('A', bytes, Now());
  } catch (const std::exception& e) {
    Failed(e.what());
  }
}

void RackMachine::Open() {
  try {
    port_.SetComNumber(ResolvePortArgument(entry_.port, spareNumber_));
    port_.SetOpen(true);
    traffic_.PortOpened('A', Now());
    shaping_.PortOpened();
  } catch (const std::exception& e) {
    Failed(entry_.port + ": " + e.what());
  }
}

void RackMachine::Close() {
  try {
    port_.SetOpen(false);
    shaping_.PortClosed();
  } catch (const std::exception& e) {
    Failed(e.what());
  }
}

void RackMachine::Failed(const std::string& message) {
  ++errorCount_;
  lastError_ = message;
  if (OnError) OnError(entry_.name + ": " + message);
  if (OnChange) OnChange();
}

void RackMachine::Data(uint16_t count) {
  try {
    std::vector<uint8_t> bytes;
    bytes.reserve(count);
    for (uint16_t i = 0; i < count; ++i) bytes.push_back(port_.ReadByte());
    const Micros at = Now();
    VmEventContext context;
    context.portOpen = port_.Open();
    context.showComs = showComs_;
    const auto now = Clock::now();
    const PortAShaping::Event shaped = shaping_.DataAvailable(bytes, context, now);
    const VmEventResult& result = shaped.result;
    if (result.inputDiscarded) port_.DiscardInput();
    const Micros replyAt = Now();
    if (!shaped.dueNow.empty() && port_.Open()) port_.WriteString(shaped.dueNow);
    traffic_.Received('A', bytes, at);
    if (!shaped.dueNow.empty()) traffic_.Sent('A', shaped.dueNow, replyAt);
    for (std::size_t i = 0; i < result.exchanges.size(); ++i) recent_.push_back(now);
    if (!result.exchanges.empty()) {
      lastRequest_ = now;
      anyRequest_ = true;
    }
    if (showComs_ && OnMonitorLines) OnMonitorLines(Named(result.MonitorLines()));
  } catch (const std::exception& e) {
    Failed(e.what());
  }
  if (OnChange) OnChange();
}

void RackMachine::StartFrames(Clock::time_point start,
                              std::optional<std::chrono::milliseconds> tick) {
  tick_ = tick;
  nextFrame_ = start + FrameInterval();
}

// The standard can change from the machine's panel between two frames.
Clock::duration RackMachine::FrameInterval() const {
  return tick_.value_or(std::chrono::milliseconds(vm_.Panel().timer1IntervalMs));
}

bool RackMachine::Fire(Clock::time_point now) {
  shaping_.Fire(now);
  if (now < nextFrame_) return false;
  FrameTick(now);
  nextFrame_ += FrameInterval();
  if (nextFrame_ <= now) nextFrame_ = now + FrameInterval();  // fell behind: no burst of frames
  return true;
}

void RackMachine::FrameTick(Clock::time_point now) {
  vm_.FrameTick();
  while (!recent_.empty() && now - recent_.front() > kRateWindow) recent_.pop_front();
}

std::vector<std::string> RackMachine::Named(std::vector<std::string> lines) const {
  for (std::string& line : lines) line.insert(0, entry_.name + " ");
  return lines;
}

std::vector<std::string> RackMachine::TakeDecodedLines() {
  return Named(traffic_.TakeDecodedLines());
}

RackRow RackMachine::Row(Clock::time_point now) const {
  RackRow row;
  row.name = entry_.name;
  row.port = entry_.port;
  row.machine = vm_.MachineType();
  row.standard = vm_.Settings().Standard;
  row.personality = shaping_.Current().name;
  row.enterIdText = vm_.EnterIdInitialText();
  row.open = port_.Open();
  row.panel = vm_.Panel();
  row.clips = vm_.Clips();
  // The tick prunes the list; a row taken between ticks counts only the last second too.
  row.requestsPerSecond =
      static_cast<int>(std::count_if(recent_.begin(), recent_.end(), [now](Clock::time_point at) {
        return now - at <= kRateWindow;
      }));
  if (anyRequest_)
    row.lastRequestAgeMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - lastRequest_).count();
  row.errorCount = errorCount_;
  row.lastError = lastError_;
  return row;
}
