#include "CensusResult.h"

#include <algorithm>
#include <cmath>

#include "SonyCommands.h"

std::string_view ReplyKindName(ReplyKind kind) {
  switch (kind) {
    case ReplyKind::Data:
      return "data";
    case ReplyKind::Ack:
      return "ack";
    case ReplyKind::Nak:
      return "nak";
    case ReplyKind::None:
      break;
  }
  return "none";
}

ReplyStats StatsOf(std::vector<double> values) {
  ReplyStats stats;
  stats.count = static_cast<int>(values.size());
  if (values.empty()) return stats;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  stats.median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  // Nearest rank: the smallest value with at least 99 % of the values at or below it.
  const auto rank = static_cast<std::size_t>(std::ceil(0.99 * static_cast<double>(n)));
  stats.p99 = values[std::max<std::size_t>(rank, 1) - 1];
  stats.max = values.back();
  stats.over9ms = static_cast<int>(
      std::count_if(values.begin(), values.end(), [](double v) { return v > kLateReplyMs; }));
  return stats;
}

ReplyStats CensusResult::FirstByteStats() const {
  std::vector<double> values;
  for (const ReplySample& s : replies) values.push_back(s.firstMs);
  return StatsOf(std::move(values));
}

ReplyStats CensusResult::WholeReplyStats() const {
  std::vector<double> values;
  for (const ReplySample& s : replies) values.push_back(s.wholeMs);
  return StatsOf(std::move(values));
}

std::vector<std::string> CensusResult::Faults() const {
  std::vector<std::string> faults;
  if (deviceType.empty()) faults.push_back("no device type reply");
  for (const ProbeEntry& entry : commands) {
    // A NAK for an unknown command is an honest "not mine"; any other NAK is a fault.
    if (entry.reply == ReplyKind::None) {
      faults.push_back("no reply to " + entry.request + " (" + entry.name + ")");
    } else if (entry.reply == ReplyKind::Nak && (entry.nakBits & ~sony::kNakUnknownCommand) != 0) {
      faults.push_back(entry.name + " answered " + entry.replyText);
    }
  }
  if (timeouts > 0) faults.push_back(std::to_string(timeouts) + " requests timed out");
  if (checksumErrors > 0)
    faults.push_back(std::to_string(checksumErrors) + " replies with a bad checksum");
  if (strayBytes > 0) faults.push_back(std::to_string(strayBytes) + " bytes that started no reply");
  const ReplyStats first = FirstByteStats();
  if (first.over9ms > 0)
    faults.push_back(std::to_string(first.over9ms) + " replies started later than 9 ms");
  for (const TransportCheck& check : transport) {
    if (!check.passed) faults.push_back("transport " + check.name + ": " + check.detail);
  }
  return faults;
}
