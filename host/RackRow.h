// A machine of a rack as its row in the rack view shows it, published in the host's snapshot.
#pragma once

#include <cstdint>
#include <string>

#include "ClipServer.h"
#include "VmPanel.h"

struct RackRow {
  std::string name;
  std::string port;
  int machine = 0;
  int standard = 0;
  std::string personality;  // the name of the personality it answers as
  std::string enterIdText;  // what "Enter ID" offers first: the device type now
  bool open = false;
  VmPanel panel;  // time code (vpoz), transport lamps, and the whole panel for its window
  ClipServer clips;
  int requestsPerSecond = 0;
  int64_t lastRequestAgeMs = -1;  // -1: none yet
  int errorCount = 0;
  std::string lastError;

  bool operator==(const RackRow&) const = default;
};
