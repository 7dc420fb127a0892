#include "TimeCodeText.h"

#include <string_view>

namespace vyotcode {
namespace {

constexpr std::size_t kLabelLength = 11;  // "HH:MM:SS:FF"

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::optional<int32_t> twoDigits(std::string_view text, std::size_t at) {
  const char tens = text[at];
  const char units = text[at + 1];
  if (tens < '0' || tens > '9' || units < '0' || units > '9') return std::nullopt;
  return (tens - '0') * 10 + (units - '0');
}

bool isLastSeparator(char c) { return c == ':' || c == ';' || c == '.' || c == ','; }

void putTwoDigits(uint8_t *out, int32_t value) {
  out[0] = static_cast<uint8_t>('0' + value / 10);
  out[1] = static_cast<uint8_t>('0' + value % 10);
}

}  // namespace

std::optional<TimeCodeLabel> parseTimeCodeText(const uint8_t *text) {
  if (text == nullptr) return std::nullopt;
  const std::string_view body =
      trimBlanks(std::string_view(reinterpret_cast<const char *>(text + 1), text[0]));
  if (body.size() != kLabelLength || body[2] != ':' || body[5] != ':' || !isLastSeparator(body[8]))
    return std::nullopt;
  const auto hours = twoDigits(body, 0);
  const auto minutes = twoDigits(body, 3);
  const auto seconds = twoDigits(body, 6);
  const auto frames = twoDigits(body, 9);
  if (!hours || !minutes || !seconds || !frames) return std::nullopt;
  return TimeCodeLabel{*hours, *minutes, *seconds, *frames};
}

void writeTimeCodeText(uint8_t *out, const TimeCodeLabel &label) {
  out[0] = kLabelLength;
  putTwoDigits(out + 1, label.hours);
  out[3] = ':';
  putTwoDigits(out + 4, label.minutes);
  out[6] = ':';
  putTwoDigits(out + 7, label.seconds);
  out[9] = ':';
  putTwoDigits(out + 10, label.frames);
  out[12] = 0;
}

}  // namespace vyotcode
