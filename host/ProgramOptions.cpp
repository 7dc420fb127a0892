#include "ProgramOptions.h"

#include <charconv>
#include <filesystem>
#include <functional>
#include <map>
#include <utility>

#include "OneShotOptions.h"
#include "SelkieVersion.h"

void RefuseOptions(const char* mode, std::initializer_list<std::pair<const char*, bool>> others) {
  for (const auto& [name, given] : others)
    if (given) throw OptionsError(std::string(name) + " is not an option of " + mode);
}

namespace {

int ParseNumber(const std::string& option, const std::string& text, int low, int high) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high)
    throw OptionsError(option + " needs a whole number from " + std::to_string(low) + " to " +
                       std::to_string(high) + ", not \"" + text + "\"");
  return value;
}

using ValueSetter =
    std::function<void(ProgramOptions&, const std::string& option, const std::string& value)>;

const std::map<std::string, ValueSetter>& ValueOptions() {
  static const std::map<std::string, ValueSetter> options = {
      {"--port-a",
       [](ProgramOptions& o, const std::string&, const std::string& v) { o.portA = v; }},
      {"--port-b",
       [](ProgramOptions& o, const std::string&, const std::string& v) { o.portB = v; }},
      {"--settings",
       [](ProgramOptions& o, const std::string&, const std::string& v) { o.settings = v; }},
      {"--replay",
       [](ProgramOptions& o, const std::string&, const std::string& v) { o.replay = v; }},
      {"--capture",
       [](ProgramOptions& o, const std::string&, const std::string& v) { o.capture = v; }},
      {"--rack", [](ProgramOptions& o, const std::string&, const std::string& v) { o.rack = v; }},
      {"--personality",
       [](ProgramOptions& o, const std::string&, const std::string& v) { o.personality = v; }},
      {"--learn", [](ProgramOptions& o, const std::string&, const std::string& v) { o.learn = v; }},
      {"--from", [](ProgramOptions& o, const std::string&, const std::string& v) { o.from = v; }},
      // The one single-dash option that is not the toolkit's.
      {"-o", [](ProgramOptions& o, const std::string&, const std::string& v) { o.output = v; }},
      {"--tick", [](ProgramOptions& o, const std::string& n,
                    const std::string& v) { o.tickMs = ParseNumber(n, v, 1, 1000); }},
      {"--machine", [](ProgramOptions& o, const std::string& n,
                       const std::string& v) { o.machine = ParseNumber(n, v, 0, 16); }},
      {"--seconds", [](ProgramOptions& o, const std::string& n,
                       const std::string& v) { o.seconds = ParseNumber(n, v, 1, 86400); }},
      {"--report",
       [](ProgramOptions& o, const std::string&, const std::string& v) { o.report = v; }},
      {"--send", [](ProgramOptions& o, const std::string&, const std::string& v) { o.send = v; }},
      {"--expect",
       [](ProgramOptions& o, const std::string&, const std::string& v) { o.expect = v; }},
      {"--standard", [](ProgramOptions& o, const std::string& n,
                        const std::string& v) { o.standard = ParseNumber(n, v, 0, 3); }},
  };
  return options;
}

const std::map<std::string, bool ProgramOptions::*>& FlagOptions() {
  static const std::map<std::string, bool ProgramOptions::*> flags = {
      {"--help", &ProgramOptions::help},
      {"-h", &ProgramOptions::help},  // the short forms every user tries; not toolkit options
      {"--version", &ProgramOptions::version},
      {"-V", &ProgramOptions::version},
      {"--demo", &ProgramOptions::demo},
      {"--headless", &ProgramOptions::headless},
      {"--log", &ProgramOptions::log},
      {"--exact", &ProgramOptions::exact},
      {"--list-ports", &ProgramOptions::listPorts},
      {"--bridge", &ProgramOptions::bridge},
      {"--census", &ProgramOptions::census},
      {"--census-editor", &ProgramOptions::censusEditor},
      {"--transport", &ProgramOptions::transport},
      {"--probe-ports", &ProgramOptions::probePorts},
  };
  return flags;
}

