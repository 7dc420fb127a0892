#include "TimecodeMask.h"

namespace timecode_mask {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool IsDigitPosition(int position) {
  return position >= 0 && position < kEntryLength && position % 3 != 2;
}

std::string BlankEntry() { return std::string("  :  :  :  "); }

std::string Conform(std::string_view text) {
  std::string entry = BlankEntry();
  for (int i = 0; i < kEntryLength && i < static_cast<int>(text.size()); ++i) {
    const char c = text[static_cast<std::size_t>(i)];
    if (IsDigitPosition(i) && IsDigit(c)) entry[static_cast<std::size_t>(i)] = c;
  }
  return entry;
}

std::string Paste(std::string_view entry, int start, std::string_view text) {
  std::string result = Conform(entry);
  int position = start < 0 ? 0 : start;
  std::size_t next = 0;
  while (position < kEntryLength && next < text.size()) {
    const char c = text[next];
    if (!IsDigitPosition(position)) {
      if (c == ':') ++next;  // the separator typed where the mask has one
      ++position;
    } else if (IsDigit(c)) {
      result[static_cast<std::size_t>(position)] = c;
      ++position;
      ++next;
    } else {
      ++next;  // the mask refuses it
    }
  }
  return result;
}

std::string FromClipboard(std::string_view clipboard) { return Paste(BlankEntry(), 0, clipboard); }

}  // namespace timecode_mask
