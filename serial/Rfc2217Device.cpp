#include "Rfc2217Device.h"

using namespace rfc2217;

namespace {

uint8_t ParityCode(TParity parity) {
  switch (parity) {
    case pOdd:
      return kParityOdd;
    case pEven:
      return kParityEven;
    case pMark:
      return kParityMark;
    case pSpace:
      return kParitySpace;
    case pNone:
      break;
  }
  return kParityNone;
}

std::vector<uint8_t> BigEndian32(uint32_t value) {
  return {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
          static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
}

}  // namespace

Rfc2217Device::Rfc2217Device(const PortTarget& target) : NetDevice(target) {}

void Rfc2217Device::Send() { SendWire(session_.Outgoing()); }

void Rfc2217Device::RequestSettings() {
  session_.Request(kSetBaudRate, BigEndian32(static_cast<uint32_t>(settings_.baud)));
  session_.Request(kSetDataSize, {static_cast<uint8_t>(settings_.dataBits)});
  session_.Request(kSetParity, {ParityCode(settings_.parity)});
  session_.Request(kSetStopSize, {static_cast<uint8_t>(settings_.stopBits)});
}

void Rfc2217Device::OnConnected() {
  session_.Restart();
  RequestSettings();
  session_.Request(kSetControl, {dtr_ ? kDtrOn : kDtrOff});
  session_.Request(kSetControl, {rts_ ? kRtsOn : kRtsOff});
  session_.Request(kSetModemStateMask, {0xFF});
  waitingSince_ = std::chrono::steady_clock::now();
  answers_ = session_.Answers();
  Send();
}

void Rfc2217Device::OnDisconnected() {
  // Until the next connection the lines read as an unplugged cable's: all off.
  session_.Restart();
  session_.Outgoing().clear();
}

std::vector<std::string> Rfc2217Device::Configure(const LineSettings& settings) {
  settings_ = settings;
  if (IsConnected()) {
    RequestSettings();
    Send();
  }
  return {};
}

bool Rfc2217Device::SetDTR(bool on) {
  dtr_ = on;
  if (IsConnected()) {
    session_.Request(kSetControl, {on ? kDtrOn : kDtrOff});
    Send();
  }
  return true;
}

bool Rfc2217Device::SetRTS(bool on) {
  rts_ = on;
  if (IsConnected()) {
    session_.Request(kSetControl, {on ? kRtsOn : kRtsOff});
    Send();
  }
  return true;
}

void Rfc2217Device::Decode(const uint8_t* raw, std::size_t size, std::vector<uint8_t>& data) {
  session_.Receive(raw, size, data);
  Send();
  if (session_.ModemNotices() != notices_) {
    notices_ = session_.ModemNotices();
    SignalLines();
  }
}

void Rfc2217Device::Encode(const uint8_t* data, std::size_t size, std::vector<uint8_t>& wire) {
  telnet::Escape(data, size, wire);
}

void Rfc2217Device::Lines(LineSample& sample) {
  sample.lines = session_.ModemLines();
  sample.toggled = session_.TakeModemToggles();
}

bool Rfc2217Device::ReadLines(LineSample& sample) {
  Lines(sample);
  CheckAnswers();
  return true;
}

// Called every line reading (50 ms at most): a request waiting since kAnswerMs without any
// answer coming meanwhile is given up, and noted the first time only.
void Rfc2217Device::CheckAnswers() {
  const auto now = std::chrono::steady_clock::now();
  if (session_.Unanswered() == 0 || session_.Answers() != answers_) {
    answers_ = session_.Answers();
    waitingSince_ = now;
    return;
  }
  if (now - waitingSince_ < std::chrono::milliseconds(kAnswerMs)) return;
  const std::string names = session_.TakeUnanswered();
  if (silenceNoted_) return;
  silenceNoted_ = true;
  const bool refused = session_.ComPort() == ComPortSession::Agreement::Refused;
  Note(refused ? "the server does not take RFC 2217 line control; the port goes on without it"
               : "the server did not answer " + names + "; the port goes on without it");
}