// A replay talks to one machine on --port-b and runs nothing else.
void CheckReplay(const ProgramOptions& o) {
  if (o.exact && !o.replay) throw OptionsError("--exact is an option of --replay");
  if (!o.replay) return;
  if (o.headless || o.demo)
    throw OptionsError("--replay runs on its own, without --headless or --demo");
  if (!o.portB)
    throw OptionsError("--replay needs --port-b <port>: the machine to play the capture to");
  RefuseOptions("--replay", {{"--port-a", o.portA.has_value()},
                             {"--tick", o.tickMs.has_value()},
                             {"--machine", o.machine.has_value()},
                             {"--standard", o.standard.has_value()},
                             {"--log", o.log},
                             {"--settings", o.settings.has_value()},
                             {"--capture", o.capture.has_value()},
                             {"--rack", o.rack.has_value()},
                             {"--bridge", o.bridge}});
}

// --learn reads a capture and writes a file; it runs nothing else.
void CheckLearn(const ProgramOptions& o) {
  if (o.output && !o.learn) throw OptionsError("-o is an option of --learn");
  if (!o.learn) return;
  if (!o.output) throw OptionsError("--learn needs -o <file>: where to write the personality");
  RefuseOptions("--learn", {{"--headless", o.headless},
                            {"--demo", o.demo},
                            {"--replay", o.replay.has_value()},
                            {"--exact", o.exact},
                            {"--port-a", o.portA.has_value()},
                            {"--port-b", o.portB.has_value()},
                            {"--tick", o.tickMs.has_value()},
                            {"--machine", o.machine.has_value()},
                            {"--standard", o.standard.has_value()},
                            {"--log", o.log},
                            {"--settings", o.settings.has_value()},
                            {"--capture", o.capture.has_value()},
                            {"--bridge", o.bridge},
                            {"--personality", o.personality.has_value()},
                            {"--list-ports", o.listPorts}});
}

// A capture to view opens in the window on its own.
void CheckOpenCapture(const ProgramOptions& o) {
  if (!o.openCapture) return;
  const std::pair<const char*, bool> others[] = {{"--headless", o.headless},
                                                 {"--demo", o.demo},
                                                 {"--replay", o.replay.has_value()},
                                                 {"--list-ports", o.listPorts},
                                                 {"--capture", o.capture.has_value()}};
  for (const auto& [name, given] : others)
    if (given)
      throw OptionsError("a capture FILE to view is opened on its own, not with " +
                         std::string(name));
}

void CheckCombination(const ProgramOptions& o) {
  if (o.help || o.version) return;
  CheckOpenCapture(o);
  if (o.from && !o.replay && !o.learn)
    throw OptionsError("--from is an option of --replay and --learn");
  if (OneShotGiven(o)) {
    CheckOneShot(o);
    return;
  }
  CheckLearn(o);
  if (o.learn) return;
  if (o.replay && o.personality) throw OptionsError("--personality is not an option of --replay");
  if (o.listPorts && (o.demo || o.headless || o.replay))
    throw OptionsError("--list-ports only lists the ports; it runs nothing else");
  CheckReplay(o);
  if (o.replay) return;
  if (o.demo && o.headless) throw OptionsError("--demo and --headless cannot be combined");
  if (o.headless && !o.portA && !o.portB && !o.rack)
    throw OptionsError("--headless needs --port-a <port>, --port-b <port>, --rack or both ports");
  if (o.rack && (o.bridge || o.demo))
    throw OptionsError("--rack runs its machines without --bridge or --demo");
  if (o.bridge && o.headless && (!o.portA || !o.portB))
    throw OptionsError(
        "--bridge needs --port-a <port> (the editor) and --port-b <port> (the machine)");
  if (!o.headless) {
    // A rack shown in the window takes its ports and identity from the command line too.
    const bool rack = o.rack.has_value();
    const std::pair<const char*, bool> headlessOnly[] = {{"--port-a", o.portA && !rack},
                                                         {"--port-b", o.portB.has_value()},
                                                         {"--tick", o.tickMs.has_value()},
                                                         {"--machine", o.machine && !rack},
                                                         {"--standard", o.standard && !rack},
                                                         {"--log", o.log},
                                                         {"--bridge", o.bridge}};
    for (const auto& [name, given] : headlessOnly)
      if (given) throw OptionsError(std::string(name) + " is an option of --headless runs");
  }
  if (o.portA && o.portB && *o.portA == *o.portB)
    throw OptionsError("--port-a and --port-b name the same port");
}

}  // namespace

