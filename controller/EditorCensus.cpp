#include "EditorCensus.h"

#include <algorithm>

#include "CommandTable.h"
#include "sonyname.h"

namespace {

double Ms(Micros d) { return static_cast<double>(d.count()) / 1000.0; }

std::string NameOf(const std::vector<uint8_t>& message) {
  if (const sony::CommandInfo* info = sony::FindCommand(message[0], message[1])) {
    return std::string(info->name);
  }
  return std::string("unknown ") + "0123456789ABCDEF"[sony::GroupOf(message[0])] + "x " +
         HexByte(message[1]);
}

}  // namespace

void EditorCensus::Received(std::span<const uint8_t> bytes, Micros at) {
  if (!start_) start_ = at;
  for (const Frame& frame : framer_.Push(bytes, at)) Count(frame);
}

void EditorCensus::Sent(std::span<const uint8_t> bytes, Micros at) {
  if (!start_) start_ = at;
  // A reply has gone out when its last byte has; stray bytes of the machine answer nothing.
  for (const Frame& frame : replies_.Push(bytes, at)) {
    if (frame.kind != FrameKind::Debris && !awaiting_.empty()) awaiting_.pop_front();
  }
}

void EditorCensus::Flush(Micros now) {
  for (const Frame& frame : framer_.Flush(now)) Count(frame);
}

void EditorCensus::Count(const Frame& frame) {
  switch (frame.kind) {
    case FrameKind::Debris:
      result_.debrisBytes += static_cast<int>(frame.bytes.size());
      return;
    case FrameKind::BadChecksum:
      ++result_.checksumErrors;
      return;
    case FrameKind::Message:
      break;
  }
  ++result_.messages;
  const std::string key = HexByte(frame.bytes[0]) + " " + HexByte(frame.bytes[1]);
  EditorCommandCount& entry = commands_[key];
  if (entry.count++ == 0) {
    entry.request = key;
    entry.name = NameOf(frame.bytes);
  }
  if (lastRequest_) result_.intervalsMs.push_back(Ms(frame.firstByte - *lastRequest_));
  lastRequest_ = frame.firstByte;
  while (!awaiting_.empty() && frame.firstByte - awaiting_.front() >= kGiveUp)
    awaiting_.pop_front();
  if (!awaiting_.empty()) ++result_.overlapped;
  awaiting_.push_back(frame.firstByte);
  // The line needs (n - 1) byte times between a message's first and last byte; more is a pause.
  const Micros onLine = kByteTime * static_cast<int64_t>(frame.bytes.size() - 1);
  const Micros beyond = frame.lastByte - frame.firstByte - onLine;
  if (beyond > kGapAllowance) {
    ++result_.gaps;
    result_.longestGapMs = std::max(result_.longestGapMs, Ms(beyond));
  }
}

EditorCensusResult EditorCensus::Result(Micros now) const {
  EditorCensusResult result = result_;
  result.seconds = start_ ? std::chrono::duration<double>(now - *start_).count() : 0.0;
  result.pollInterval = StatsOf(result.intervalsMs);
  for (const auto& [key, entry] : commands_) result.commands.push_back(entry);
  std::stable_sort(result.commands.begin(), result.commands.end(),
                   [](const auto& a, const auto& b) { return a.count > b.count; });
  return result;
}

std::vector<std::string> EditorCensusResult::Faults() const {
  std::vector<std::string> faults;
  // An editor that never spoke has shown nothing to judge.
  if (messages == 0 && debrisBytes == 0) faults.push_back("no message from the editor");
  const std::pair<int, const char*> counts[] = {
      {checksumErrors, " messages with a bad checksum"},
      {debrisBytes, " bytes that started no message"},
      {gaps, " messages with a pause inside"},
      {overlapped, " requests sent before the previous reply"},
  };
  for (const auto& [count, what] : counts) {
    if (count > 0) faults.push_back(std::to_string(count) + what);
  }
  return faults;
}
