// An "rfc2217://HOST:PORT" port: the client end of RFC 2217 over a NetDevice connection.
//
// On each connection it asks for the line settings the port has (38400 8O1 for a machine), DTR
// and RTS as the port has them, and every modem-state change; the server's NOTIFY-MODEMSTATE
// is what the port reads as CTS, DSR, RI and DCD. A request the server leaves unanswered for
// kAnswerMs is noted once (some servers never answer line control) and the port goes on.
#pragma once

#include <chrono>

#include "ComPortSession.h"
#include "NetDevice.h"

class Rfc2217Device : public NetDevice {
 public:
  static constexpr int kAnswerMs = 3000;

  explicit Rfc2217Device(const PortTarget& target);

  std::vector<std::string> Configure(const LineSettings& settings) override;
  bool ReadLines(LineSample& sample) override;
  bool SetDTR(bool on) override;
  bool SetRTS(bool on) override;
  int LinePollMs() const override { return 50; }  // also how often unanswered requests are seen

 protected:
  void OnConnected() override;
  void OnDisconnected() override;
  void Decode(const uint8_t* raw, std::size_t size, std::vector<uint8_t>& data) override;
  void Encode(const uint8_t* data, std::size_t size, std::vector<uint8_t>& wire) override;
  void Lines(LineSample& sample) override;

 private:
  void RequestSettings();
  void Send();
  void CheckAnswers();

  ComPortSession session_{ComPortSession::Role::Client};
  LineSettings settings_;
  bool dtr_ = true;
  bool rts_ = true;
  uint64_t notices_ = 0;
  uint64_t answers_ = 0;
  std::chrono::steady_clock::time_point waitingSince_{};
  bool silenceNoted_ = false;
};
