// Reports of a census, as text: JSON, Markdown or a self-contained HTML page (chosen by the
// report file's extension), and the short verdict printed when no report is asked for.
//
// JSON keys of a machine census (stable; "kind" is "machine"):
//   conforms (bool), device_type ("F1 1D", "" if none came), device_name,
//   commands [{request, name, reply ("data"|"ack"|"nak"|"none"), nak_bits, reply_ms (or null),
//              reply_text}],
//   reply_ms {median, p99, max, over_9ms, count} (to the first byte of every reply),
//   whole_reply_ms {median, p99, max, over_9ms, count} (to the last byte),
//   poll_seconds, polls, timeouts, checksum_errors, stray_bytes, unasked_replies,
//   transport {on (bool), checks [{name, passed, detail}]}, faults [text].
// JSON keys of an editor census ("kind" is "editor"):
//   conforms (bool), seconds, messages, commands [{request, name, count}],
//   poll_interval_ms {median, p99, max, count}, overlapped_requests, checksum_errors,
//   debris_bytes, gaps, longest_gap_ms, faults [text].
// Times are in milliseconds with three decimals.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "CensusResult.h"
#include "EditorCensus.h"

enum class ReportFormat { Json, Markdown, Html };

// The format of a report file by its extension (.json, .md, .html or .htm), or none.
std::optional<ReportFormat> ReportFormatOf(std::string_view path);

std::string CensusReport(const CensusResult& result, ReportFormat format);
std::string EditorCensusReport(const EditorCensusResult& result, ReportFormat format);

std::string CensusJson(const CensusResult& result);
std::string CensusMarkdown(const CensusResult& result);
std::string CensusHtml(const CensusResult& result);
std::string EditorCensusJson(const EditorCensusResult& result);
std::string EditorCensusMarkdown(const EditorCensusResult& result);
std::string EditorCensusHtml(const EditorCensusResult& result);

// A few lines for standard output: the verdict first.
std::string CensusVerdict(const CensusResult& result);
std::string EditorCensusSummary(const EditorCensusResult& result);

// A number of milliseconds with three decimals: "1.250".
std::string MsText(double ms);
