// What a replay plays and how it judges the answers, without any port: the exchanges of a
// capture (the editor's requests, each with the reply captured for it), the comparison of a reply
// with the captured one, and the reply-time figures. ReplayRunner (host/) does the talking.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "CaptureFile.h"

struct ReplayExchange {
  Micros at{0};                                // when the request was captured
  FrameKind requestKind = FrameKind::Message;  // broken requests are played too
  std::vector<uint8_t> request;
  std::optional<std::vector<uint8_t>> reply;  // nothing when none came before the next request
  std::size_t record = 0;                     // the request's index among the capture's records
};

// The exchanges of a capture. The editor's side is port A's rx lines, or port B's tx lines when
// the capture holds no port A line (a controller's capture), or the rx lines of the rack machine
// `from` names (CaptureSide.h); a reply is the first message the other way before the next
// request. Debris the other way is not a reply. Throws CaptureError when `from` is no port of the
// capture, or is needed and not given.
std::vector<ReplayExchange> ReplayExchanges(const std::vector<CaptureRecord>& records,
                                            const std::string& from = {});

// Whether `actual` answers like `captured`. Exact: the same bytes. Otherwise by form: the same
// command and length and the same bytes except those that move on their own (the time code of
// time data, the checksum that follows from it).
bool RepliesMatch(const std::optional<std::vector<uint8_t>>& captured,
                  const std::optional<std::vector<uint8_t>>& actual, bool exact);

// "n 38  min 0.210 ms  median 0.350 ms  p99 1.020 ms  max 1.100 ms", or "no replies".
std::string ReplyTimeSummary(std::vector<Micros> replyTimes);