ProgramOptions ParseOptions(const std::vector<std::string>& args) {
  ProgramOptions o;
  o.toolkitArgs.push_back(args.empty() ? "selkietest" : args.front());
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string arg = args[i];
    std::string value;
    bool hasValue = false;
    if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      hasValue = true;
    }
    if (arg == "--log") {
      // "--log" alone keeps the designed lines; "--log decoded" asks for the decoded ones.
      if (!hasValue && i + 1 < args.size() && args[i + 1] == "decoded") value = args[++i];
      if ((hasValue || !value.empty()) && value != "decoded")
        throw OptionsError("--log takes no value or \"decoded\", not \"" + value + "\"");
      o.log = true;
      o.logDecoded = value == "decoded";
    } else if (const auto flag = FlagOptions().find(arg); flag != FlagOptions().end()) {
      if (hasValue) throw OptionsError(arg + " takes no value");
      o.*(flag->second) = true;
    } else if (const auto opt = ValueOptions().find(arg); opt != ValueOptions().end()) {
      if (!hasValue) {
        if (i + 1 >= args.size()) throw OptionsError(arg + " needs a value");
        value = args[++i];
      }
      opt->second(o, arg, value);
    } else if (arg.starts_with("--")) {
      throw OptionsError("unknown option " + arg + " (see --help)");
    } else if (arg.starts_with("-")) {
      o.toolkitArgs.push_back(args[i]);
      // A toolkit option's value ("-platform offscreen") travels with it.
      if (i + 1 < args.size() && !args[i + 1].starts_with("-")) o.toolkitArgs.push_back(args[++i]);
    } else if (std::error_code unreadable;  // a name too long for the system is no file
               !o.openCapture && std::filesystem::is_regular_file(arg, unreadable)) {
      o.openCapture = arg;
    } else {
      throw OptionsError("unexpected argument \"" + arg +
                         "\": neither an option nor a capture file to open (see --help)");
    }
  }
  CheckCombination(o);
  return o;
}

