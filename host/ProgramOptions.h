// The program's command line. Options start with "--"; arguments with a single "-" are left for
// the window toolkit (e.g. "-platform offscreen").
#pragma once

#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

class OptionsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// `mode` takes none of `others` (an option's name, whether it was given): throws OptionsError
// "<option> is not an option of <mode>" for the first one given.
void RefuseOptions(const char* mode, std::initializer_list<std::pair<const char*, bool>> others);

struct ProgramOptions {
  bool help = false;
  bool version = false;
  bool demo = false;
  bool headless = false;
  bool log = false;
  bool logDecoded = false;  // --log decoded: decoded lines of both ports instead
  bool bridge = false;      // pass messages between the editor on A and the machine on B
  bool exact = false;       // --replay: compare every reply byte for byte
  bool listPorts = false;
  std::optional<std::string> portA;  // COMn, a device path, pty:<path> or a network port
  std::optional<std::string> portB;
  std::optional<int> tickMs;               // frame tick of a headless run, 1..1000 ms
  std::optional<int> machine;              // 0..16
  std::optional<int> standard;             // 0..3
  std::optional<std::string> settings;     // settings file instead of the default one
  std::optional<std::string> replay;       // capture file to play to the machine on --port-b
  std::optional<std::string> capture;      // capture file to append both ports' traffic to
  std::optional<std::string> openCapture;  // `selkietest FILE`: a capture to open in the viewer
  std::vector<std::string> toolkitArgs;    // program name first, then the single-dash arguments

  std::optional<std::string> personality;  // the virtual machine's: a file or a built-in name
  std::optional<std::string> learn;        // capture file to learn a personality from
  std::optional<std::string> output;       // -o: where --learn writes the personality
  std::optional<std::string> from;         // --replay, --learn: the capture's port or machine
  bool census = false;                     // examine the machine on --port-b and give a verdict
  bool censusEditor = false;               // answer the editor on --port-a and record it
  bool transport = false;                  // --census: also check play, winds, jog and a cue
  bool probePorts = false;                 // a device-type request on every free port
  std::optional<int> seconds;              // --census polling / --census-editor time, 1..86400
  std::optional<std::string> report;       // census report file: .json, .md or .html
  std::optional<std::string> send;         // one message to frame and send: "20 01"
  std::optional<std::string> expect;       // --send: the reply that counts as a match
  std::optional<std::string> rack;         // a rack file, or a machine count with --port-a
};

// Throws OptionsError with a message fit for the user.
ProgramOptions ParseOptions(const std::vector<std::string>& args);

// The text printed by --help.
std::string UsageText();

// The line printed by --version: "selkietest <version>".
std::string VersionText();
