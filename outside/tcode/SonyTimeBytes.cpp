#include "SonyTimeBytes.h"

namespace vyotcode {
namespace {

constexpr uint8_t kFramesMask = 0x3F;
constexpr uint8_t kSecondsMask = 0x7F;
constexpr uint8_t kMinutesMask = 0x7F;
constexpr uint8_t kHoursMask = 0x3F;
constexpr uint8_t kDropFrameBit = 0x40;

std::optional<int32_t> fromBcd(uint8_t byte) {
  const int32_t tens = byte >> 4;
  const int32_t units = byte & 0x0F;
  if (tens > 9 || units > 9) return std::nullopt;
  return tens * 10 + units;
}

uint8_t toBcd(int32_t value) { return static_cast<uint8_t>(((value / 10) << 4) | (value % 10)); }

}  // namespace

std::optional<TimeCodeLabel> decodeSonyTimeBytes(const uint8_t *bytes) {
  const auto frames = fromBcd(bytes[0] & kFramesMask);
  const auto seconds = fromBcd(bytes[1] & kSecondsMask);
  const auto minutes = fromBcd(bytes[2] & kMinutesMask);
  const auto hours = fromBcd(bytes[3] & kHoursMask);
  if (!frames || !seconds || !minutes || !hours) return std::nullopt;
  return TimeCodeLabel{*hours, *minutes, *seconds, *frames};
}

void encodeSonyTimeBytes(uint8_t *bytes, const TimeCodeLabel &label, bool dropFrameFlag) {
  bytes[0] = static_cast<uint8_t>(toBcd(label.frames) | (dropFrameFlag ? kDropFrameBit : 0));
  bytes[1] = toBcd(label.seconds);
  bytes[2] = toBcd(label.minutes);
  bytes[3] = toBcd(label.hours);
}

}  // namespace vyotcode
