// HostCore's traffic: the recorder fed with what the ports carry, the capture file and the
// bridge between the editor on port A and the machine on port B.
#include "HostCore.h"
#include "SerialErrors.h"

namespace {

// How often the bridge hands on what its framers hold back; the framers of a plain recording
// need only notice the quiet gap.
constexpr auto kBridgePoll = std::chrono::milliseconds(2);
constexpr auto kFlushInterval = std::chrono::milliseconds(10);

}  // namespace

void HostCore::NotePortOpenings() {
  const auto note = [this](char port, bool open, bool& opened) {
    if (open && !opened) traffic_.PortOpened(port, Now());
    opened = open;
  };
  const bool portAWasOpen = portAOpened_;
  note('A', serialA_.Open(), portAOpened_);
  NotePortAShaping(portAWasOpen);
  note('B', serialB_.Open(), portBOpened_);
  // A bridge with a side gone has nothing to pass on; its menu item must not claim otherwise.
  if (bridge_ && !(portAOpened_ && portBOpened_)) SetBridge(false);
}

void HostCore::StartCapture(const std::string& path) {
  const Micros origin = bridge_ ? trafficOrigin_ : Now();
  traffic_.StartCapture(path, origin);
  trafficOrigin_ = origin;
  traffic_.Note("personality " + CurrentPersonality().name);
}

void HostCore::StopCapture() { traffic_.StopCapture(); }

void HostCore::SetDecoding(bool on) {
  decodeWanted_ = on;
  traffic_.SetDecoding(on || config_.decodedLines || bridge_.has_value());
}

void HostCore::SetBridge(bool on) {
  if (on == bridge_.has_value()) return;
  if (!on) {
    Forward(bridge_->Poll(Now() + MessageFramer::kQuietGap));
    Note("bridge: " + bridge_->Summary(), &HostOutput::diagnostics);
    bridge_.reset();
  } else {
    if (!serialA_.Open() || !serialB_.Open())
      throw std::runtime_error(
          "Bridge A-B needs port A (the editor) and port B (the machine) open");
    if (!traffic_.Capturing()) trafficOrigin_ = Now();
    bridge_.emplace(trafficOrigin_);
  }
  SetDecoding(decodeWanted_);
  ArmTrafficTimer();
}

void HostCore::ArmTrafficTimer() {
  trafficTimer_.interval = bridge_ ? std::chrono::steady_clock::duration(kBridgePoll)
                                   : std::chrono::steady_clock::duration(kFlushInterval);
  trafficTimer_.Restart(std::chrono::steady_clock::now());
}

bool HostCore::TrafficTick() {
  const Micros now = Now();
  if (bridge_) Forward(bridge_->Poll(now));
  traffic_.Flush(now);
  if (rack_) rack_->FlushTraffic(now);
  return traffic_.HasDecodedLines() || (rack_ && rack_->HasDecodedLines());
}

void HostCore::BridgeFromEditor(const std::vector<uint8_t>& bytes, Micros at) {
  Forward(bridge_->FromEditor(bytes, at));
}

void HostCore::BridgeFromMachine(const std::vector<uint8_t>& bytes, Micros at) {
  Forward(bridge_->FromMachine(bytes, at));
}

// Writes first, records after: the bytes must not wait for a file.
void HostCore::Forward(const BridgeOutput& output) {
  const auto write = [this](PortSide side, const std::vector<uint8_t>& bytes) {
    if (bytes.empty() || !Port(side).Open()) return;
    try {
      Port(side).WriteString(bytes);
    } catch (const ESerialException& e) {
      ReportPortError(side, e);
    }
  };
  write(PortSide::B, output.toMachine);
  write(PortSide::A, output.toEditor);
  traffic_.Bridged(output);
}

void HostCore::CollectTraffic() {
  std::vector<std::string> lines = traffic_.TakeDecodedLines();
  if (rack_) {
    std::vector<std::string> rackLines = rack_->TakeDecodedLines();
    lines.insert(lines.end(), std::make_move_iterator(rackLines.begin()),
                 std::make_move_iterator(rackLines.end()));
  }
  if (lines.empty()) return;
  std::lock_guard lock(outMutex_);
  for (std::string& line : lines) out_.decodedLines.push_back(std::move(line));
}
