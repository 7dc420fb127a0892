// `selkietest --probe-ports`: a DEVICE TYPE REQUEST on every port that exists and is free (the
// fixed COM ranges, the cable ends and every SELKIE_COM<n> mapping), and which answer with
// which device. A mapped pty: target whose link exists is another program's pseudo-terminal:
// it is opened at the link. Ports that are missing are left out; ports in use are listed so.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "MessageFramer.h"

struct PortAnswer {
  enum class State { Answered, Silent, InUse, Unusable };
  int number = 0;
  std::string label;  // "COM252 (virtual cable end B)", "COM77 (/tmp/vm)"
  State state = State::Silent;
  std::string deviceType;  // data bytes of the reply: "F1 1D"
  std::string deviceName;
  double replyMs = 0;
  std::string problem;  // why an unusable port could not be opened
  std::string Line() const;
};

// How long a port has to answer.
constexpr Micros kProbeWait{100000};

std::vector<PortAnswer> ProbePorts(Micros wait = kProbeWait);

// Prints one line per port probed; returns 0 when one answered, 1 when none did.
int RunProbePorts();
