// Which traffic of a capture is one machine's link with its editor. On port A and on a rack's
// machine this program was the machine, so its rx lines are the requests; on port B it was the
// editor, so its tx lines are.
#pragma once

#include <string>
#include <vector>

#include "CaptureFile.h"

inline Direction RequestsOf(const std::string& port) {
  return port == "B" ? Direction::Tx : Direction::Rx;
}

// The ports and machines of `records`, in the order they first appear.
std::vector<std::string> CapturePorts(const std::vector<CaptureRecord>& records);

// The port of `records` to take: `from` when given; else `usual` when the capture holds port A
// or B traffic; else its one rack machine. Throws CaptureError naming the ports there are when
// `from` is not among them, or when a capture of several rack machines leaves the choice open.
std::string CapturePort(const std::vector<CaptureRecord>& records, const std::string& from,
                        const std::string& usual);
