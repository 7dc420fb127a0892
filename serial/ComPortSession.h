// RFC 2217 over the telnet codec, for either end of the connection.
//
// The client asks for COM-PORT-OPTION, BINARY and SUPPRESS-GO-AHEAD and holds its line requests
// until the server agrees to the option; each request waits for the server's answer (its code
// plus 100), and what stays unanswered can be taken for a note. The server's NOTIFY-MODEMSTATE
// becomes the client's modem lines.
//
// The server answers the negotiation, keeps what the client sets (a virtual machine has no UART:
// every rate and framing is accepted and echoed), takes DTR and RTS from SET-CONTROL, and sends
// NOTIFY-MODEMSTATE when a line under the client's mask changes.
//
// The modem state byte is laid out as the port's status byte: CD 0x80, RI 0x40, DSR 0x20,
// CTS 0x10, the change bits below them.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "TelnetCodec.h"

namespace rfc2217 {

constexpr uint8_t kSignature = 0;
constexpr uint8_t kSetBaudRate = 1;
constexpr uint8_t kSetDataSize = 2;
constexpr uint8_t kSetParity = 3;
constexpr uint8_t kSetStopSize = 4;
constexpr uint8_t kSetControl = 5;
constexpr uint8_t kNotifyLineState = 6;
constexpr uint8_t kNotifyModemState = 7;
constexpr uint8_t kSetLineStateMask = 10;
constexpr uint8_t kSetModemStateMask = 11;
constexpr uint8_t kPurgeData = 12;
constexpr uint8_t kServerOffset = 100;

// SET-CONTROL values.
constexpr uint8_t kNoFlowControl = 1;
constexpr uint8_t kBreakOff = 6;
constexpr uint8_t kDtrRequest = 7;
constexpr uint8_t kDtrOn = 8;
constexpr uint8_t kDtrOff = 9;
constexpr uint8_t kRtsRequest = 10;
constexpr uint8_t kRtsOn = 11;
constexpr uint8_t kRtsOff = 12;

// SET-PARITY values.
constexpr uint8_t kParityNone = 1;
constexpr uint8_t kParityOdd = 2;
constexpr uint8_t kParityEven = 3;
constexpr uint8_t kParityMark = 4;
constexpr uint8_t kParitySpace = 5;

// The name of a subcommand for messages: "SET-CONTROL".
std::string SubcommandName(uint8_t subcommand);

}  // namespace rfc2217

class ComPortSession {
 public:
  enum class Role { Client, Server };
  // Whether the peer agreed to COM-PORT-OPTION.
  enum class Agreement { Unknown, Agreed, Refused };

  explicit ComPortSession(Role role);

  // A new connection: negotiation starts again (the client's requests are sent anew by its
  // owner); what the last peer left unsent or unanswered is forgotten.
  void Restart();

  // Received bytes: data is appended to `data`, answers are queued for sending.
  void Receive(const uint8_t* in, std::size_t size, std::vector<uint8_t>& data);
  // Queues data for sending, escaped.
  void SendData(const uint8_t* data, std::size_t size);
  // Bytes waiting to be sent, in order; the owner erases what it wrote.
  std::vector<uint8_t>& Outgoing() { return out_; }

  Agreement ComPort() const { return agreement_; }

  // --- client ---
  // Sends (or holds until the server agrees) a COM-PORT-OPTION request awaiting an answer.
  void Request(uint8_t subcommand, const std::vector<uint8_t>& value);
  // Requests sent or held and not answered yet; answers counts every answer ever taken.
  std::size_t Unanswered() const { return awaiting_.size() + held_.size(); }
  uint64_t Answers() const { return answers_; }
  // The names of the unanswered requests ("SET-CONTROL, SET-MODEMSTATE-MASK"); forgets them.
  std::string TakeUnanswered();
  // The last modem state the server told, and the lines it told changed since the last call.
  uint8_t ModemLines() const { return modemState_ & 0xF0; }
  uint8_t TakeModemToggles();
  uint64_t ModemNotices() const { return modemNotices_; }

  // --- server ---
  bool ClientDtr() const { return dtr_; }
  bool ClientRts() const { return rts_; }
  // Switches of DTR/RTS by the client since the session was made, pulses included.
  uint32_t DtrSwitches() const { return dtrSwitches_; }
  uint32_t RtsSwitches() const { return rtsSwitches_; }
  // The lines the client is to see (CD/RI/DSR/CTS bits); a change under its mask is notified.
  void SetModemLines(uint8_t lines);

 private:
  void Negotiate(const telnet::Command& command);
  bool Accepts(uint8_t verb, uint8_t option) const;
  void Subnegotiation(const std::vector<uint8_t>& payload);
  void ClientAnswer(uint8_t subcommand, const std::vector<uint8_t>& value);
  void ServerRequest(uint8_t subcommand, const std::vector<uint8_t>& value);
  void Control(uint8_t value);
  void Answer(uint8_t subcommand, const std::vector<uint8_t>& value);
  void SendHeld();
  void Offer(uint8_t verb, uint8_t option);

  Role role_;
  telnet::Decoder decoder_;
  std::vector<telnet::Command> commands_;
  std::vector<uint8_t> out_;
  std::bitset<256> us_, him_, askedUs_, askedHim_;
  Agreement agreement_ = Agreement::Unknown;

  std::deque<uint8_t> awaiting_;
  std::vector<std::vector<uint8_t>> held_;  // whole subnegotiation payloads
  uint64_t answers_ = 0;
  uint8_t modemState_ = 0;
  uint8_t modemToggles_ = 0;
  uint64_t modemNotices_ = 0;

  uint32_t baud_ = 38400;
  uint8_t dataSize_ = 8;
  uint8_t parity_ = rfc2217::kParityNone;
  uint8_t stopSize_ = 1;
  uint8_t flow_ = rfc2217::kNoFlowControl;
  uint8_t breakState_ = rfc2217::kBreakOff;
  bool dtr_ = false;
  bool rts_ = false;
  uint32_t dtrSwitches_ = 0;
  uint32_t rtsSwitches_ = 0;
  uint8_t lineMask_ = 0;
  uint8_t modemMask_ = 0xFF;
  uint8_t linesSent_ = 0;
};
