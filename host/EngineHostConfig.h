// How a front end sets up the engine host: the settings file, the ports named on a command line,
// the timers, and what output it wants collected.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Personality.h"
#include "RackFile.h"

struct EngineHostConfig {
  // Where the record is read and written; none: nothing is read or written.
  std::optional<std::filesystem::path> settingsPath;
  // A settings file that cannot be read ends the start (a headless run) instead of being reported
  // as a message, after which the run saves nothing to it (the window).
  bool settingsErrorsAreFatal = false;
  bool demo = false;          // ports A and B on the two ends of the virtual cable
  bool promptForPort = true;  // false: a port that cannot be opened is an error, never a question
  bool diagnostics = false;   // collect the ports' notes (e.g. a device that drops the parity)
  bool controllerLines = false;  // collect a state line each time the controlled machine changes
  bool showComs = false;         // port A's "Rx:" / "  Tx " monitor lines from the start
  bool decodedLines = false;     // decoded monitor lines of both ports from the start
  std::optional<std::string> capturePath;  // capture both ports' traffic to this file
  bool bridge = false;  // pass messages between ports A and B once the ports are open
  // Ports named on a command line (COMn, a device path or pty:<path>) instead of the record's.
  std::optional<std::string> portA;
  std::optional<std::string> portB;
  // Fixed timer intervals; without them Timer1 follows the standard and the layout, Timer2 80 ms.
  std::optional<int> timer1Ms;
  std::optional<int> timer2Ms;
  std::optional<int> machine;  // identity and standard instead of the record's
  std::optional<int> standard;
  // Virtual machines of a rack, each on its own port, served beside ports A and B.
  std::vector<RackEntry> rack;
  std::optional<Personality> personality;  // the virtual machine's, instead of the plain one
};
