// The JSON reports; keys as documented in CensusReport.h.
#include <cstdio>

#include "CensusReport.h"

namespace {

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string QuotedList(const std::vector<std::string>& list) {
  std::string out = "[";
  for (std::size_t i = 0; i < list.size(); ++i) out += (i == 0 ? "" : ", ") + Quoted(list[i]);
  return out + "]";
}

std::string Bool(bool value) { return value ? "true" : "false"; }

std::string Stats(const ReplyStats& s, bool late) {
  std::string out = "{\"median\": " + MsText(s.median) + ", \"p99\": " + MsText(s.p99) +
                    ", \"max\": " + MsText(s.max);
  if (late) out += ", \"over_9ms\": " + std::to_string(s.over9ms);
  return out + ", \"count\": " + std::to_string(s.count) + "}";
}

std::string Field(std::string_view key, const std::string& value, bool last = false) {
  return "  " + Quoted(key) + ": " + value + (last ? "\n" : ",\n");
}

}  // namespace

std::string CensusJson(const CensusResult& result) {
  std::string out = "{\n";
  out += Field("kind", Quoted("machine"));
  out += Field("conforms", Bool(result.Conforms()));
  out += Field("device_type", Quoted(result.deviceType));
  out += Field("device_name", Quoted(result.deviceName));
  std::string commands = "[";
  for (std::size_t i = 0; i < result.commands.size(); ++i) {
    const ProbeEntry& e = result.commands[i];
    commands += std::string(i == 0 ? "\n" : ",\n") + "    {\"request\": " + Quoted(e.request) +
                ", \"name\": " + Quoted(e.name) + ", \"reply\": " + Quoted(ReplyKindName(e.reply)) +
                ", \"nak_bits\": " + std::to_string(e.nakBits) +
                ", \"reply_ms\": " + (e.replyMs ? MsText(*e.replyMs) : "null") +
                ", \"reply_text\": " + Quoted(e.replyText) + "}";
  }
  out += Field("commands", commands + (result.commands.empty() ? "]" : "\n  ]"));
  out += Field("reply_ms", Stats(result.FirstByteStats(), true));
  out += Field("whole_reply_ms", Stats(result.WholeReplyStats(), true));
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", result.pollSeconds);
  out += Field("poll_seconds", seconds);
  out += Field("polls", std::to_string(result.polls));
  out += Field("timeouts", std::to_string(result.timeouts));
  out += Field("checksum_errors", std::to_string(result.checksumErrors));
  out += Field("stray_bytes", std::to_string(result.strayBytes));
  out += Field("unasked_replies", std::to_string(result.unasked));
  std::string checks = "[";
  for (std::size_t i = 0; i < result.transport.size(); ++i) {
    const TransportCheck& c = result.transport[i];
    checks += std::string(i == 0 ? "" : ", ") + "{\"name\": " + Quoted(c.name) +
              ", \"passed\": " + Bool(c.passed) + ", \"detail\": " + Quoted(c.detail) + "}";
  }
  out +=
      Field("transport", "{\"on\": " + Bool(result.transportOn) + ", \"checks\": " + checks + "]}");
  out += Field("faults", QuotedList(result.Faults()), true);
  return out + "}\n";
}

std::string EditorCensusJson(const EditorCensusResult& result) {
  std::string out = "{\n";
  out += Field("kind", Quoted("editor"));
  const std::vector<std::string> faults = result.Faults();
  out += Field("conforms", Bool(faults.empty()));
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", result.seconds);
  out += Field("seconds", seconds);
  out += Field("messages", std::to_string(result.messages));
  std::string commands = "[";
  for (std::size_t i = 0; i < result.commands.size(); ++i) {
    const EditorCommandCount& c = result.commands[i];
    commands += std::string(i == 0 ? "\n" : ",\n") + "    {\"request\": " + Quoted(c.request) +
                ", \"name\": " + Quoted(c.name) + ", \"count\": " + std::to_string(c.count) + "}";
  }
  out += Field("commands", commands + (result.commands.empty() ? "]" : "\n  ]"));
  out += Field("poll_interval_ms", Stats(result.pollInterval, false));
  out += Field("overlapped_requests", std::to_string(result.overlapped));
  out += Field("checksum_errors", std::to_string(result.checksumErrors));
  out += Field("debris_bytes", std::to_string(result.debrisBytes));
  out += Field("gaps", std::to_string(result.gaps));
  out += Field("longest_gap_ms", MsText(result.longestGapMs));
  out += Field("faults", QuotedList(faults), true);
  return out + "}\n";
}
