// HostCore's traffic: the recorder fed with what the ports carry, the capture file and the
// bridge between the editor on port A and the machine on port B.
#include "HostCore.h"
#include "PortMap.h"
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
  if (rack_) rack_->ShareCapture(nullptr);
  traffic_.StartCapture(path, origin, rack_ ? 2 : 1);
  trafficOrigin_ = origin;
  // A rack run without ports A and B has no port A machine to name.
  const bool rackAlone = !config_.rack.empty() && !config_.portA && !config_.portB;
  if (!rackAlone) traffic_.Note("personality " + CurrentPersonality().name);
  RackCapture();
}

// The rack lets go first, so that the file is closed when the host's recorder lets go.
void HostCore::StopCapture() {
  if (rack_) rack_->ShareCapture(nullptr);
  traffic_.StopCapture();
  ReportCaptureFailure();
}

// A capture the disk no longer takes has stopped: said once, as an error.
bool HostCore::ReportCaptureFailure() {
  std::optional<std::string> failure = traffic_.TakeCaptureFailure();
  if (failure) Report(*failure);
  return failure.has_value();
}

void HostCore::SetDecoding(bool on) {
  decodeWanted_ = on;
  traffic_.SetDecoding(on || config_.decodedLines || bridge_.has_value());
}

void HostCore::SetBridge(bool on) {
  if (on == bridge_.has_value()) return;
  if (!on) {
    Forward(bridge_->Poll(Now() + MessageFramer::kQuietGap));
    std::string summary = "bridge: " + bridge_->Summary();
    if (bridgeDropped_[0] + bridgeDropped_[1] > 0) {
      summary += "  dropped: " + std::to_string(bridgeDropped_[1]) + " bytes to the machine, " +
                 std::to_string(bridgeDropped_[0]) + " to the editor";
    }
    Note(summary, &HostOutput::diagnostics);
    bridge_.reset();
  } else {
    if (!serialA_.Open() || !serialB_.Open())
      throw std::runtime_error(
          "Bridge A-B needs port A (the editor) and port B (the machine) open");
    // Each end would hand every message straight back to where it came from.
    if (PortMap::Resolve(serialA_.ComNumber()).kind == PortTarget::Kind::Cable &&
        PortMap::Resolve(serialB_.ComNumber()).kind == PortTarget::Kind::Cable)
      throw std::runtime_error(
          "Bridge A-B needs an editor on port A and a machine on port B; ports A and B are the "
          "two ends of one virtual cable, which joins them to each other");
    if (!traffic_.Capturing()) trafficOrigin_ = Now();
    bridge_.emplace(trafficOrigin_);
    bridgeDropped_ = {};
    bridgeDropping_ = {};
    traffic_.SetBridgeOrigin(trafficOrigin_);
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
  const bool failed = ReportCaptureFailure();
  return traffic_.HasDecodedLines() || (rack_ && rack_->HasDecodedLines()) || failed;
}

void HostCore::BridgeFromEditor(const std::vector<uint8_t>& bytes, Micros at) {
  Forward(bridge_->FromEditor(bytes, at));
}

void HostCore::BridgeFromMachine(const std::vector<uint8_t>& bytes, Micros at) {
  Forward(bridge_->FromMachine(bytes, at));
}

// Writes first, records after: the bytes must not wait for a file. Only what a port took is
// recorded as sent; what it dropped (a pty: port nobody has open) is a marked, counted comment.
void HostCore::Forward(const BridgeOutput& output) {
  const uint64_t droppedB = BridgeWrite(PortSide::B, output.toMachine);
  const uint64_t droppedA = BridgeWrite(PortSide::A, output.toEditor);
  if (droppedA == 0 && droppedB == 0) {
    traffic_.Bridged(output);
    return;
  }
  BridgeOutput recorded = output;
  recorded.captureLines.clear();
  for (const std::string& line : output.captureLines) {
    const bool toB = line.find(" B tx ") != std::string::npos;
    const bool toA = line.find(" A tx ") != std::string::npos;
    if ((toB && droppedB > 0) || (toA && droppedA > 0)) {
      recorded.captureLines.push_back("# dropped, nobody connected: " + line);
    } else {
      recorded.captureLines.push_back(line);
    }
  }
  traffic_.Bridged(recorded);
}

// The bytes of `bytes` the port dropped; a client gone is said once, when dropping starts.
uint64_t HostCore::BridgeWrite(PortSide side, const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return 0;
  const std::size_t index = side == PortSide::A ? 0 : 1;
  uint64_t dropped = bytes.size();
  if (Port(side).Open()) {
    const uint64_t before = Port(side).DroppedBytes();
    try {
      Port(side).WriteString(bytes);
      dropped = Port(side).DroppedBytes() - before;
    } catch (const ESerialException& e) {
      ReportPortError(side, e);
    }
  }
  bridgeDropped_[index] += dropped;
  if (dropped > 0 && !bridgeDropping_[index]) {
    Note(std::string("bridge: nothing is connected to port ") +
             (side == PortSide::A ? "A (the editor)" : "B (the machine)") +
             "; what the bridge passes there is dropped until it comes back",
         &HostOutput::diagnostics);
  }
  bridgeDropping_[index] = dropped > 0;
  return dropped;
}

void HostCore::CollectTraffic() {
  std::vector<std::string> lines = traffic_.TakeDecodedLines();
  if (rack_) {
    std::vector<std::string> rackLines = rack_->TakeDecodedLines();
    lines.insert(lines.end(), std::make_move_iterator(rackLines.begin()),
                 std::make_move_iterator(rackLines.end()));
  }
  std::vector<CaptureRecord> records = traffic_.TakeRecords();
  if (lines.empty() && records.empty()) return;
  std::lock_guard lock(outMutex_);
  for (std::string& line : lines) QueueLine(out_.decodedLines, std::move(line));
  for (CaptureRecord& record : records) out_.trafficRecords.push_back(std::move(record));
}
