#include "ReplayScript.h"

#include <algorithm>

#include "CaptureSide.h"
#include "CommandTable.h"
#include "DecodedMonitor.h"
#include "SonyCommands.h"

namespace {

// Whether byte `index` of a captured reply moves on its own.
bool MovesOnItsOwn(const std::vector<uint8_t>& reply, std::size_t index) {
  const sony::CommandInfo* info = sony::FindCommand(reply[0], reply[1]);
  if (index == reply.size() - 1) return true;  // the checksum follows the rest
  if (info == nullptr) return false;
  const bool timeFirst = info->layout == sony::DataLayout::TimeCode ||
                         info->layout == sony::DataLayout::TimeAndChanges;
  return timeFirst && index >= 2 && index < 2 + sony::kTimeBytes;
}

}  // namespace

std::vector<ReplayExchange> ReplayExchanges(const std::vector<CaptureRecord>& records,
                                            const std::string& from) {
  const bool anyA = std::any_of(records.begin(), records.end(),
                                [](const CaptureRecord& r) { return r.port == "A"; });
  const std::string port = CapturePort(records, from, anyA ? "A" : "B");
  const Direction requests = RequestsOf(port);
  std::vector<ReplayExchange> exchanges;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const CaptureRecord& r = records[i];
    if (r.port != port) continue;
    if (r.direction == requests) {
      exchanges.push_back({r.time, r.kind, r.bytes, std::nullopt, i});
    } else if (!exchanges.empty() && !exchanges.back().reply && r.kind != FrameKind::Debris) {
      exchanges.back().reply = r.bytes;
    }
  }
  return exchanges;
}

bool RepliesMatch(const std::optional<std::vector<uint8_t>>& captured,
                  const std::optional<std::vector<uint8_t>>& actual, bool exact) {
  if (!captured || !actual) return captured.has_value() == actual.has_value();
  if (exact || captured->size() != actual->size() || captured->size() < sony::kMinMessage) {
    return *captured == *actual;
  }
  for (std::size_t i = 0; i < captured->size(); ++i) {
    if ((*captured)[i] != (*actual)[i] && !MovesOnItsOwn(*captured, i)) return false;
  }
  return true;
}

std::string ReplyTimeSummary(std::vector<Micros> replyTimes) {
  if (replyTimes.empty()) return "no replies";
  std::sort(replyTimes.begin(), replyTimes.end());
  const auto at = [&](double p) {
    return replyTimes[static_cast<std::size_t>(p * static_cast<double>(replyTimes.size() - 1) +
                                               0.5)];
  };
  return "n " + std::to_string(replyTimes.size()) + "  min " +
         MillisecondsText(replyTimes.front()) + "  median " + MillisecondsText(at(0.5)) + "  p99 " +
         MillisecondsText(at(0.99)) + "  max " + MillisecondsText(replyTimes.back());
}
