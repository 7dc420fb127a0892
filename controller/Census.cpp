#include "Census.h"

#include <algorithm>

#include "CommandTable.h"
#include "MessageDecoder.h"
#include "PollSequencer.h"

using namespace sony;

namespace {

Bytes Framed(Bytes body) {
  body.push_back(Checksum(body.data(), body.size()));
  return body;
}

double Ms(Micros d) { return static_cast<double>(d.count()) / 1000.0; }

// What each kind of CURRENT TIME SENSE asks for.
constexpr uint8_t kTimeSelects[] = {kSenseLtc, kSenseVitc, kSenseTimer1, kSenseTimer2,
                                    kSenseExtended};

void AddProbesOf(const CommandInfo& info, std::vector<Bytes>& probes) {
  switch (info.layout) {
    case DataLayout::TimeSelect:
      for (uint8_t select : kTimeSelects)
        probes.push_back(Framed({Cmd1(info.group, 1), info.cmd2, select}));
      break;
    case DataLayout::StatusRange:
      // Every first byte S0..S15 with every count that stays inside S15 (15 bytes at most).
      for (int start = 0; start < 16; ++start) {
        for (int count = 1; count <= 15 && start + count <= 16; ++count) {
          probes.push_back(
              Framed({Cmd1(info.group, 1), info.cmd2, static_cast<uint8_t>(start << 4 | count)}));
        }
      }
      break;
    case DataLayout::PresetRange:
      probes.push_back(Framed({Cmd1(info.group, 1), info.cmd2, 0x01}));
      probes.push_back(Framed({Cmd1(info.group, 1), info.cmd2, kEditPresetBytes}));
      break;
    default:
      probes.push_back(Framed({Cmd1(info.group, 0), info.cmd2}));
      break;
  }
}

ReplyKind KindOf(std::span<const uint8_t> reply) {
  if (reply[0] == Cmd1(kSystemReply, 0) && reply[1] == kAck) return ReplyKind::Ack;
  if (GroupOf(reply[0]) == kSystemReply && reply[1] == kNak) return ReplyKind::Nak;
  return ReplyKind::Data;
}

// Text of the bytes without the checksum: "61 20 05".
std::string RequestText(const Bytes& request) {
  std::string text = HexBytes(std::span(request.data(), request.size() - 1));
  if (!text.empty()) text.pop_back();
  return text;
}

}  // namespace

std::vector<Bytes> Census::ProbeRequests() {
  std::vector<Bytes> probes = {Framed({Cmd1(kSystemControl, 0), kDeviceTypeRequest})};
  for (const CommandInfo& info : CommandTable()) {
    if (!info.asks || (info.group == kSystemControl && info.cmd2 == kDeviceTypeRequest)) continue;
    AddProbesOf(info, probes);
  }
  return probes;
}

Census::Census(Settings settings) : settings_(settings), probes_(ProbeRequests()) {
  result_.transportOn = settings.transport;
}

std::optional<Bytes> Census::Due(Micros now) {
  if (!start_) start_ = now;
  // Bytes of a reply that never completed are no reply.
  if (framer_.Pending()) {
    for (const Frame& frame : framer_.Flush(now)) Handle(frame);
  }
  if (pending_ && now - pending_->sentAt >= settings_.replyWait) Complete(nullptr, now);
  if (pending_ || Finished() || now < nextSendAt_) return std::nullopt;
  std::optional<Bytes> request = NextRequest(now);
  if (request) pending_ = Pending{*request, now};
  return request;
}

std::optional<Bytes> Census::NextRequest(Micros now) {
  if (phase_ == Phase::Probe) {
    if (probeIndex_ < probes_.size()) return probes_[probeIndex_];
    phase_ = Phase::Poll;
    pollEnd_ = now + settings_.pollFor;
    result_.pollSeconds = std::chrono::duration<double>(settings_.pollFor).count();
  }
  if (phase_ == Phase::Poll) {
    if (now < pollEnd_) {
      PollSequencer::LoadRequest(pollPort_, result_.polls % PollSequencer::kSteps);
      return FrameTx(pollPort_);
    }
    phase_ = settings_.transport ? Phase::Transport : Phase::Done;
  }
  if (phase_ == Phase::Transport) {
    if (std::optional<Bytes> request = transport_.Next(now)) return request;
    result_.transport = transport_.Checks();
    phase_ = Phase::Done;
  }
  return std::nullopt;
}

