// Which device a COM number stands for.
//
//   COM1-32   /dev/ttyS0-31
//   COM33-64  /dev/ttyUSB0-31
//   COM65-96  /dev/ttyACM0-31
//   COM251    end A of the built-in virtual null-modem cable
//   COM252    end B of the built-in virtual null-modem cable
// The environment variable SELKIE_COM<n>=<target> maps any number 1..65535 to <target>, which is
// a device path, "pty:<path>" (the port creates a pseudo-terminal and links its other side at
// <path>), "cable:A" / "cable:B" (an end of the virtual cable), or a network target:
//   tcp:HOST:PORT                 connects, raw bytes
//   tcp-listen:[ADDR:]PORT        listens for one client at a time, raw bytes
//   rfc2217://HOST:PORT           connects to an RFC 2217 server
//   rfc2217-listen:[ADDR:]PORT    is an RFC 2217 server for one client at a time
// A listening form without an address listens on 127.0.0.1 only. A host in brackets may hold
// colons ("[::1]"). The environment is read at each call, so a change takes effect at the next
// open.
// A program may also give a number a target in-process (Assign): such a number is named in
// messages by the text its user wrote, and takes precedence over the environment.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct PortTarget {
  enum class Kind { None, Device, Pty, Cable, Tcp, TcpListen, Rfc2217, Rfc2217Listen };
  Kind kind = Kind::None;
  std::string path;  // Device: the device path; Pty: where the link is made
  int cableEnd = 0;  // Cable: 0 for end A (COM251), 1 for end B (COM252)
  std::string host;  // network kinds: the host or address, without brackets
  int port = 0;      // network kinds: 1..65535

  bool Network() const { return kind >= Kind::Tcp; }
  bool Listening() const { return kind == Kind::TcpListen || kind == Kind::Rfc2217Listen; }
  // The text shown in brackets by the port prompt: the path, "pty:<path>", "virtual cable A" or
  // the network target as written, the listening address filled in ("tcp-listen:127.0.0.1:9000").
  std::string Describe() const;
};

class PortMap {
 public:
  static constexpr int kCableA = 251;
  static constexpr int kCableB = 252;

  // The target of COM `number`; Kind::None when the number maps to nothing.
  static PortTarget Resolve(int number);

  // Every number that maps to something, ascending: the fixed ranges, the cable ends and the
  // numbers named by SELKIE_COM<n> variables.
  static std::vector<int> MappedNumbers();

  // Parses a target text as SELKIE_COM<n> holds it; Kind::None for an empty or malformed text.
  static PortTarget ParseTarget(const std::string& text);
  // Why ParseTarget refuses `text` (a sentence naming it), or "" when it does not.
  static std::string TargetError(const std::string& text);
  // "COMn" in any case, n = 1..65535: n. A text that starts with "COM" but names no such number:
  // 0. Any other text (a device path, pty:<path>): none.
  static std::optional<int> ComNumberOf(const std::string& text);

  // Maps COM `number` to the target `text` (as ParseTarget reads it) for this process; messages
  // name the port `text`. Thread-safe. Returns false, mapping nothing, for a text that names no
  // port or a number outside 1..65535.
  static bool Assign(int number, const std::string& text);
  static void Unassign(int number);
  // The name messages use for COM `number`: the assigned text, else "COM<n>".
  static std::string PortName(int number);
  // PortName plus, for a number that is not assigned, its target in brackets:
  // "COM77 (/dev/pts/1)", "pty:/tmp/vm".
  static std::string PortLabel(int number);
};
