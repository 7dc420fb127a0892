// KeypadU: the logic of the time-code keypad window ("Keypad"), free of any widget.
//
// The window owns one KeypadU for the life of the program and mirrors it after every call:
// the entry field shows EntryText() (always 11 characters "HH:MM:SS:FF", blanks as spaces) with
// its caret at Caret(); the window closes when ModalResult() becomes kModalOk or kModalAbort.
// Handlers carry the names of the window's controls. All time-code arithmetic uses standard 0.
//
// Typical use by a caller (the controller's Goto, the virtual machine's Goto):
//   keypad.FormShow();                  // entry := Remembered(), caret to CursorPos()
//   ... user clicks, forwarded as k0Click(d), kleftClick(), kokClick(), ...
//   if (keypad.ModalResult() == KeypadU::kModalOk) use(keypad.EntryText());
#pragma once

#include <string>
#include <string_view>

class KeypadU {
 public:
  static constexpr int kModalNone = 0;  // shown, not closed yet
  static constexpr int kModalOk = 1;
  static constexpr int kModalAbort = 3;
  static constexpr char kEscape = 27;
  static constexpr char kEnter = 13;

  KeypadU();

  // The entry field's text: exactly 11 characters, ":" at 2, 5 and 8.
  const std::string& EntryText() const { return entry_; }
  // Where the field's caret stands (0..11).
  int Caret() const { return caret_; }
  // Where the next digit goes (0..10); -1 right after an accepted OK.
  int CursorPos() const { return cursorPos_; }
  // The last time code accepted with OK; "00:00:00:00" at creation.
  const std::string& Remembered() const { return remembered_; }
  int ModalResult() const { return modalResult_; }

  // Showing the window: the entry takes Remembered(), the caret goes to CursorPos() (or stays at
  // 0 when that is -1), the modal result is reset.
  void FormShow();

  // Focus left the field with its caret at caret: the next digit or move starts there.
  void EntryExit(int caret);
  // The user typed into the field; text is fitted into the mask position by position.
  void SetEntryText(std::string_view text);
  // Used without showing the window: empty the field, paste the clipboard text into it at the
  // start (filtered as the mask does, see TimecodeMask.h).
  void ClearEntry();
  void PasteEntry(std::string_view clipboard);

  void kleftClick();        // "<": previous digit position
  void KrightClick();       // ">": next digit position
  void k0Click(int digit);  // "0".."9": write at CursorPos, then move right; other values ignored
  void KResetClick();       // "RESET": 00:00:00:00, cursor 0
  void tcincClick();        // "+": one frame later
  void tcdecClick();        // "-": one frame earlier
  void knegateClick();      // "NEG": the time code as many frames before midnight
  // "OK": true when the entry is valid (Remembered := entry, CursorPos := -1, result OK);
  // false leaves the window open with the caret on the leftmost faulty digit.
  bool kokClick();
  void BitBtn1Click();  // "Abort": close with Abort
  // A key pressed in the field: Esc aborts, Enter acts as OK; true when the key was handled.
  bool EntryKeyPress(char key);

  // Index of the leftmost invalid digit of an entry, or -1 when valid: tens of hours 0..2 (hours
  // up to 23), tens of minutes and seconds 0..5, tens of frames 0..2, and every digit position
  // holding a digit.
  static int FirstFault(std::string_view entry);

 private:
  int StartPosition() const;
  void PlaceCursor(int position);

  std::string entry_;
  std::string remembered_;
  int caret_ = 0;
  int cursorPos_ = 0;
  int modalResult_ = kModalNone;
};
