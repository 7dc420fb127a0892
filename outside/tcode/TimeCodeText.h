// Length-prefixed time-code texts "HH:MM:SS:FF": one length byte, then the characters.
#ifndef VYO_TIMECODE_TEXT_H
#define VYO_TIMECODE_TEXT_H

#include <cstdint>
#include <optional>

#include "TimeCodeLabel.h"

namespace vyotcode {

// Reads a label from a length-prefixed text, looking at no byte beyond the length.
// Accepted: blanks (space, tab, CR, LF) around exactly "DD:DD:DD?DD" where ? is ':', ';', '.'
// or ','. Anything else, or a null text, gives nothing. Field ranges are not checked here.
std::optional<TimeCodeLabel> parseTimeCodeText(const uint8_t *text);

// Writes "HH:MM:SS:FF" as a length-prefixed text into out, followed by a zero byte so C callers
// may also read out + 1 as a C string (13 bytes written in all).
void writeTimeCodeText(uint8_t *out, const TimeCodeLabel &label);

}  // namespace vyotcode

#endif
