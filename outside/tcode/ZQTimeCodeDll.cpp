// The exported C interface of libVyoTCode.so. Everything else in the library stays hidden.
#pragma GCC visibility push(default)
#include "ZQTimeCodeDll.h"
#pragma GCC visibility pop

#include "SonyTimeBytes.h"
#include "TimeCodeLabel.h"
#include "TimeCodeStandard.h"
#include "TimeCodeText.h"

using namespace vyotcode;

namespace {

int32_t framesOfText(const uint8_t *text, Standard standard) {
  const auto label = parseTimeCodeText(text);
  return label ? framesOfLabel(*label, standard).value_or(0) : 0;
}

void writeFramesAsText(uint8_t *out, int64_t frames, Standard standard) {
  if (out != nullptr) writeTimeCodeText(out, labelOfFrames(frames, standard));
}

void writeFramesAsSony(uint8_t *buffer, int32_t index, int64_t frames, Standard standard) {
  if (buffer == nullptr || index < 0) return;
  encodeSonyTimeBytes(buffer + index, labelOfFrames(frames, standard),
                      standard == Standard::SmpteDropFrame);
}

}  // namespace

int32_t str2frms(const uint8_t *text, uint8_t standard) {
  return framesOfText(text, standardFromCode(standard));
}

void frms2str(uint8_t *out, int32_t frames, uint8_t standard) {
  writeFramesAsText(out, frames, standardFromCode(standard));
}

void inctcstr(uint8_t *out, const uint8_t *in, uint8_t standard) {
  const Standard std = standardFromCode(standard);
  writeFramesAsText(out, int64_t{framesOfText(in, std)} + 1, std);
}

void dectcstr(uint8_t *out, const uint8_t *in, uint8_t standard) {
  const Standard std = standardFromCode(standard);
  writeFramesAsText(out, int64_t{framesOfText(in, std)} - 1, std);
}

int32_t addfrms(int32_t a, int32_t b, uint8_t standard) {
  const Standard std = standardFromCode(standard);
  return reduceToDay(int64_t{reduceToDay(a, std)} + reduceToDay(b, std), std);
}

int32_t subfrms(int32_t a, int32_t b, uint8_t standard) {
  const Standard std = standardFromCode(standard);
  return reduceToDay(int64_t{reduceToDay(a, std)} - reduceToDay(b, std), std);
}

int32_t Sony2frms(const uint8_t *buffer, int32_t index, uint8_t standard) {
  if (buffer == nullptr || index < 0) return 0;
  const auto label = decodeSonyTimeBytes(buffer + index);
  return label ? framesOfLabel(*label, standardFromCode(standard)).value_or(0) : 0;
}

void frms2Sony(int32_t frames, uint8_t standard, int32_t index, uint8_t *buffer) {
  writeFramesAsSony(buffer, index, frames, standardFromCode(standard));
}

void string2p2(const uint8_t *text, uint8_t *buffer, int32_t index, uint8_t standard) {
  const Standard std = standardFromCode(standard);
  writeFramesAsSony(buffer, index, framesOfText(text, std), std);
}

int32_t frmspersec(uint8_t standard) { return framesPerSecond(standardFromCode(standard)); }

uint32_t frms2hmsfCard(int32_t frames, uint8_t standard) {
  const TimeCodeLabel label = labelOfFrames(frames, standardFromCode(standard));
  return static_cast<uint32_t>(label.hours) << 24 | static_cast<uint32_t>(label.minutes) << 16 |
         static_cast<uint32_t>(label.seconds) << 8 | static_cast<uint32_t>(label.frames);
}
