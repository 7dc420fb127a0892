#include "SonyBridge.h"

#include "ReplayScript.h"

SonyBridge::SonyBridge(Micros started)
    : capture_(started), monitorA_(started), monitorB_(started, false) {}

BridgeOutput SonyBridge::FromEditor(std::span<const uint8_t> bytes, Micros at) {
  BridgeOutput out;
  for (const Frame& frame : fromEditor_.Push(bytes, at)) ToMachine(frame, at, out);
  return out;
}

BridgeOutput SonyBridge::FromMachine(std::span<const uint8_t> bytes, Micros at) {
  BridgeOutput out;
  for (const Frame& frame : fromMachine_.Push(bytes, at)) ToEditor(frame, at, out);
  return out;
}

BridgeOutput SonyBridge::Poll(Micros now) {
  BridgeOutput out;
  for (const Frame& frame : fromEditor_.Flush(now)) ToMachine(frame, now, out);
  for (const Frame& frame : fromMachine_.Flush(now)) ToEditor(frame, now, out);
  return out;
}

void SonyBridge::ToMachine(const Frame& frame, Micros at, BridgeOutput& out) {
  out.toMachine.insert(out.toMachine.end(), frame.bytes.begin(), frame.bytes.end());
  Frame sent = frame;
  sent.firstByte = sent.lastByte = at;
  out.captureLines.push_back(capture_.Line("A", Direction::Rx, frame));
  out.captureLines.push_back(capture_.Line("B", Direction::Tx, sent));
  out.decodedLines.push_back("A " + monitorA_.Received(frame));
  out.decodedLines.push_back("B " + monitorB_.Sent(sent, at));
  // Only a message asks for a reply; a new one leaves an unanswered one behind.
  if (frame.kind == FrameKind::Message) pending_ = Pending{frame.firstByte, at};
}

void SonyBridge::ToEditor(const Frame& frame, Micros at, BridgeOutput& out) {
  out.toEditor.insert(out.toEditor.end(), frame.bytes.begin(), frame.bytes.end());
  Frame sent = frame;
  sent.firstByte = sent.lastByte = at;
  out.captureLines.push_back(capture_.Line("B", Direction::Rx, frame));
  out.captureLines.push_back(capture_.Line("A", Direction::Tx, sent));
  out.decodedLines.push_back("B " + monitorB_.Received(frame));
  std::string toEditor = "A " + monitorA_.Sent(sent, at);
  // A message that had begun before the request went on is no answer to it.
  if (pending_ && frame.kind == FrameKind::Message && frame.firstByte >= pending_->forwarded) {
    const BridgeExchange exchange{
        frame.firstByte - pending_->forwarded,
        (pending_->forwarded - pending_->requestIn) + (at - frame.firstByte)};
    exchanges_.push_back(exchange);
    toEditor += "  machine " + MillisecondsText(exchange.machineReplyTime) + "  held " +
                MillisecondsText(exchange.bridgeDelay);
    pending_.reset();
  }
  out.decodedLines.push_back(std::move(toEditor));
}

std::string SonyBridge::Summary() const {
  std::vector<Micros> machine;
  std::vector<Micros> bridge;
  for (const BridgeExchange& e : exchanges_) {
    machine.push_back(e.machineReplyTime);
    bridge.push_back(e.bridgeDelay);
  }
  return std::to_string(exchanges_.size()) + " exchanges  machine: " + ReplyTimeSummary(machine) +
         "  held: " + ReplyTimeSummary(bridge);
}
