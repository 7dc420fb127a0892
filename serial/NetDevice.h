// The common part of the network ports (tcp:, tcp-listen:, rfc2217://, rfc2217-listen:): one
// connection at a time, made by a NetDialer or taken from a NetListener.
//
// The port watches an epoll set that never changes, holding whatever the device waits on at the
// moment (the listening socket, the connection, the dialer's timer and look-up), and the device
// does its own work whenever the port calls it. Every call comes from the
// port's loop thread. Writes never block and are always taken:
// what the peer cannot take yet waits in a queue; a peer that lets it grow past kMaxQueued is
// dropped with a note; without a connection the bytes are dropped and counted.
//
// A connection's end is a hang-up for the port (as the last client leaving a pty: port): both
// directions are emptied. A connecting port notes the loss and then the return once each, and
// tries again meanwhile; a listening port serves the next client, and refuses a second one
// while one is connected, with a note naming it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "NetDialer.h"
#include "NetListener.h"
#include "SerialDevice.h"
#include "WakeEvent.h"

class NetDevice : public SerialDevice {
 public:
  static constexpr std::size_t kMaxQueued = 256 * 1024;

  explicit NetDevice(const PortTarget& target);
  ~NetDevice() override;

  int Fd() const override { return epoll_; }
  int ModemEventFd() const override { return modemEvent_.Fd(); }
  void AckModemEvent() override { modemEvent_.Clear(); }
  int LinePollMs() const override { return 0; }  // ModemEventFd tells every change
  ssize_t Read(uint8_t* buffer, std::size_t size) override;
  ssize_t Write(const uint8_t* data, std::size_t size) override;
  std::vector<std::string> Configure(const LineSettings&) override { return {}; }
  bool ReadLines(LineSample& sample) override;
  bool SetDTR(bool) override { return true; }
  bool SetRTS(bool) override { return true; }
  void FlushInput() override;
  std::vector<std::string> TakeNotes() override;
  bool NotesWaiting() const override { return !notes_.empty(); }
  bool HangupMeansLost() const override { return false; }
  // Without a connection the port watches a second descriptor of the same epoll set (one
  // descriptor is never watched twice), so a client or a reconnect still wakes it.
  bool AwaitingClient() const override { return socket_ < 0; }
  int PeerEventFd() const override { return peerEpoll_; }
  int PeerPollMs() const override { return 1000; }  // PeerEventFd tells everything
  int TakeHangUps(short revents) override;
  uint64_t DroppedBytes() const override { return dropped_; }

 protected:
  // Hooks.
  virtual void OnConnected() {}
  virtual void OnDisconnected() {}
  // Received bytes into data bytes (appended to `data`).
  virtual void Decode(const uint8_t* raw, std::size_t size, std::vector<uint8_t>& data) {
    data.insert(data.end(), raw, raw + size);
  }
  // Data bytes into bytes for the wire (appended to `wire`).
  virtual void Encode(const uint8_t* data, std::size_t size, std::vector<uint8_t>& wire) {
    wire.insert(wire.end(), data, data + size);
  }
  virtual void Lines(LineSample& sample) { sample = {}; }

  // Queues bytes for the wire as they are (protocol bytes) and sends what the peer takes.
  void SendWire(std::vector<uint8_t>& bytes);
  void Note(const std::string& text) { notes_.push_back(text); }
  void SignalLines() { modemEvent_.Signal(); }
  bool IsConnected() const { return socket_ >= 0; }

 private:
  void Service();
  void HandleReady(int fd, uint32_t events);
  void Adopt(int socket, const std::string& peer);
  void AcceptClients();
  void Drop(const std::string& reason);
  void Flush();
  void WatchOutput(bool on);
  ssize_t Receive(uint8_t* buffer, std::size_t size);

  std::string where_;  // HOST:PORT, for notes
  int epoll_ = -1;
  int peerEpoll_ = -1;  // dup of epoll_
  WakeEvent wake_;      // a departure to tell; keeps the epoll set readable until taken
  WakeEvent modemEvent_;
  std::unique_ptr<NetListener> listener_;
  std::unique_ptr<NetDialer> dialer_;
  int socket_ = -1;
  std::string peer_;
  bool watchingOutput_ = false;
  bool outage_ = false;  // a connecting port lost or never had its connection
  bool everConnected_ = false;
  std::vector<uint8_t> queued_;
  std::size_t queuedFrom_ = 0;  // bytes of queued_ already sent
  std::vector<uint8_t> scratch_;
  std::vector<uint8_t> data_;
  std::vector<std::string> notes_;
  int departures_ = 0;
  uint64_t dropped_ = 0;
};
