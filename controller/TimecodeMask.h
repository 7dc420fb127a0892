// The 11-character time-code entry "HH:MM:SS:FF" as an edit mask "!00:00:00:00;1;_" keeps it:
// digits at 0, 1, 3, 4, 6, 7, 9 and 10, fixed ":" at 2, 5 and 8. An unfilled digit position
// reads as a space (the mask's blank, as the field's text reports it).
#pragma once

#include <string>
#include <string_view>

namespace timecode_mask {

constexpr int kEntryLength = 11;
constexpr char kBlank = ' ';

// True for the eight positions that hold digits.
bool IsDigitPosition(int position);

// The empty field: "  :  :  :  ".
std::string BlankEntry();

// Fits any text into the mask position by position: a digit at a digit position stays, anything
// else there becomes blank; separators are always ":"; missing characters are blank, extra ones
// are dropped. An entry that already fits comes back unchanged.
std::string Conform(std::string_view text);

// Pastes text into entry (which must fit the mask) at position start, as a masked field does:
// each digit fills the next digit position, a ":" in the text is consumed where the mask has its
// separator, any other character is dropped; pasting stops at the end of the field.
std::string Paste(std::string_view entry, int start, std::string_view text);

// What the field reads after it is cleared and the clipboard text is pasted into it.
std::string FromClipboard(std::string_view clipboard);

}  // namespace timecode_mask
