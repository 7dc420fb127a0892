// Learning a machine personality from a capture: what a machine did on the line, as a
// personality file that makes the virtual machine do the same.
//
// The machine's side is port B (its rx lines are the machine's replies) when the capture has
// port B replies, a controller's or a bridge's capture; else port A (its tx lines), a virtual
// machine's own capture. From it come the device type and standard (matched against the "Mcn"
// entries, else the two bytes themselves), the status seen before the first transport command
// (as the starting status), a status length shorter than asked, the reply delay (median) and
// jitter (spread from the 10th to the 90th percentile), the commands it NAKed with their bits, a
// NAKed bad checksum, and the commands it never answered. Comments give the figures.
#pragma once

#include <string>
#include <vector>

#include "CaptureFile.h"
#include "Personality.h"

struct LearnedPersonality {
  Personality personality;
  std::vector<std::string> comments;  // the figures behind it, for the file's head
};

// `name` becomes the personality's name; `from` names the port or rack machine to learn from
// (CaptureSide.h), empty for the usual one. Throws CaptureError for a `from` the capture lacks.
LearnedPersonality LearnPersonality(const std::vector<CaptureRecord>& records,
                                    const std::string& name, const std::string& from = {});

// `selkietest --learn CAPTURE -o FILE [--from NAME]`: reads, learns, writes; messages go to
// `err`. Returns the exit status: 0 written, 2 a capture that cannot be read, holds no exchange
// or lacks `from` (or holds several rack machines and no `from`), or a file that cannot be
// written.
int RunLearn(const std::string& capturePath, const std::string& outputPath, const std::string& from,
             std::ostream& err);
