// The HTML reports: one page with no outside assets, its plots inline SVG, laid out to print.
#include <cstdio>

#include "CensusReport.h"
#include "CensusReportSvg.h"

namespace {

std::string Escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Head(std::string_view title) {
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
         Escaped(title) +
         "</title>\n<style>\n"
         "body { font-family: sans-serif; color: #000; background: #fff; margin: 2em; "
         "max-width: 60em; }\n"
         "h1 { font-size: 1.6em; } h2 { font-size: 1.2em; margin-top: 1.5em; }\n"
         "table { border-collapse: collapse; margin: 0.5em 0; }\n"
         "th, td { border: 1px solid #888; padding: 0.2em 0.6em; text-align: left; "
         "font-size: 0.9em; }\n"
         "th { background: #eee; }\n"
         ".verdict { font-size: 1.3em; font-weight: bold; padding: 0.4em 0.8em; "
         "border: 2px solid; display: inline-block; }\n"
         ".ok { border-color: #1a7f1a; color: #1a5f1a; }\n"
         ".bad { border-color: #c00000; color: #a00000; }\n"
         "td.nak, td.none, td.fail { font-weight: bold; color: #a00000; }\n"
         "figure { margin: 1em 0; page-break-inside: avoid; }\n"
         "figcaption { font-size: 0.9em; color: #333; }\n"
         "@media print { body { margin: 0; } .verdict { border-width: 1px; } "
         "tr { page-break-inside: avoid; } }\n"
         "</style>\n</head>\n<body>\n";
}

std::string Row(std::initializer_list<std::string> cells, std::string_view tag = "td") {
  std::string out = "<tr>";
  for (const std::string& c : cells)
    out += "<" + std::string(tag) + ">" + c + "</" + std::string(tag) + ">";
  return out + "</tr>\n";
}

std::string StatsRow(std::string_view label, const ReplyStats& s) {
  return Row({std::string(label), MsText(s.median), MsText(s.p99), MsText(s.max),
              std::to_string(s.over9ms), std::to_string(s.count)});
}

std::string Figure(const std::string& svg, std::string_view caption) {
  return "<figure>\n" + svg + "<figcaption>" + Escaped(caption) + "</figcaption>\n</figure>\n";
}

}  // namespace

