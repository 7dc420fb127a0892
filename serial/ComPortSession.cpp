#include "ComPortSession.h"

#include <algorithm>

using namespace telnet;
using namespace rfc2217;

namespace {

constexpr const char* kSignatureText = "selkietest";

std::vector<uint8_t> BigEndian32(uint32_t value) {
  return {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
}

}  // namespace

std::string rfc2217::SubcommandName(uint8_t subcommand) {
  static constexpr const char* kNames[] = {
      "SIGNATURE",           "SET-BAUDRATE",       "SET-DATASIZE",       "SET-PARITY",
      "SET-STOPSIZE",        "SET-CONTROL",        "NOTIFY-LINESTATE",   "NOTIFY-MODEMSTATE",
      "FLOWCONTROL-SUSPEND", "FLOWCONTROL-RESUME", "SET-LINESTATE-MASK", "SET-MODEMSTATE-MASK",
      "PURGE-DATA"};
  const uint8_t base = subcommand >= kServerOffset ? subcommand - kServerOffset : subcommand;
  if (base < std::size(kNames)) return kNames[base];
  return "subcommand " + std::to_string(subcommand);
}

ComPortSession::ComPortSession(Role role) : role_(role) { Restart(); }

void ComPortSession::Restart() {
  decoder_ = {};
  out_.clear();
  us_.reset();
  him_.reset();
  askedUs_.reset();
  askedHim_.reset();
  agreement_ = Agreement::Unknown;
  awaiting_.clear();
  held_.clear();
  modemState_ = 0;
  modemToggles_ = 0;
  linesSent_ = 0;
  modemMask_ = 0xFF;
  lineMask_ = 0;
  if (role_ == Role::Client) {
    Offer(kWill, kOptionComPort);
    Offer(kWill, kOptionBinary);
    Offer(kDo, kOptionBinary);
    Offer(kWill, kOptionSuppressGoAhead);
    Offer(kDo, kOptionSuppressGoAhead);
  } else {
    // A client that opens a serial port raises DTR and RTS, as a local open does.
    if (!dtr_) ++dtrSwitches_;
    if (!rts_) ++rtsSwitches_;
    dtr_ = rts_ = true;
  }
}

void ComPortSession::Offer(uint8_t verb, uint8_t option) {
  (verb == kWill ? askedUs_ : askedHim_).set(option);
  AppendCommand(verb, option, out_);
}

void ComPortSession::Receive(const uint8_t* in, std::size_t size, std::vector<uint8_t>& data) {
  commands_.clear();
  decoder_.Feed(in, size, data, commands_);
  for (const Command& command : commands_) {
    if (command.verb == kSb) {
      if (command.option == kOptionComPort && !command.payload.empty()) {
        Subnegotiation(command.payload);
      }
    } else {
      Negotiate(command);
    }
  }
}

void ComPortSession::SendData(const uint8_t* data, std::size_t size) { Escape(data, size, out_); }

bool ComPortSession::Accepts(uint8_t verb, uint8_t option) const {
  const bool common = option == kOptionBinary || option == kOptionSuppressGoAhead;
  // The client offers COM-PORT-OPTION (WILL); the server takes it (DO).
  const bool comPort = option == kOptionComPort && ((verb == kDo) == (role_ == Role::Client));
  return common || comPort;
}

// Each side's state changes only on a request that changes it, and only a change is answered,
// so two ends never echo each other's answers forever.
void ComPortSession::Negotiate(const Command& command) {
  const uint8_t option = command.option;
  const bool enable = command.verb == kWill || command.verb == kDo;
  const bool aboutUs = command.verb == kDo || command.verb == kDont;
  std::bitset<256>& state = aboutUs ? us_ : him_;
  std::bitset<256>& asked = aboutUs ? askedUs_ : askedHim_;
  const bool wasAsked = asked.test(option);
  asked.reset(option);
  const uint8_t yes = aboutUs ? kWill : kDo;
  const uint8_t no = aboutUs ? kWont : kDont;
  if (enable) {
    if (state.test(option)) return;
    if (Accepts(command.verb, option)) {
      state.set(option);
      if (!wasAsked) AppendCommand(yes, option, out_);
    } else if (!wasAsked) {
      AppendCommand(no, option, out_);
    }
  } else {
    if (!state.test(option) && !wasAsked) return;
    const bool answer = state.test(option) && !wasAsked;
    state.reset(option);
    if (answer) AppendCommand(no, option, out_);
  }
  if (option != kOptionComPort || aboutUs != (role_ == Role::Client)) return;
  const Agreement before = agreement_;
  agreement_ = enable && state.test(option) ? Agreement::Agreed : Agreement::Refused;
  if (agreement_ != Agreement::Agreed || before == Agreement::Agreed) return;
  if (role_ == Role::Client) {
    SendHeld();
  } else {
    Answer(kNotifyModemState, {static_cast<uint8_t>(linesSent_ & modemMask_)});
  }
}

void ComPortSession::Subnegotiation(const std::vector<uint8_t>& payload) {
  const uint8_t subcommand = payload[0];
  const std::vector<uint8_t> value(payload.begin() + 1, payload.end());
  if (role_ == Role::Client) {
    if (subcommand >= kServerOffset) ClientAnswer(subcommand - kServerOffset, value);
  } else if (subcommand < kServerOffset) {
    ServerRequest(subcommand, value);
  }
}

// --- client ---

void ComPortSession::Request(uint8_t subcommand, const std::vector<uint8_t>& value) {
  std::vector<uint8_t> payload{subcommand};
  payload.insert(payload.end(), value.begin(), value.end());
  if (agreement_ == Agreement::Agreed) {
    AppendSubnegotiation(kOptionComPort, payload, out_);
    awaiting_.push_back(subcommand);
  } else {
    held_.push_back(std::move(payload));
  }
}

void ComPortSession::SendHeld() {
  for (const std::vector<uint8_t>& payload : held_) {
    AppendSubnegotiation(kOptionComPort, payload, out_);
    awaiting_.push_back(payload[0]);
  }
  held_.clear();
}

void ComPortSession::ClientAnswer(uint8_t subcommand, const std::vector<uint8_t>& value) {
  if (subcommand == kNotifyModemState) {
    if (value.empty()) return;
    modemToggles_ |= static_cast<uint8_t>((value[0] & 0x0F) << 4);
    modemToggles_ |= static_cast<uint8_t>((value[0] ^ modemState_) & 0xF0);
    modemState_ = value[0];
    ++modemNotices_;
  }
  const auto found = std::find(awaiting_.begin(), awaiting_.end(), subcommand);
  if (found == awaiting_.end()) return;
  awaiting_.erase(found);
  ++answers_;
}

std::string ComPortSession::TakeUnanswered() {
  std::vector<uint8_t> codes(awaiting_.begin(), awaiting_.end());
  for (const std::vector<uint8_t>& payload : held_) codes.push_back(payload[0]);
  awaiting_.clear();
  held_.clear();
  std::string names;
  std::vector<uint8_t> named;
  for (uint8_t code : codes) {
    if (std::find(named.begin(), named.end(), code) != named.end()) continue;
    named.push_back(code);
    names += (names.empty() ? "" : ", ") + SubcommandName(code);
  }
  return names;
}

uint8_t ComPortSession::TakeModemToggles() {
  const uint8_t toggles = modemToggles_;
  modemToggles_ = 0;
  return toggles;
}

// --- server ---

void ComPortSession::Answer(uint8_t subcommand, const std::vector<uint8_t>& value) {
  std::vector<uint8_t> payload{static_cast<uint8_t>(subcommand + kServerOffset)};
  payload.insert(payload.end(), value.begin(), value.end());
  AppendSubnegotiation(kOptionComPort, payload, out_);
}

void ComPortSession::ServerRequest(uint8_t subcommand, const std::vector<uint8_t>& value) {
  const uint8_t first = value.empty() ? 0 : value[0];
  switch (subcommand) {
    case kSignature:
      if (value.empty()) Answer(kSignature, {kSignatureText, kSignatureText + 10});
      break;
    case kSetBaudRate:
      if (value.size() >= 4) {
        const uint32_t baud =
            static_cast<uint32_t>(value[0]) << 24 | value[1] << 16 | value[2] << 8 | value[3];
        if (baud != 0) baud_ = baud;
      }
      Answer(kSetBaudRate, BigEndian32(baud_));
      break;
    case kSetDataSize:
      if (first >= 5 && first <= 8) dataSize_ = first;
      Answer(kSetDataSize, {dataSize_});
      break;
    case kSetParity:
      if (first >= kParityNone && first <= kParitySpace) parity_ = first;
      Answer(kSetParity, {parity_});
      break;
    case kSetStopSize:
      if (first >= 1 && first <= 3) stopSize_ = first;
      Answer(kSetStopSize, {stopSize_});
      break;
    case kSetControl:
      Control(first);
      break;
    case kNotifyLineState:
      Answer(kNotifyLineState, {0});
      break;
    case kNotifyModemState:
      Answer(kNotifyModemState, {static_cast<uint8_t>(linesSent_ & modemMask_)});
      break;
    case kSetLineStateMask:
      lineMask_ = first;
      Answer(kSetLineStateMask, {lineMask_});
      break;
    case kSetModemStateMask:
      modemMask_ = first;
      Answer(kSetModemStateMask, {modemMask_});
      break;
    case kPurgeData:
      Answer(kPurgeData, {first});
      break;
    default:
      break;  // flow suspend/resume and unknown subcommands: nothing to answer
  }
}

void ComPortSession::Control(uint8_t value) {
  const auto setLine = [](bool& line, uint32_t& switches, bool on) {
    if (line != on) ++switches;
    line = on;
  };
  switch (value) {
    case 0:
      value = flow_;
      break;
    case 1:
    case 2:
    case 3:
      flow_ = value;
      break;
    case 4:
      value = breakState_;
      break;
    case 5:
    case 6:
      breakState_ = value;
      break;
    case kDtrRequest:
      value = dtr_ ? kDtrOn : kDtrOff;
      break;
    case kDtrOn:
    case kDtrOff:
      setLine(dtr_, dtrSwitches_, value == kDtrOn);
      break;
    case kRtsRequest:
      value = rts_ ? kRtsOn : kRtsOff;
      break;
    case kRtsOn:
    case kRtsOff:
      setLine(rts_, rtsSwitches_, value == kRtsOn);
      break;
    default:
      break;  // inbound flow control (13..19) and beyond: taken as asked
  }
  Answer(kSetControl, {value});
}

void ComPortSession::SetModemLines(uint8_t lines) {
  lines &= 0xF0;
  const uint8_t changed = (lines ^ linesSent_) & 0xF0;
  linesSent_ = lines;
  if (!changed || !him_.test(kOptionComPort)) return;
  const uint8_t state = lines | static_cast<uint8_t>(changed >> 4);
  if ((state & modemMask_ & 0x0F) == 0) return;  // no change the client asked to hear of
  Answer(kNotifyModemState, {static_cast<uint8_t>(state & modemMask_)});
}
