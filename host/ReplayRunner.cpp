#include "ReplayRunner.h"

#include <poll.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <stdexcept>

#include "Clock.h"
#include "PortMap.h"
#include "SerialDevice.h"
#include "sonyname.h"

namespace {

// COMn, a device path or pty:<path>, as --port-b names it.
PortTarget TargetOf(const std::string& text) {
  PortTarget target;
  if (const std::optional<int> number = PortMap::ComNumberOf(text)) {
    if (*number == 0)
      throw std::runtime_error("\"" + text + "\" is not a COM port (COM1 to COM65535)");
    target = PortMap::Resolve(*number);
  } else {
    target = PortMap::ParseTarget(text);
  }
  if (target.kind == PortTarget::Kind::None) {
    throw std::runtime_error("\"" + text +
                             "\" names no port: use COMn, a device path or pty:<path>");
  }
  if (target.kind == PortTarget::Kind::Cable) {
    throw std::runtime_error(
        "the virtual cable joins two ports of one selkietest; a replay cannot use it");
  }
  return target;
}

std::string Described(const std::vector<uint8_t>& bytes, MessageDecoder& decoder) {
  return HexBytes(bytes) + decoder.Decode(bytes);  // each byte is followed by a space
}

}  // namespace

ReplayRunner::ReplayRunner(const ProgramOptions& options, std::ostream& out)
    : options_(options), out_(out) {}

ReplayRunner::~ReplayRunner() = default;

void ReplayRunner::Start() {
  exchanges_ = ReplayExchanges(CaptureReader::ReadFile(*options_.replay));
  if (exchanges_.empty()) throw std::runtime_error("the capture holds no request to play");
  device_ = OpenSerialDevice(TargetOf(*options_.portB));
  LineSettings settings;
  settings.baud = 38400;
  settings.parity = pOdd;
  device_->Configure(settings);  // a pty keeps no parity; that does not matter to the bytes
}

int ReplayRunner::Run() {
  std::vector<Micros> replyTimes;
  std::size_t differences = 0;
  for (std::size_t i = 0; i < exchanges_.size() && !stop; ++i) {
    const ReplayExchange& exchange = exchanges_[i];
    Micros sentAt{0};
    const std::optional<Frame> reply = Exchange(exchange.request, sentAt);
    if (reply) replyTimes.push_back(reply->firstByte - sentAt);
    const std::optional<std::vector<uint8_t>> actual =
        reply ? std::optional(reply->bytes) : std::nullopt;
    const bool matches = RepliesMatch(exchange.reply, actual, options_.exact);
    if (!matches) {
      ++differences;
      Report(i, exchange, reply);
    }
    if (onExchange)
      onExchange({&exchange, reply, reply ? reply->firstByte - sentAt : Micros(0), matches});
  }
  out_ << "replay: " << exchanges_.size() << " exchanges, " << differences << " differ"
       << (options_.exact ? " (exact)" : "") << "\n";
  out_ << "reply time: " << ReplyTimeSummary(replyTimes) << "\n";
  out_.flush();
  return differences == 0 ? 0 : 1;
}

// Writes the request and waits for the first frame back.
std::optional<Frame> ReplayRunner::Exchange(const std::vector<uint8_t>& request, Micros& sentAt) {
  DropPendingInput();
  // Taken before the write: a machine on this computer may answer before the write returns.
  sentAt = Now();
  WriteAll(request);
  MessageFramer framer;
  const Micros deadline = sentAt + std::chrono::duration_cast<Micros>(kReplyWait);
  for (Micros now = sentAt; now < deadline; now = Now()) {
    pollfd p{device_->Fd(), POLLIN, 0};
    const auto waitMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    if (::poll(&p, 1, static_cast<int>(waitMs) + 1) <= 0) continue;
    uint8_t buffer[64];
    const ssize_t n = device_->Read(buffer, sizeof buffer);
    if (n <= 0) continue;
    std::vector<Frame> frames =
        framer.Push(std::span<const uint8_t>(buffer, static_cast<std::size_t>(n)), Now());
    if (!frames.empty()) return frames.front();
  }
  std::vector<Frame> rest = framer.Flush(deadline + MessageFramer::kQuietGap);
  if (!rest.empty()) return rest.front();
  return std::nullopt;
}

void ReplayRunner::DropPendingInput() {
  uint8_t buffer[256];
  pollfd p{device_->Fd(), POLLIN, 0};
  while (::poll(&p, 1, 0) > 0 && device_->Read(buffer, sizeof buffer) > 0) {
  }
}

void ReplayRunner::WriteAll(const std::vector<uint8_t>& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = device_->Write(bytes.data() + written, bytes.size() - written);
    if (n > 0) {
      written += static_cast<std::size_t>(n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      throw std::runtime_error(std::string("writing to the port failed: ") + std::strerror(errno));
    } else {
      pollfd p{device_->Fd(), POLLOUT, 0};
      ::poll(&p, 1, 100);
    }
  }
}

void ReplayRunner::Report(std::size_t index, const ReplayExchange& exchange,
                          const std::optional<Frame>& reply) {
  MessageDecoder decoder;
  out_ << "#" << index + 1 << " " << decoder.Decode(exchange.request) << "\n";
  out_ << "  captured " << (exchange.reply ? Described(*exchange.reply, decoder) : "no reply")
       << "\n";
  out_ << "  replied  " << (reply ? Described(reply->bytes, decoder) : "no reply") << "\n";
}

int RunReplay(const ProgramOptions& options) {
  ReplayRunner runner(options, std::cout);
  try {
    runner.Start();
  } catch (const std::exception& e) {
    std::cerr << "selkietest: " << e.what() << std::endl;
    return 2;
  }
  try {
    return runner.Run();
  } catch (const std::exception& e) {
    std::cerr << "selkietest: " << e.what() << std::endl;
    return 2;
  }
}
