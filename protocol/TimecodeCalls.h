// Thin C++ wrappers over the time-code library's length-prefixed text calls.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace timecode_calls {

// Frame count of a time-code text in the standard.
int32_t TextToFrames(std::string_view text, uint8_t standard);
// "HH:MM:SS:FF" of a frame count.
std::string FramesToText(int32_t frames, uint8_t standard);
// The time code one frame later / earlier.
std::string NextFrame(std::string_view text, uint8_t standard);
std::string PreviousFrame(std::string_view text, uint8_t standard);
// (a - b) modulo the day's length.
int32_t SubtractFrames(int32_t a, int32_t b, uint8_t standard);
// Writes the four Sony time bytes of a text at buffer[index..index+3].
void TextToSony(std::string_view text, uint8_t* buffer, int32_t index, uint8_t standard);

}  // namespace timecode_calls
