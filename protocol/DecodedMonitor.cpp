#include "DecodedMonitor.h"

#include <cstdio>

#include "sonyname.h"

std::string MillisecondsText(Micros duration) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f ms", static_cast<double>(duration.count()) / 1000.0);
  return text;
}

std::string DecodedMonitor::Received(std::span<const uint8_t> bytes, Micros lastByteIn) {
  requestEnd_ = lastByteIn;
  return Line(lastByteIn, "Rx", bytes);
}

std::string DecodedMonitor::Sent(std::span<const uint8_t> bytes, Micros firstByteOut) {
  std::string line = Line(firstByteOut, "Tx", bytes);
  if (requestEnd_) {
    line += "  reply " + MillisecondsText(firstByteOut - *requestEnd_);
    requestEnd_.reset();
  }
  return line;
}

std::string DecodedMonitor::Line(Micros at, const char* direction, std::span<const uint8_t> bytes) {
  const long long us = static_cast<long long>((at - opened_).count());
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%10lld.%06lld %s ", us / 1000000, (us < 0 ? -us : us) % 1000000,
                direction);
  std::string line = stamp;
  line += HexBytes(bytes);
  line += ' ';
  line += decoder_.Decode(bytes);
  return line;
}
