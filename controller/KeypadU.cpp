#include "KeypadU.h"

#include <algorithm>

#include "TimecodeCalls.h"
#include "TimecodeMask.h"

namespace {

constexpr uint8_t kKeypadStandard = 0;  // the keypad counts in EBU whatever the machine's standard
constexpr const char* kZero = "00:00:00:00";

int LeftOf(int position) {
  switch (position) {
    case 0:
      return 0;
    case 1:
      return 0;
    case 3:
      return 1;
    case 4:
      return 3;
    case 6:
      return 4;
    case 7:
      return 6;
    case 9:
      return 7;
    case 10:
      return 9;
    default:
      return position - 1;
  }
}

int RightOf(int position) {
  switch (position) {
    case 0:
      return 1;
    case 1:
      return 3;
    case 3:
      return 4;
    case 4:
      return 6;
    case 6:
      return 7;
    case 7:
      return 9;
    case 9:
      return 10;
    case 10:
      return 10;
    default:
      return position + 1;
  }
}

}  // namespace

KeypadU::KeypadU() : entry_(kZero), remembered_(kZero) {}

void KeypadU::FormShow() {
  modalResult_ = kModalNone;
  if (remembered_.size() == static_cast<std::size_t>(timecode_mask::kEntryLength)) {
    entry_ = remembered_;
  } else {
    remembered_ = entry_;
  }
  caret_ = cursorPos_ >= 0 ? cursorPos_ : 0;
}

void KeypadU::EntryExit(int caret) {
  caret_ = std::clamp(caret, 0, timecode_mask::kEntryLength);
  cursorPos_ = caret_;
}

void KeypadU::SetEntryText(std::string_view text) { entry_ = timecode_mask::Conform(text); }

void KeypadU::ClearEntry() {
  entry_ = timecode_mask::BlankEntry();
  caret_ = 0;
}

void KeypadU::PasteEntry(std::string_view clipboard) {
  entry_ = timecode_mask::Paste(entry_, caret_, clipboard);
}

// After an accepted OK the stored position is -1: the field's own caret is the start then.
int KeypadU::StartPosition() const { return cursorPos_ >= 0 ? cursorPos_ : caret_; }

void KeypadU::PlaceCursor(int position) {
  caret_ = std::clamp(position, 0, timecode_mask::kEntryLength);
  cursorPos_ = caret_;
}

void KeypadU::kleftClick() { PlaceCursor(LeftOf(StartPosition())); }

void KeypadU::KrightClick() { PlaceCursor(RightOf(StartPosition())); }

void KeypadU::k0Click(int digit) {
  if (digit < 0 || digit > 9) return;
  int position = StartPosition();
  // A digit typed on a separator lands on the digit after it, as the mask skips literals.
  if (position < timecode_mask::kEntryLength && !timecode_mask::IsDigitPosition(position)) {
    ++position;
  }
  if (timecode_mask::IsDigitPosition(position)) {
    entry_[static_cast<std::size_t>(position)] = static_cast<char>('0' + digit);
  }
  PlaceCursor(RightOf(position));
}

void KeypadU::KResetClick() {
  entry_ = kZero;
  PlaceCursor(0);
}

void KeypadU::tcincClick() {
  entry_ = timecode_mask::Conform(timecode_calls::NextFrame(entry_, kKeypadStandard));
}

void KeypadU::tcdecClick() {
  entry_ = timecode_mask::Conform(timecode_calls::PreviousFrame(entry_, kKeypadStandard));
}

void KeypadU::knegateClick() {
  const int32_t frames = timecode_calls::TextToFrames(entry_, kKeypadStandard);
  const int32_t next = timecode_calls::SubtractFrames(0, frames, kKeypadStandard) + 1;
  const std::string text = timecode_calls::FramesToText(next, kKeypadStandard);
  entry_ = timecode_mask::Conform(timecode_calls::PreviousFrame(text, kKeypadStandard));
}

int KeypadU::FirstFault(std::string_view entry) {
  const std::string s = timecode_mask::Conform(entry);
  for (int i = 0; i < timecode_mask::kEntryLength; ++i) {
    const char c = s[static_cast<std::size_t>(i)];
    if (timecode_mask::IsDigitPosition(i) && c == timecode_mask::kBlank) return i;
    if (i == 0 && c > '2') return 0;
    if (i == 1 && s[0] == '2' && c > '3') return 1;
    if ((i == 3 || i == 6) && c > '5') return i;
    if (i == 9 && c > '2') return 9;
  }
  return -1;
}

bool KeypadU::kokClick() {
  cursorPos_ = -1;
  const int fault = FirstFault(entry_);
  if (fault >= 0) {
    caret_ = fault;
    return false;
  }
  remembered_ = entry_;
  modalResult_ = kModalOk;
  return true;
}

void KeypadU::BitBtn1Click() { modalResult_ = kModalAbort; }

bool KeypadU::EntryKeyPress(char key) {
  if (key == kEscape) {
    BitBtn1Click();
    return true;
  }
  if (key == kEnter) {
    kokClick();
    return true;
  }
  return false;
}
