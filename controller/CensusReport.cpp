#include "CensusReport.h"

#include <cstdio>

std::optional<ReportFormat> ReportFormatOf(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) {
    return std::nullopt;
  }
  std::string extension(path.substr(dot + 1));
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (extension == "json") return ReportFormat::Json;
  if (extension == "md") return ReportFormat::Markdown;
  if (extension == "html" || extension == "htm") return ReportFormat::Html;
  return std::nullopt;
}

std::string CensusReport(const CensusResult& result, ReportFormat format) {
  switch (format) {
    case ReportFormat::Json:
      return CensusJson(result);
    case ReportFormat::Markdown:
      return CensusMarkdown(result);
    case ReportFormat::Html:
      break;
  }
  return CensusHtml(result);
}

std::string EditorCensusReport(const EditorCensusResult& result, ReportFormat format) {
  switch (format) {
    case ReportFormat::Json:
      return EditorCensusJson(result);
    case ReportFormat::Markdown:
      return EditorCensusMarkdown(result);
    case ReportFormat::Html:
      break;
  }
  return EditorCensusHtml(result);
}

std::string MsText(double ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", ms);
  return text;
}

namespace {

std::string StatsLine(const ReplyStats& s) {
  return MsText(s.median) + " ms median, " + MsText(s.p99) + " ms p99, " + MsText(s.max) +
         " ms max, " + std::to_string(s.over9ms) + " over 9 ms";
}

}  // namespace

std::string CensusVerdict(const CensusResult& result) {
  const std::vector<std::string> faults = result.Faults();
  std::string out =
      "census: " +
      (result.deviceType.empty() ? std::string("no device type")
                                 : result.deviceName + " (" + result.deviceType + ")") +
      ": " + (faults.empty() ? "conforms" : "does not conform") + "\n";
  int kinds[4] = {0, 0, 0, 0};
  for (const ProbeEntry& e : result.commands) ++kinds[static_cast<int>(e.reply)];
  out += "  probed " + std::to_string(result.commands.size()) +
         " requests: " + std::to_string(kinds[0]) + " data, " + std::to_string(kinds[1]) +
         " ack, " + std::to_string(kinds[2]) + " nak, " + std::to_string(kinds[3]) + " none\n";
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", result.pollSeconds);
  out += "  polled " + std::string(seconds) + " s: " + std::to_string(result.polls) + " polls, " +
         std::to_string(result.timeouts) + " timeouts, " + std::to_string(result.checksumErrors) +
         " checksum errors\n";
  out += "  reply time: " + StatsLine(result.FirstByteStats()) + "\n";
  if (result.transportOn) {
    out += "  transport:";
    for (const TransportCheck& c : result.transport)
      out += " " + c.name + (c.passed ? " ok" : " FAILED") + ";";
    out += "\n";
  }
  for (const std::string& fault : faults) out += "  fault: " + fault + "\n";
  return out;
}

std::string EditorCensusSummary(const EditorCensusResult& result) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", result.seconds);
  std::string out =
      "editor census: " + std::to_string(result.messages) + " messages in " + seconds + " s\n";
  for (const EditorCommandCount& c : result.commands)
    out += "  " + std::to_string(c.count) + " x " + c.request + " " + c.name + "\n";
  const ReplyStats& p = result.pollInterval;
  out += "  poll interval: " + MsText(p.median) + " ms median, " + MsText(p.p99) + " ms p99, " +
         MsText(p.max) + " ms max\n";
  out += "  " + std::to_string(result.overlapped) + " requests before the previous reply, " +
         std::to_string(result.checksumErrors) + " checksum errors, " +
         std::to_string(result.debrisBytes) + " stray bytes, " + std::to_string(result.gaps) +
         " gaps inside messages\n";
  const std::vector<std::string> faults = result.Faults();
  if (faults.empty()) return out + "  the editor behaved\n";
  for (const std::string& fault : faults) out += "  fault: " + fault + "\n";
  return out;
}
