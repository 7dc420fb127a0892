// The Markdown reports: the verdict, the figures and the tables, for a job's notes.
#include <cstdio>

#include "CensusReport.h"

namespace {

// Table cells may not hold "|".
std::string Cell(std::string text) {
  for (std::size_t at = text.find('|'); at != std::string::npos; at = text.find('|', at + 2))
    text.replace(at, 1, "\\|");
  return text;
}

std::string StatsRow(std::string_view label, const ReplyStats& s) {
  return "| " + std::string(label) + " | " + MsText(s.median) + " | " + MsText(s.p99) + " | " +
         MsText(s.max) + " | " + std::to_string(s.over9ms) + " |\n";
}

}  // namespace

std::string CensusMarkdown(const CensusResult& result) {
  const std::vector<std::string> faults = result.Faults();
  std::string out = "# Machine census\n\n";
  out += "**Verdict: " + std::string(faults.empty() ? "conforms" : "does not conform") + "**\n\n";
  for (const std::string& f : faults) out += "- " + f + "\n";
  if (!faults.empty()) out += "\n";
  out +=
      "| Device type | Device name | Polls | Poll seconds | Timeouts | Checksum errors | "
      "Stray bytes | Transport checks |\n|---|---|---|---|---|---|---|---|\n";
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", result.pollSeconds);
  out += "| " + Cell(result.deviceType) + " | " + Cell(result.deviceName) + " | " +
         std::to_string(result.polls) + " | " + seconds + " | " + std::to_string(result.timeouts) +
         " | " + std::to_string(result.checksumErrors) + " | " + std::to_string(result.strayBytes) +
         " | " + (result.transportOn ? "on" : "off") + " |\n\n";
  out += "## Reply times (ms)\n\n| | median | p99 | max | over 9 ms |\n|---|---|---|---|---|\n";
  out += StatsRow("first byte", result.FirstByteStats());
  out += StatsRow("whole reply", result.WholeReplyStats());
  if (result.transportOn) {
    out += "\n## Transport\n\n| Check | Result | Seen |\n|---|---|---|\n";
    for (const TransportCheck& c : result.transport)
      out += "| " + c.name + " | " + (c.passed ? "pass" : "FAIL") + " | " + Cell(c.detail) + " |\n";
  }
  out +=
      "\n## Commands\n\n| Request | Name | Reply | NAK bits | Reply ms | Reply text |\n"
      "|---|---|---|---|---|---|\n";
  for (const ProbeEntry& e : result.commands) {
    char bits[8];
    std::snprintf(bits, sizeof bits, "%02X", e.nakBits);
    out += "| " + e.request + " | " + Cell(e.name) + " | " + std::string(ReplyKindName(e.reply)) +
           " | " + (e.reply == ReplyKind::Nak ? bits : "") + " | " +
           (e.replyMs ? MsText(*e.replyMs) : "") + " | " + Cell(e.replyText) + " |\n";
  }
  return out;
}

std::string EditorCensusMarkdown(const EditorCensusResult& result) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", result.seconds);
  std::string out = "# Editor census\n\n";
  out +=
      "| Seconds | Messages | Overlapped requests | Checksum errors | Stray bytes | Gaps | "
      "Longest gap ms |\n|---|---|---|---|---|---|---|\n";
  out += "| " + std::string(seconds) + " | " + std::to_string(result.messages) + " | " +
         std::to_string(result.overlapped) + " | " + std::to_string(result.checksumErrors) + " | " +
         std::to_string(result.debrisBytes) + " | " + std::to_string(result.gaps) + " | " +
         MsText(result.longestGapMs) + " |\n\n";
  const ReplyStats& p = result.pollInterval;
  out += "## Poll interval (ms)\n\n| median | p99 | max |\n|---|---|---|\n| " + MsText(p.median) +
         " | " + MsText(p.p99) + " | " + MsText(p.max) + " |\n\n";
  out += "## Commands\n\n| Request | Name | Count |\n|---|---|---|\n";
  for (const EditorCommandCount& c : result.commands)
    out += "| " + c.request + " | " + Cell(c.name) + " | " + std::to_string(c.count) + " |\n";
  return out;
}
