// One serial line opened by a one-shot run of the command line (census, send, port probe): the
// device at 38400 baud, 8 data bits, odd parity, 1 stop bit, read and written on the calling
// thread with poll(), no event loop. Times are taken from the monotonic clock in microseconds.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Clock.h"
#include "MessageFramer.h"
#include "PortMap.h"

class SerialDevice;

// The port a command-line option names (COMn, a device path, pty:<path> or a network port). Throws
// std::runtime_error for a text that names no port, and for the virtual cable, whose far end
// only a port of the same run can hold.
PortTarget CommandLineTarget(const std::string& text, std::string_view option);

// Reads and drops whatever the device holds now.
void DrainInput(SerialDevice& device);
// Writes every byte, waiting for room; throws std::runtime_error when the device fails.
void WriteAll(SerialDevice& device, std::span<const uint8_t> bytes);

// How long a one-shot run waits for the client of a pty: or listening port before it gives up.
constexpr std::chrono::milliseconds kClientWait{10000};

// Whether a port serving one client after another (pty:, a listening network port) has none now.
bool ClientLeft(SerialDevice& device);
// Waits up to `wait` for such a port's client; throws std::runtime_error naming `port` and what
// then did not happen (`consequence`). Other devices return at once.
void AwaitClient(SerialDevice& device, std::chrono::milliseconds wait, const std::string& port,
                 const std::string& consequence);

class LineExchange {
 public:
  // Opens and configures the device; throws std::exception with a message for the user.
  explicit LineExchange(const PortTarget& target);
  explicit LineExchange(std::unique_ptr<SerialDevice> device);
  ~LineExchange();

  // As the free function: a command-line run never reports work done for nobody.
  void AwaitClient(std::chrono::milliseconds wait, const std::string& port,
                   const std::string& consequence);
  void DropPendingInput();
  void WriteAll(std::span<const uint8_t> bytes);
  // Bytes read by `deadline`: what the first read brings, or nothing when the time ran out.
  std::vector<uint8_t> ReadUntil(Micros deadline);
  // Writes `request` and returns the first frame back within `wait`; `sentAt` is taken before
  // the write, as a machine on this computer may answer before the write returns.
  std::optional<Frame> Exchange(std::span<const uint8_t> request, Micros wait, Micros& sentAt);

 private:
  std::unique_ptr<SerialDevice> device_;
};
