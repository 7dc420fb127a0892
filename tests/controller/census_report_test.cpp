// The census reports: JSON keys exactly as documented and values as found, the HTML page
// self-contained with its two plots, the Markdown tables, the verdict and the choice of format.
#include <gtest/gtest.h>

#include <algorithm>

#include "CensusReport.h"
#include "MiniJson.h"
#include "ScriptedMachine.h"

namespace {

using namespace std::chrono_literals;
using Keys = std::vector<std::string>;

CensusResult NakingMachineCensus() {
  ScriptedMachine machine("[timing]\nreply_delay_ms = 1\n[commands]\nnak = [\"60 10 = 01\"]\n");
  Census::Settings settings;
  settings.pollFor = 1s;
  settings.transport = true;
  Census census(settings);
  machine.Run(census);
  return census.Result();
}

EditorCensusResult ScriptedEditorCensus() {
  EditorCensus census;
  for (int i = 0; i < 5; ++i) census.Received(Framed({0x61, 0x0C, 0x01}), Micros{i * 40000});
  census.Received(Bytes{0x20, 0x01, 0x21, 0xFF}, Micros{200000});  // PLAY and a stray byte
  census.Flush(Micros{1000000});
  return census.Result(Micros{1000000});
}

TEST(CensusReport, MachineJsonHasExactlyTheDocumentedKeysAndTheValuesFound) {
  const CensusResult result = NakingMachineCensus();
  const JsonValue json = MiniJson::Parse(CensusJson(result));
  EXPECT_EQ(json.keyOrder,
            (Keys{"kind", "conforms", "device_type", "device_name", "commands", "reply_ms",
                  "whole_reply_ms", "poll_seconds", "polls", "timeouts", "checksum_errors",
                  "stray_bytes", "unasked_replies", "transport", "faults"}));
  EXPECT_EQ(json["kind"].text, "machine");
  EXPECT_TRUE(json["conforms"].boolean);
  EXPECT_EQ(json["device_type"].text, "F1 1D");
  EXPECT_EQ(json["device_name"].text, "DA-88 PAL");
  const auto& commands = json["commands"].items;
  ASSERT_EQ(commands.size(), result.commands.size());
  int naks = 0;
  for (const JsonValue& c : commands) {
    EXPECT_EQ(c.keyOrder, (Keys{"request", "name", "reply", "nak_bits", "reply_ms", "reply_text"}));
    EXPECT_EQ(c["reply_ms"].number, 1.0);
    if (c["reply"].text == "nak") {
      ++naks;
      EXPECT_EQ(c["request"].text, "60 10");
      EXPECT_EQ(c["nak_bits"].number, 1);
      EXPECT_EQ(c["reply_text"].text, "NAK UNKNOWN-COMMAND");
    }
  }
  EXPECT_EQ(naks, 1);
  for (const char* stats : {"reply_ms", "whole_reply_ms"}) {
    EXPECT_EQ(json[stats].keyOrder, (Keys{"median", "p99", "max", "over_9ms", "count"}));
    EXPECT_EQ(json[stats]["median"].number, 1.0);
    EXPECT_EQ(json[stats]["over_9ms"].number, 0);
  }
  EXPECT_EQ(json["polls"].number, result.polls);
  EXPECT_EQ(json["poll_seconds"].number, 1.0);
  EXPECT_EQ(json["timeouts"].number, 0);
  EXPECT_TRUE(json["transport"]["on"].boolean);
  ASSERT_EQ(json["transport"]["checks"].items.size(), 6u);
  EXPECT_EQ(json["transport"]["checks"].items[0].keyOrder, (Keys{"name", "passed", "detail"}));
  EXPECT_TRUE(json["faults"].items.empty());
}

TEST(CensusReport, JsonEscapesWhatTheMachineSaid) {
  CensusResult result;
  result.deviceName = "odd \"name\"\\\n\x01";
  result.commands.push_back({"61 0C 01", "CURRENT TIME SENSE", ReplyKind::None, 0, {}, ""});
  const JsonValue json = MiniJson::Parse(CensusJson(result));
  EXPECT_EQ(json["device_name"].text, result.deviceName);
  EXPECT_EQ(json["commands"].items[0]["reply_ms"].type, JsonValue::Type::Null);
  EXPECT_FALSE(json["conforms"].boolean);
  EXPECT_EQ(json["faults"].items.size(), 2u);  // no device type, no reply
}

TEST(CensusReport, EditorJsonHasExactlyTheDocumentedKeys) {
  const JsonValue json = MiniJson::Parse(EditorCensusJson(ScriptedEditorCensus()));
  EXPECT_EQ(json.keyOrder, (Keys{"kind", "conforms", "seconds", "messages", "commands",
                                 "poll_interval_ms", "overlapped_requests", "checksum_errors",
                                 "debris_bytes", "gaps", "longest_gap_ms", "faults"}));
  // Nothing answered this editor, so each request after the first went before a reply.
  EXPECT_FALSE(json["conforms"].boolean);
  EXPECT_EQ(json["faults"].items.size(), 2u);
  EXPECT_EQ(json["faults"].items[0].text, "1 bytes that started no message");
  EXPECT_EQ(json["kind"].text, "editor");
  EXPECT_EQ(json["messages"].number, 6);
  EXPECT_EQ(json["debris_bytes"].number, 1);
  EXPECT_EQ(json["commands"].items[0].keyOrder, (Keys{"request", "name", "count"}));
  EXPECT_EQ(json["commands"].items[0]["count"].number, 5);
  EXPECT_EQ(json["poll_interval_ms"].keyOrder, (Keys{"median", "p99", "max", "count"}));
  EXPECT_EQ(json["poll_interval_ms"]["median"].number, 40.0);
}

TEST(CensusReport, HtmlIsOnePageWithTwoPlotsAndNoOutsideAssets) {
  for (const std::string& html :
       {CensusHtml(NakingMachineCensus()), EditorCensusHtml(ScriptedEditorCensus())}) {
    EXPECT_TRUE(html.starts_with("<!DOCTYPE html>"));
    EXPECT_TRUE(html.ends_with("</html>\n"));
    std::size_t svgs = 0;
    for (std::size_t at = html.find("<svg"); at != std::string::npos;
         at = html.find("<svg", at + 1))
      ++svgs;
    EXPECT_EQ(svgs, 2u);
    for (const char* outside : {"<script", "<link", "src=", "url(", "https:"})
      EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    // The one http: is the SVG namespace, which is a name, not a fetch.
    std::string rest = html;
    for (std::size_t at;
         (at = rest.find("xmlns=\"http://www.w3.org/2000/svg\"")) != std::string::npos;)
      rest.erase(at, 34);
    EXPECT_EQ(rest.find("http:"), std::string::npos);
  }
  const std::string html = CensusHtml(NakingMachineCensus());
  EXPECT_NE(html.find("Conforms"), std::string::npos);
  EXPECT_NE(html.find("9 ms limit"), std::string::npos);
  EXPECT_NE(html.find("on (the tape was moved)"), std::string::npos);
}

TEST(CensusReport, MarkdownHasOneRowPerCommandAndTheVerdict) {
  const CensusResult result = NakingMachineCensus();
  const std::string md = CensusMarkdown(result);
  EXPECT_TRUE(md.starts_with("# Machine census\n\n**Verdict: conforms**"));
  std::size_t rows = 0;
  for (const ProbeEntry& e : result.commands)
    rows += md.find("| " + e.request + " | ") != std::string::npos;
  EXPECT_EQ(rows, result.commands.size());
  EXPECT_NE(md.find("| 60 10 | IN DATA SENSE | nak | 01 | 1.000 | NAK UNKNOWN-COMMAND |"),
            std::string::npos);
}

TEST(CensusReport, VerdictLeadsTheSummary) {
  const std::string verdict = CensusVerdict(NakingMachineCensus());
  EXPECT_TRUE(verdict.starts_with("census: DA-88 PAL (F1 1D): conforms\n")) << verdict;
  CensusResult silent;
  silent.commands.push_back({"00 11", "DEVICE TYPE REQUEST", ReplyKind::None, 0, {}, ""});
  const std::string bad = CensusVerdict(silent);
  EXPECT_TRUE(bad.starts_with("census: no device type: does not conform\n")) << bad;
  EXPECT_NE(bad.find("  fault: no reply to 00 11 (DEVICE TYPE REQUEST)\n"), std::string::npos);
}

TEST(CensusReport, FormatFollowsTheExtension) {
  const std::pair<const char*, std::optional<ReportFormat>> cases[] = {
      {"r.json", ReportFormat::Json},
      {"/tmp/R.JSON", ReportFormat::Json},
      {"notes.md", ReportFormat::Markdown},
      {"r.html", ReportFormat::Html},
      {"r.htm", ReportFormat::Html},
      {"r.txt", std::nullopt},
      {"report", std::nullopt},
      {"dir.json/report", std::nullopt},
  };
  for (const auto& [path, format] : cases) EXPECT_EQ(ReportFormatOf(path), format) << path;
}

}  // namespace
