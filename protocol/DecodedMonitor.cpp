#include "DecodedMonitor.h"

#include <cstdio>

#include "CaptureFile.h"
#include "sonyname.h"

std::string MillisecondsText(Micros duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f ms", static_cast<double>(duration.count()) / 1000.0);
  return text;
}

std::string DecodedMonitor::Received(const Frame& frame) {
  // Only a message asks for a reply.
  if (answering_ && frame.kind == FrameKind::Message) requestEnd_ = frame.lastByte;
  return Line(frame.lastByte, "Rx", frame);
}

std::string DecodedMonitor::Sent(const Frame& frame, Micros firstByteOut) {
  std::string line = Line(firstByteOut, "Tx", frame);
  if (requestEnd_) {
    line += "  read-to-write " + MillisecondsText(firstByteOut - *requestEnd_);
    requestEnd_.reset();
  }
  return line;
}

std::string DecodedMonitor::Line(Micros at, const char* direction, const Frame& frame) {
  const long long us = static_cast<long long>((at - opened_).count());
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%10lld.%06lld %s ", us / 1000000,
                (us < 0 ? -us : us) % 1000000, direction);
  std::string line = stamp;
  line += HexBytes(frame.bytes);
  line += ' ';
  line += DecodeFrame(decoder_, frame);
  return line;
}
