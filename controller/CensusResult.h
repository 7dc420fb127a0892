// What a census of a machine found: its identity, its answer to each request it was asked, the
// reply times of the whole run and what went wrong on the line. Written by Census, read by the
// report writers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class ReplyKind : uint8_t { Data, Ack, Nak, None };

// "data", "ack", "nak", "none": the words of the reports.
std::string_view ReplyKindName(ReplyKind kind);

// The machine must start its reply within this time of the request.
constexpr double kLateReplyMs = 9.0;

// One request of the probe and what came back.
struct ProbeEntry {
  std::string request;  // the bytes sent, checksum left out: "61 20 05"
  std::string name;     // decoded: "STATUS SENSE S0-S4"
  ReplyKind reply = ReplyKind::None;
  uint8_t nakBits = 0;
  std::optional<double> replyMs;  // to the first byte of the reply
  std::string replyText;          // decoded reply, empty when none came
};

enum class CensusPhase : uint8_t { Probe, Poll, Transport };

// One answered request, for the plots: when it was sent (from the start of the run) and how long
// the first byte and the whole reply took.
struct ReplySample {
  CensusPhase phase = CensusPhase::Poll;
  double atS = 0;
  double firstMs = 0;
  double wholeMs = 0;
};

struct ReplyStats {
  double median = 0;
  double p99 = 0;
  double max = 0;
  int over9ms = 0;
  int count = 0;
};

// Median, 99th percentile (nearest rank), maximum and the count above kLateReplyMs.
ReplyStats StatsOf(std::vector<double> values);

// One check of the machine's transport.
struct TransportCheck {
  std::string name;  // "play", "stop", "fast forward", "rewind", "jog", "cue"
  bool passed = false;
  std::string detail;  // what was seen: "x1.00 forward", "landed on 00:00:10:00"
};

struct CensusResult {
  std::string deviceType;  // data bytes of the device-type reply: "F1 1D"; empty if none
  std::string deviceName;  // "BVW-75 PAL"
  std::vector<ProbeEntry> commands;
  std::vector<ReplySample> replies;  // every answered request of the run, in order
  double pollSeconds = 0;
  int polls = 0;
  int timeouts = 0;        // poll and transport requests that got no reply in time
  int checksumErrors = 0;  // replies of the right length with a wrong checksum
  int strayBytes = 0;      // bytes that started no reply
  int unasked = 0;         // whole replies that came when none was awaited
  bool transportOn = false;
  std::vector<TransportCheck> transport;

  ReplyStats FirstByteStats() const;
  ReplyStats WholeReplyStats() const;
  // Why the machine does not conform, one line each; empty when it does.
  std::vector<std::string> Faults() const;
  bool Conforms() const { return Faults().empty(); }
};