std::string CensusHtml(const CensusResult& result) {
  const std::vector<std::string> faults = result.Faults();
  std::string out = Head("Machine census: " + result.deviceName);
  out += "<h1>Machine census</h1>\n<p class=\"verdict " +
         std::string(faults.empty() ? "ok" : "bad") + "\">" +
         (faults.empty() ? "Conforms" : "Does not conform") + "</p>\n";
  if (!faults.empty()) {
    out += "<ul>\n";
    for (const std::string& f : faults) out += "<li>" + Escaped(f) + "</li>\n";
    out += "</ul>\n";
  }
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", result.pollSeconds);
  out += "<table>\n";
  out += Row({"Device type", Escaped(result.deviceType.empty() ? "none" : result.deviceType)});
  out += Row({"Device name", Escaped(result.deviceName)});
  out += Row({"Requests probed", std::to_string(result.commands.size())});
  out += Row({"Polling", std::to_string(result.polls) + " polls in " + seconds + " s"});
  out += Row({"Timeouts", std::to_string(result.timeouts)});
  out += Row({"Checksum errors", std::to_string(result.checksumErrors)});
  out += Row({"Stray bytes", std::to_string(result.strayBytes)});
  out += Row({"Transport checks", result.transportOn ? "on (the tape was moved)" : "off"});
  out += "</table>\n<h2>Reply times (ms)</h2>\n<table>\n";
  out += Row({"", "median", "p99", "max", "over 9 ms", "replies"}, "th");
  out += StatsRow("first byte", result.FirstByteStats());
  out += StatsRow("whole reply", result.WholeReplyStats());
  out += "</table>\n";
  std::vector<double> firsts;
  std::vector<std::pair<double, double>> timeLine;
  std::vector<std::pair<double, std::string>> sections;
  static const char* const kPhaseNames[] = {"probe", "polling", "transport"};
  for (std::size_t i = 0; i < result.replies.size(); ++i) {
    const ReplySample& s = result.replies[i];
    firsts.push_back(s.firstMs);
    timeLine.emplace_back(s.atS, s.firstMs);
    if (i == 0 || s.phase != result.replies[i - 1].phase)
      sections.emplace_back(s.atS, kPhaseNames[static_cast<int>(s.phase)]);
  }
  out += Figure(SvgHistogram(firsts, "reply time to the first byte (ms)", "replies", kLateReplyMs,
                             "9 ms limit"),
                "How many replies started after each time; the dashed line is the 9 ms limit.");
  out += Figure(SvgTimeLine(timeLine, "first byte (ms)", kLateReplyMs, "9 ms limit", sections),
                "Each reply's time over the run, by phase; the dashed line is the 9 ms limit.");
  if (result.transportOn) {
    out += "<h2>Transport</h2>\n<table>\n" + Row({"Check", "Result", "Seen"}, "th");
    for (const TransportCheck& c : result.transport) {
      out += "<tr><td>" + Escaped(c.name) + "</td><td" + (c.passed ? "" : " class=\"fail\"") + ">" +
             (c.passed ? "pass" : "FAIL") + "</td><td>" + Escaped(c.detail) + "</td></tr>\n";
    }
    out += "</table>\n";
  }
  out += "<h2>Commands</h2>\n<table>\n" +
         Row({"Request", "Name", "Reply", "NAK bits", "Reply ms", "Reply text"}, "th");
  for (const ProbeEntry& e : result.commands) {
    char bits[8];
    std::snprintf(bits, sizeof bits, "%02X", e.nakBits);
    const std::string kind(ReplyKindName(e.reply));
    out += "<tr><td>" + e.request + "</td><td>" + Escaped(e.name) + "</td><td class=\"" + kind +
           "\">" + kind + "</td><td>" + (e.reply == ReplyKind::Nak ? bits : "") + "</td><td>" +
           (e.replyMs ? MsText(*e.replyMs) : "") + "</td><td>" + Escaped(e.replyText) +
           "</td></tr>\n";
  }
  return out + "</table>\n</body>\n</html>\n";
}

std::string EditorCensusHtml(const EditorCensusResult& result) {
  std::string out = Head("Editor census");
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", result.seconds);
  out += "<h1>Editor census</h1>\n<table>\n";
  out += Row({"Messages", std::to_string(result.messages) + " in " + seconds + " s"});
  out += Row({"Requests before the previous reply", std::to_string(result.overlapped)});
  out += Row({"Checksum errors", std::to_string(result.checksumErrors)});
  out += Row({"Bytes that started no message", std::to_string(result.debrisBytes)});
  out += Row({"Gaps inside messages",
              std::to_string(result.gaps) + " (longest " + MsText(result.longestGapMs) + " ms)"});
  const ReplyStats& p = result.pollInterval;
  out += Row({"Poll interval", MsText(p.median) + " ms median, " + MsText(p.p99) + " ms p99, " +
                                   MsText(p.max) + " ms max"});
  out += "</table>\n";
  std::vector<std::pair<double, double>> timeLine;
  double at = 0;
  for (double interval : result.intervalsMs) {
    at += interval / 1000.0;
    timeLine.emplace_back(at, interval);
  }
  out +=
      Figure(SvgHistogram(result.intervalsMs, "interval between requests (ms)", "requests",
                          p.median, "median"),
             "How often each interval between two requests came; the dashed line is the median.");
  out += Figure(SvgTimeLine(timeLine, "interval (ms)", p.median, "median"),
                "Each interval over the run; the dashed line is the median.");
  out += "<h2>Commands</h2>\n<table>\n" + Row({"Request", "Name", "Count"}, "th");
  for (const EditorCommandCount& c : result.commands)
    out += Row({c.request, Escaped(c.name), std::to_string(c.count)});
  return out + "</table>\n</body>\n</html>\n";
}
