// Census: a machine's verdict, as a plain engine driven by the bytes it reads and the time.
//
// Three phases, one request in flight at a time:
//   probe     - DEVICE TYPE REQUEST, then every request of the command table that only reads the
//               machine's state: STATUS SENSE in every start and count, CURRENT TIME SENSE of
//               every kind, EDIT PRESET SENSE, the time presets and the rest; for each the kind
//               of reply (data, ACK, NAK and its bits, none) and its time;
//   polling   - the controller's eight-request cycle for the given time, one request per frame
//               tick, counting timeouts, checksum errors, stray bytes and late replies;
//   transport - only when asked (it moves tape): see CensusTransport.
//
// The owner writes what Due() returns, hands every read to Received() with its arrival time and
// calls Due() again by WakeAt() at the latest. Reply times run from the Due() that returned the
// request to the first and to the last byte of the reply.
#pragma once

#include <chrono>
#include <optional>
#include <span>
#include <vector>

#include "CensusResult.h"
#include "CensusTransport.h"
#include "MessageFramer.h"
#include "sonyname.h"

class Census {
 public:
  struct Settings {
    Micros pollFor{std::chrono::seconds(30)};
    bool transport = false;
    Micros tick{40000};        // the controller's frame tick (25 per second)
    Micros replyWait{200000};  // five ticks, as the controller waits before it polls again
    Micros probeGap{10000};    // between a probe's reply and the next probe
  };

  explicit Census(Settings settings);

  // The request to write now, framed, if one is due.
  std::optional<Bytes> Due(Micros now);
  // Bytes read from the machine and the time they arrived.
  void Received(std::span<const uint8_t> bytes, Micros at);
  // The latest time for the next call of Due().
  Micros WakeAt() const;
  bool Finished() const { return phase_ == Phase::Done; }
  const CensusResult& Result() const { return result_; }

  // The probe's requests in the order sent, framed.
  static std::vector<Bytes> ProbeRequests();

 private:
  enum class Phase : uint8_t { Probe, Poll, Transport, Done };
  struct Pending {
    Bytes request;
    Micros sentAt;
  };

  std::optional<Bytes> NextRequest(Micros now);
  void Handle(const Frame& frame);
  void Complete(const Frame* reply, Micros at);
  void CompleteProbe(const Frame* reply, Micros sentAt);
  void ScheduleNext(Micros sentAt, Micros doneAt);
  void TakeDeviceType(std::span<const uint8_t> reply);

  Settings settings_;
  Phase phase_ = Phase::Probe;
  std::optional<Micros> start_;
  std::optional<Pending> pending_;
  Micros nextSendAt_{0};
  Micros lastRead_{0};
  Micros pollEnd_{0};
  std::size_t probeIndex_ = 0;
  std::vector<Bytes> probes_;
  SonyPort pollPort_;  // only for building the controller's requests
  MessageFramer framer_;
  CensusTransport transport_;
  CensusResult result_;
};
