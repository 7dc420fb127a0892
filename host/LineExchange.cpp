#include "LineExchange.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "SerialDevice.h"

PortTarget CommandLineTarget(const std::string& text, std::string_view option) {
  PortTarget target;
  if (const std::optional<int> number = PortMap::ComNumberOf(text)) {
    if (*number == 0)
      throw std::runtime_error("\"" + text + "\" is not a COM port (COM1 to COM65535)");
    target = PortMap::Resolve(*number);
  } else {
    target = PortMap::ParseTarget(text);
  }
  if (target.kind == PortTarget::Kind::None) {
    const std::string reason = PortMap::TargetError(text);
    throw std::runtime_error(!reason.empty() ? reason
                                             : "\"" + text +
                                                   "\" names no port: use COMn, a device path, "
                                                   "pty:<path> or a network port");
  }
  if (target.kind == PortTarget::Kind::Cable) {
    throw std::runtime_error("the virtual cable joins two ports of one selkietest; " +
                             std::string(option) + " cannot use it");
  }
  return target;
}

void DrainInput(SerialDevice& device) {
  uint8_t buffer[256];
  pollfd p{device.Fd(), POLLIN, 0};
  while (::poll(&p, 1, 0) > 0 && device.Read(buffer, sizeof buffer) > 0) {
  }
}

void WriteAll(SerialDevice& device, std::span<const uint8_t> bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = device.Write(bytes.data() + written, bytes.size() - written);
    if (n > 0) {
      written += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      throw std::runtime_error(std::string("writing to the port failed: ") + std::strerror(errno));
    } else {
      pollfd p{device.Fd(), POLLOUT, 0};
      ::poll(&p, 1, 100);
    }
  }
}

bool ClientLeft(SerialDevice& device) {
  pollfd p{device.Fd(), POLLIN, 0};
  ::poll(&p, 1, 0);
  device.TakeHangUps(p.revents);
  return device.AwaitingClient();
}

void AwaitClient(SerialDevice& device, std::chrono::milliseconds wait, const std::string& port,
                 const std::string& consequence) {
  const Micros deadline = Now() + std::chrono::duration_cast<Micros>(wait);
  while (ClientLeft(device)) {
    if (Now() >= deadline) {
      char seconds[32];
      std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(wait.count()) / 1e3);
      throw std::runtime_error("nothing opened " + port + " within " + seconds + " s; " +
                               consequence);
    }
    // Wakes at a client's open, or looks again shortly.
    pollfd opened{device.PeerEventFd(), POLLIN, 0};
    ::poll(&opened, opened.fd >= 0 ? 1 : 0, 20);
  }
}

namespace {

std::unique_ptr<SerialDevice> Opened(const PortTarget& target) {
  try {
    return OpenSerialDevice(target);
  } catch (const std::exception& e) {
    const std::string name =
        target.kind == PortTarget::Kind::Cable
            ? "the virtual cable end " + std::string(target.cableEnd ? "B" : "A")
            : target.path;
    throw std::runtime_error("cannot open " + name + ": " + e.what());
  }
}

}  // namespace

LineExchange::LineExchange(const PortTarget& target) : LineExchange(Opened(target)) {}

LineExchange::LineExchange(std::unique_ptr<SerialDevice> device) : device_(std::move(device)) {
  LineSettings settings;
  settings.baud = 38400;
  settings.parity = pOdd;
  device_->Configure(settings);  // a pty keeps no parity; that does not matter to the bytes
}

LineExchange::~LineExchange() = default;

void LineExchange::AwaitClient(std::chrono::milliseconds wait, const std::string& port,
                               const std::string& consequence) {
  ::AwaitClient(*device_, wait, port, consequence);
}

void LineExchange::DropPendingInput() { DrainInput(*device_); }

void LineExchange::WriteAll(std::span<const uint8_t> bytes) { ::WriteAll(*device_, bytes); }

std::vector<uint8_t> LineExchange::ReadUntil(Micros deadline) {
  for (Micros now = Now(); now < deadline; now = Now()) {
    pollfd p{device_->Fd(), POLLIN, 0};
    const timespec wait{static_cast<time_t>((deadline - now).count() / 1000000),
                        static_cast<long>((deadline - now).count() % 1000000 * 1000)};
    if (::ppoll(&p, 1, &wait, nullptr) <= 0) continue;
    uint8_t buffer[256];
    const ssize_t n = device_->Read(buffer, sizeof buffer);
    if (n > 0) return std::vector<uint8_t>(buffer, buffer + n);
    // A pty whose other side is not open (yet, or any more) reads as hung up: wait, not spin.
    if ((p.revents & (POLLHUP | POLLERR)) != 0) ::poll(nullptr, 0, 5);
  }
  return {};
}

std::optional<Frame> LineExchange::Exchange(std::span<const uint8_t> request, Micros wait,
                                            Micros& sentAt) {
  DropPendingInput();
  sentAt = Now();
  WriteAll(request);
  MessageFramer framer;
  const Micros deadline = sentAt + wait;
  while (Now() < deadline) {
    const std::vector<uint8_t> bytes = ReadUntil(deadline);
    if (bytes.empty()) continue;
    std::vector<Frame> frames = framer.Push(bytes, Now());
    if (!frames.empty()) return frames.front();
  }
  std::vector<Frame> rest = framer.Flush(deadline + MessageFramer::kQuietGap);
  if (!rest.empty()) return rest.front();
  return std::nullopt;
}
