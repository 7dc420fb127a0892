#include "TimeCodeLabel.h"

namespace vyotcode {
namespace {

constexpr int32_t kDropFps = 30;
constexpr int32_t kDropFirstMinute = 60 * kDropFps;         // 1800 labels: nothing skipped
constexpr int32_t kDropOtherMinute = kDropFirstMinute - 2;  // 1798 labels: 00 and 01 skipped
constexpr int32_t kDropTenMinutes = kDropFirstMinute + 9 * kDropOtherMinute;  // 17982

bool isSkippedDropLabel(const TimeCodeLabel &label) {
  return label.seconds == 0 && label.frames < 2 && label.minutes % 10 != 0;
}

TimeCodeLabel splitMinuteAndFrame(int32_t totalMinutes, int32_t frameInMinute, int32_t fps) {
  TimeCodeLabel label;
  label.hours = totalMinutes / 60;
  label.minutes = totalMinutes % 60;
  label.seconds = frameInMinute / fps;
  label.frames = frameInMinute % fps;
  return label;
}

TimeCodeLabel dropLabelOfFrames(int32_t frames) {
  const int32_t block = frames / kDropTenMinutes;
  const int32_t inBlock = frames % kDropTenMinutes;
  if (inBlock < kDropFirstMinute) return splitMinuteAndFrame(block * 10, inBlock, kDropFps);
  const int32_t afterFirst = inBlock - kDropFirstMinute;
  const int32_t minuteInBlock = 1 + afterFirst / kDropOtherMinute;
  // Labels of these minutes start at frame 02.
  const int32_t frameInMinute = afterFirst % kDropOtherMinute + 2;
  return splitMinuteAndFrame(block * 10 + minuteInBlock, frameInMinute, kDropFps);
}

bool fieldsInRange(const TimeCodeLabel &label, int32_t fps) {
  return label.hours >= 0 && label.hours <= 23 && label.minutes >= 0 && label.minutes <= 59 &&
         label.seconds >= 0 && label.seconds <= 59 && label.frames >= 0 && label.frames < fps;
}

}  // namespace

TimeCodeLabel labelOfFrames(int64_t frames, Standard standard) {
  const int32_t inDay = reduceToDay(frames, standard);
  if (standard == Standard::SmpteDropFrame) return dropLabelOfFrames(inDay);
  const int32_t fps = framesPerSecond(standard);
  const int32_t framesPerMinute = 60 * fps;
  return splitMinuteAndFrame(inDay / framesPerMinute, inDay % framesPerMinute, fps);
}

std::optional<int32_t> framesOfLabel(const TimeCodeLabel &label, Standard standard) {
  const int32_t fps = framesPerSecond(standard);
  if (!fieldsInRange(label, fps)) return std::nullopt;
  const int32_t totalMinutes = label.hours * 60 + label.minutes;
  const int32_t nominal = (totalMinutes * 60 + label.seconds) * fps + label.frames;
  if (standard != Standard::SmpteDropFrame) return nominal;
  const int32_t skippedBefore = 2 * (totalMinutes - totalMinutes / 10);
  const int32_t moveForward = isSkippedDropLabel(label) ? 2 - label.frames : 0;
  return nominal - skippedBefore + moveForward;
}

}  // namespace vyotcode
