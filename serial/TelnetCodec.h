// The telnet layer of an RFC 2217 connection: data bytes apart from commands.
//
// On the wire a data byte 0xFF (IAC) is doubled; IAC starts a command: WILL/WONT/DO/DONT with one
// option byte, SB <option> ... IAC SE for a subnegotiation (0xFF inside doubled too), or a
// two-byte command (NOP, GA, ...) that carries nothing for a serial line and is dropped. The
// decoder keeps its place between calls, so a command cut across two reads is taken whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace telnet {

constexpr uint8_t kIac = 255;
constexpr uint8_t kDont = 254;
constexpr uint8_t kDo = 253;
constexpr uint8_t kWont = 252;
constexpr uint8_t kWill = 251;
constexpr uint8_t kSb = 250;
constexpr uint8_t kSe = 240;

constexpr uint8_t kOptionBinary = 0;
constexpr uint8_t kOptionEcho = 1;
constexpr uint8_t kOptionSuppressGoAhead = 3;
constexpr uint8_t kOptionComPort = 44;

// A subnegotiation longer than this is cut: a COM-PORT-OPTION payload is a few bytes, and a peer
// sending garbage must not grow memory without bound.
constexpr std::size_t kMaxSubnegotiation = 256;

struct Command {
  uint8_t verb = 0;  // kWill, kWont, kDo, kDont or kSb
  uint8_t option = 0;
  std::vector<uint8_t> payload;  // kSb only, unescaped
};

// Appends `data` to `out` with every 0xFF doubled.
void Escape(const uint8_t* data, std::size_t size, std::vector<uint8_t>& out);

// Appends IAC <verb> <option>.
void AppendCommand(uint8_t verb, uint8_t option, std::vector<uint8_t>& out);
// Appends IAC SB <option> <payload, escaped> IAC SE.
void AppendSubnegotiation(uint8_t option, const std::vector<uint8_t>& payload,
                          std::vector<uint8_t>& out);

class Decoder {
 public:
  // Splits `size` received bytes: data bytes are appended to `data`, whole commands to
  // `commands`.
  void Feed(const uint8_t* in, std::size_t size, std::vector<uint8_t>& data,
            std::vector<Command>& commands);

 private:
  enum class State { Data, Iac, Verb, SbOption, Sb, SbIac };
  State state_ = State::Data;
  Command pending_;
};

}  // namespace telnet