void Census::Received(std::span<const uint8_t> bytes, Micros at) {
  lastRead_ = at;
  for (const Frame& frame : framer_.Push(bytes, at)) Handle(frame);
}

Micros Census::WakeAt() const {
  Micros at = pending_ ? pending_->sentAt + settings_.replyWait : nextSendAt_;
  if (framer_.Pending()) at = std::min(at, lastRead_ + MessageFramer::kQuietGap);
  return at;
}

void Census::Handle(const Frame& frame) {
  switch (frame.kind) {
    case FrameKind::Debris:
      result_.strayBytes += static_cast<int>(frame.bytes.size());
      break;
    case FrameKind::BadChecksum:
      // A garbled reply ends the exchange: it is counted here, not as a timeout.
      ++result_.checksumErrors;
      if (pending_) Complete(&frame, frame.lastByte);
      break;
    case FrameKind::Message:
      if (pending_) {
        Complete(&frame, frame.lastByte);
      } else {
        ++result_.unasked;
      }
      break;
  }
}

void Census::Complete(const Frame* reply, Micros at) {
  const Pending pending = *pending_;
  pending_.reset();
  const bool good = reply != nullptr && reply->kind == FrameKind::Message;
  if (good) {
    const CensusPhase phase = phase_ == Phase::Probe  ? CensusPhase::Probe
                              : phase_ == Phase::Poll ? CensusPhase::Poll
                                                      : CensusPhase::Transport;
    result_.replies.push_back(
        {phase, std::chrono::duration<double>(pending.sentAt - *start_).count(),
         Ms(reply->firstByte - pending.sentAt), Ms(reply->lastByte - pending.sentAt)});
    if (GroupOf(reply->bytes[0]) == kSystemReply && reply->bytes[1] == kDeviceType)
      TakeDeviceType(reply->bytes);
  }
  switch (phase_) {
    case Phase::Probe:
      CompleteProbe(good ? reply : nullptr, pending.sentAt);
      if (reply != nullptr && !good) result_.commands.back().replyText = "bad checksum";
      ++probeIndex_;
      nextSendAt_ = at + settings_.probeGap;
      return;
    case Phase::Poll:
      ++result_.polls;
      if (reply == nullptr) ++result_.timeouts;
      break;
    case Phase::Transport:
      if (good) {
        transport_.Reply(reply->bytes, reply->firstByte);
      } else {
        if (reply == nullptr) ++result_.timeouts;
        transport_.NoReply();
      }
      break;
    case Phase::Done:
      return;
  }
  ScheduleNext(pending.sentAt, at);
}

void Census::CompleteProbe(const Frame* reply, Micros sentAt) {
  const Bytes& request = probes_[probeIndex_];
  ProbeEntry entry;
  entry.request = RequestText(request);
  entry.name = DecodeMessage(request);
  if (reply != nullptr) {
    entry.reply = KindOf(reply->bytes);
    if (entry.reply == ReplyKind::Nak && reply->bytes.size() > 3) entry.nakBits = reply->bytes[2];
    entry.replyMs = Ms(reply->firstByte - sentAt);
    entry.replyText = DecodeMessage(reply->bytes);
  }
  result_.commands.push_back(std::move(entry));
}

void Census::ScheduleNext(Micros sentAt, Micros doneAt) {
  // The next frame tick after the exchange ended, as the controller polls.
  const auto ticks =
      std::max<int64_t>(1, (doneAt - sentAt + settings_.tick - Micros{1}) / settings_.tick);
  nextSendAt_ = sentAt + ticks * settings_.tick;
}

void Census::TakeDeviceType(std::span<const uint8_t> reply) {
  if (!result_.deviceType.empty() || reply.size() < 5) return;
  std::string data = HexBytes(reply.subspan(2, reply.size() - 3));
  data.pop_back();
  result_.deviceType = data;
  SonyMessage message;
  std::copy(reply.begin(), reply.end(), message.bytes.begin());
  result_.deviceName = DeviceTypeName(message, false);
  // The standard rides in the low bits of the first byte: EBU 1, 24P 2, SMPTE 0.
  const uint8_t standard = reply[2] & 0x03;
  transport_.SetFrameRate(standard == 1 ? 25 : standard == 2 ? 24 : 30);
}
