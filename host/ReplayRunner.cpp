#include "ReplayRunner.h"

#include <poll.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <stdexcept>

#include "Clock.h"
#include "LineExchange.h"
#include "PortMap.h"
#include "SerialDevice.h"
#include "SerialErrors.h"
#include "sonyname.h"

namespace {

std::string Described(const std::vector<uint8_t>& bytes, MessageDecoder& decoder) {
  return HexBytes(bytes) + decoder.Decode(bytes);  // each byte is followed by a space
}

}  // namespace

ReplayRunner::ReplayRunner(const ProgramOptions& options, std::ostream& out,
                           std::chrono::milliseconds clientWait)
    : options_(options), out_(out), clientWait_(clientWait) {}

ReplayRunner::~ReplayRunner() = default;

void ReplayRunner::Start() {
  exchanges_ = ReplayExchanges(CaptureReader::ReadFile(*options_.replay, &warnings_),
                               options_.from.value_or(""));
  if (exchanges_.empty()) throw std::runtime_error("the capture holds no request to play");
  const PortTarget target = CommandLineTarget(*options_.portB, "a replay");
  try {
    device_ = OpenSerialDevice(target);
  } catch (const ESerialException& e) {
    throw std::runtime_error("cannot open " + *options_.portB + ": " + e.CommandLineText());
  }
  if (target.Network()) AwaitPeer(target);
  LineSettings settings;
  settings.baud = 38400;
  settings.parity = pOdd;
  device_->Configure(settings);  // a pty keeps no parity; that does not matter to the bytes
  ::AwaitClient(*device_, clientWait_, *options_.portB, "no request was played");
}

int ReplayRunner::Run() {
  std::vector<Micros> replyTimes;
  std::size_t differences = 0;
  for (std::size_t i = 0; i < exchanges_.size() && !stop; ++i) {
    const ReplayExchange& exchange = exchanges_[i];
    if (ClientLeft(*device_) || device_->DroppedBytes() > 0) {
      throw std::runtime_error("the client of " + *options_.portB + " left after " +
                               std::to_string(i) + " of " + std::to_string(exchanges_.size()) +
                               " exchanges; the rest were not played");
    }
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

// A request sent before the connection is made would be dropped and counted as a difference.
void ReplayRunner::AwaitPeer(const PortTarget& target) {
  const auto deadline = std::chrono::steady_clock::now() + kPeerWait;
  while (device_->AwaitingClient() && std::chrono::steady_clock::now() < deadline) {
    pollfd p{device_->PeerEventFd(), POLLIN, 0};
    device_->TakeHangUps(::poll(&p, 1, 100) > 0 ? p.revents : 0);
  }
  if (!device_->AwaitingClient()) return;
  std::string reason = "nobody connected";
  for (const std::string& note : device_->TakeNotes()) reason = note;
  throw std::runtime_error(target.Describe() + ": " + reason);
}

void ReplayRunner::DropPendingInput() { DrainInput(*device_); }

void ReplayRunner::WriteAll(const std::vector<uint8_t>& bytes) { ::WriteAll(*device_, bytes); }

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
    for (const std::string& warning : runner.Warnings())
      std::cerr << "selkietest: " << warning << std::endl;
    return runner.Run();
  } catch (const std::exception& e) {
    std::cerr << "selkietest: " << e.what() << std::endl;
    return 1;
  }
}