std::string UsageText() {
  return R"(Usage: selkietest [options]

Bench tool for the two-port RS-422 Selkie interface: port A is a virtual Sony 9-pin machine,
port B controls a real machine. Without options the main window opens with the ports and views
of the last run.

Options:
  --demo              Open the window with port A and port B on the two ends of the built-in
                      virtual null-modem cable (COM251 and COM252): the controller panel drives
                      the virtual machine. Keeps its settings in its own file.
  --headless          Run without a window (needs --port-a, --port-b or both).
  --port-a PORT       Headless: run the virtual machine on PORT.
  --port-b PORT       Headless: run the controller on PORT and print one line per change of the
                      controlled machine's time code, name or status lamps.
                      PORT is COMn (see below), a device path such as /dev/ttyUSB0,
                      pty:PATH, which creates a pseudo-terminal and links its other side at PATH
                      so that an editor or controller program can open PATH as a serial port,
                      or a network port: tcp:HOST:PORT, tcp-listen:[ADDR:]PORT,
                      rfc2217://HOST:PORT or rfc2217-listen:[ADDR:]PORT (listening on 127.0.0.1
                      unless ADDR is given; no encryption, no authentication).
  --tick MS           Headless: frame tick in milliseconds, 1..1000 (default 60, as the window
                      has it after start-up; 40 runs an EBU time code in real time).
  --machine N         Headless: machine identity 0..16 (0 DA88 ... 16 EVS DD35; default 0).
  --standard N        Headless: 0 EBU, 1 SMPTE non-drop, 2 24P, 3 SMPTE drop-frame (default 0).
  --log               Headless: print the port A traffic (Rx/Tx lines) to standard output.
  --log decoded       Headless: print both ports' traffic as decoded lines instead, one per
                      message with its time, bytes, meaning and reply time.
  --capture FILE      Append every message on both ports, in both directions, to the capture
                      FILE (created when missing), malformed bytes marked. Works with the
                      window too (Tools menu: "Capture to File..."). With a rack, every
                      machine's messages too, each under the machine's name.
  --bridge            Headless: stand between the editor on --port-a and the machine on
                      --port-b, passing every message on unchanged and printing both sides
                      decoded, with the machine's reply time and the delay the bridge added.
  --rack FILE         Run a rack of virtual machines, each on its own port, from the rack
                      FILE (TOML: one [[machine]] table per machine with port, machine,
                      standard, personality and name). At most 35 machines. With --headless
                      the machines are served without a window; else the rack view opens.
  --rack N            The same without a file: N machines on --port-a PORT with {n} in it
                      replaced by 1..N (e.g. 'pty:/tmp/vtr{n}'), all with --machine and
                      --standard.
  --personality FILE|NAME
                      The virtual machine answers as the personality in the TOML FILE, or the
                      built-in NAME, has it: reply delay and jitter, byte timing, NAKs for bad
                      checksums, time-outs and unknown commands, ignored and silent commands,
                      status length, local mode, faults. Built-in: ideal (the default),
                      broadcast-vtr, disk-recorder, local-deck, flaky-line. Headless and window.
  --learn CAPTURE -o FILE
                      Learn a personality from the machine's side of the capture CAPTURE and
                      write it to FILE, with comments giving the figures.
  --from NAME         Replay, learn: take the capture's port A or B, or its rack machine NAME
                      (needed when a rack's capture holds several machines).
  --settings PATH     Read and write the settings record at PATH. A headless run reads and
                      writes no settings file unless this is given.
  --replay FILE       Play the editor's side of a capture FILE to the machine on --port-b PORT,
                      wait for each reply and print every exchange whose reply differs from the
                      captured one, then reply-time figures. Exit status 0 when all matched,
                      1 when one differed.
  --exact             Replay: compare time data and other moving fields byte for byte too.
  --census            Examine the machine on --port-b PORT: device type, every state-reading
                      request with its reply kind and time, then polling for --seconds S
                      (default 30); a verdict, or a report with --report FILE (.json, .md or
                      .html). Exit status 0 when it conforms, 1 when not.
  --transport         Census: also check play, stop, winds, jog and a cue (moves tape).
  --census-editor     Answer the editor on --port-a PORT for --seconds S (with --machine,
                      --standard, --personality) and report what it sends: commands, poll
                      interval, overlaps, checksum errors, stray bytes, pauses inside
                      messages. --report FILE as for --census.
  --send BYTES        Frame the message BYTES ("20 01"), send it to --port-b PORT and print
                      the reply decoded with its time; --expect BYTES: exit 0 on a match, 1 not.
  --probe-ports       Send a device-type request on every free port and print which answer.
  --list-ports        Print one line per COM number in use and exit: the device, its
                      /dev/serial/by-id name, driver, USB vendor:product and serial number,
                      latency timer, and whether it is free or in use (by which process).
  FILE                Open the capture FILE in a viewer window (also File > "Open Capture...").
  -h, --help          Print this text and exit.
  -V, --version       Print the program's version and exit.

COM numbers: COM1-32 are /dev/ttyS0-31, COM33-64 /dev/ttyUSB0-31, COM65-96 /dev/ttyACM0-31;
SELKIE_COM<n>=<path> in the environment maps COM n to any device. COM251 and COM252 are the two
ends of the built-in virtual null-modem cable.

Without a display, run with --headless, or set QT_QPA_PLATFORM=offscreen to run the window
without showing it. Ctrl-C or SIGTERM ends a headless run (exit status 0).
)";
}

std::string VersionText() { return std::string("selkietest ") + SELKIE_VERSION + "\n"; }
