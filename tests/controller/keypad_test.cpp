#include <gtest/gtest.h>

#include "KeypadU.h"
#include "TimecodeMask.h"

namespace {

// Types an entry from a reset keypad with the digit keys.
KeypadU Typed(const char* digits) {
  KeypadU keypad;
  keypad.FormShow();
  keypad.KResetClick();
  for (const char* d = digits; *d; ++d) keypad.k0Click(*d - '0');
  return keypad;
}

TEST(KeypadValidation, RangesAndLeftmostFault) {
  EXPECT_EQ(KeypadU::FirstFault("24:00:00:00"), 1);
  EXPECT_EQ(KeypadU::FirstFault("23:59:59:29"), -1);
  EXPECT_EQ(KeypadU::FirstFault("00:00:00:30"), 9);
  EXPECT_EQ(KeypadU::FirstFault("00:00:00:25"), -1);
  EXPECT_EQ(KeypadU::FirstFault("00:60:00:00"), 3);
  EXPECT_EQ(KeypadU::FirstFault("00:00:60:00"), 6);
  EXPECT_EQ(KeypadU::FirstFault("30:70:00:00"), 0);   // hours and minutes wrong: hours win
  EXPECT_EQ(KeypadU::FirstFault("19:00:00:00"), -1);  // units are not checked against 2x
  EXPECT_EQ(KeypadU::FirstFault("12:3 :00:00"), 4);   // an unfilled digit is refused too
}

TEST(KeypadValidation, OkAcceptsAndRemembers) {
  KeypadU keypad = Typed("23595929");
  EXPECT_EQ(keypad.EntryText(), "23:59:59:29");
  EXPECT_TRUE(keypad.kokClick());
  EXPECT_EQ(keypad.ModalResult(), KeypadU::kModalOk);
  EXPECT_EQ(keypad.Remembered(), "23:59:59:29");
  EXPECT_EQ(keypad.CursorPos(), -1);
}

TEST(KeypadValidation, RefusedStaysOpenWithCaretOnFault) {
  KeypadU keypad = Typed("24");
  EXPECT_FALSE(keypad.kokClick());
  EXPECT_EQ(keypad.ModalResult(), KeypadU::kModalNone);
  EXPECT_EQ(keypad.Caret(), 1);
  EXPECT_EQ(keypad.Remembered(), "00:00:00:00");
  // The next digit lands where the caret was put: on the fault.
  keypad.k0Click(3);
  EXPECT_EQ(keypad.EntryText(), "23:00:00:00");
  EXPECT_TRUE(keypad.kokClick());
}

TEST(KeypadDigits, SkipSeparatorsAndStopAtTheEnd) {
  KeypadU keypad = Typed("12");
  EXPECT_EQ(keypad.EntryText(), "12:00:00:00");
  EXPECT_EQ(keypad.CursorPos(), 3);
  keypad = Typed("123456789");  // the ninth digit overwrites the last one
  EXPECT_EQ(keypad.EntryText(), "12:34:56:79");
  EXPECT_EQ(keypad.CursorPos(), 10);
  keypad.k0Click(10);  // not a digit: ignored
  keypad.k0Click(-1);
  EXPECT_EQ(keypad.EntryText(), "12:34:56:79");
}

TEST(KeypadDigits, DigitOnSeparatorGoesToTheNextDigit) {
  KeypadU keypad;
  keypad.FormShow();
  keypad.EntryExit(2);
  keypad.k0Click(7);
  EXPECT_EQ(keypad.EntryText(), "00:70:00:00");
  EXPECT_EQ(keypad.CursorPos(), 4);
  keypad.EntryExit(11);  // caret past the end: nothing to overwrite
  keypad.k0Click(5);
  EXPECT_EQ(keypad.EntryText(), "00:70:00:00");
}

TEST(KeypadCursor, MovesFollowTheDigitPositions) {
  KeypadU keypad;
  keypad.FormShow();
  const int right[] = {1, 3, 4, 6, 7, 9, 10, 10};
  for (int expected : right) {
    keypad.KrightClick();
    EXPECT_EQ(keypad.CursorPos(), expected);
  }
  const int left[] = {9, 7, 6, 4, 3, 1, 0, 0};
  for (int expected : left) {
    keypad.kleftClick();
    EXPECT_EQ(keypad.CursorPos(), expected);
  }
  keypad.EntryExit(5);
  keypad.KrightClick();
  EXPECT_EQ(keypad.CursorPos(), 6);
  keypad.EntryExit(5);
  keypad.kleftClick();
  EXPECT_EQ(keypad.CursorPos(), 4);
}

TEST(KeypadShow, AbortKeepsTheLastAcceptedValueAndCursor) {
  KeypadU keypad = Typed("1");
  keypad.KrightClick();  // cursor 3
  keypad.EntryExit(3);
  keypad.BitBtn1Click();
  EXPECT_EQ(keypad.ModalResult(), KeypadU::kModalAbort);
  keypad.FormShow();
  EXPECT_EQ(keypad.EntryText(), "00:00:00:00");  // the aborted 10:00:00:00 is gone
  EXPECT_EQ(keypad.Caret(), 3);
  EXPECT_EQ(keypad.ModalResult(), KeypadU::kModalNone);

  keypad.SetEntryText("01:02:03:04");
  EXPECT_TRUE(keypad.EntryKeyPress(KeypadU::kEnter));
  keypad.FormShow();
  EXPECT_EQ(keypad.EntryText(), "01:02:03:04");
  EXPECT_TRUE(keypad.EntryKeyPress(KeypadU::kEscape));
  EXPECT_EQ(keypad.ModalResult(), KeypadU::kModalAbort);
  EXPECT_FALSE(keypad.EntryKeyPress('5'));
}

TEST(KeypadArithmetic, PlusMinusAndNegateCountInEbu) {
  KeypadU keypad;
  keypad.SetEntryText("00:00:00:24");
  keypad.tcincClick();
  EXPECT_EQ(keypad.EntryText(), "00:00:01:00");
  keypad.tcdecClick();
  keypad.tcdecClick();
  EXPECT_EQ(keypad.EntryText(), "00:00:00:23");
  keypad.SetEntryText("00:00:00:00");
  keypad.tcdecClick();
  EXPECT_EQ(keypad.EntryText(), "23:59:59:24");

  keypad.SetEntryText("00:00:01:00");
  keypad.knegateClick();
  EXPECT_EQ(keypad.EntryText(), "23:59:59:00");
  keypad.knegateClick();
  EXPECT_EQ(keypad.EntryText(), "00:00:01:00");
  keypad.SetEntryText("00:00:00:00");
  keypad.knegateClick();
  EXPECT_EQ(keypad.EntryText(), "00:00:00:00");
  EXPECT_EQ(keypad.EntryText().size(), 11u);
}

TEST(KeypadMask, TypedAndPastedTextKeepsElevenCharacters) {
  EXPECT_EQ(timecode_mask::Conform("01:02:03:04"), "01:02:03:04");
  EXPECT_EQ(timecode_mask::Conform("1x"), "1 :  :  :  ");
  EXPECT_EQ(timecode_mask::Conform("01-02-03-04-05"), "01:02:03:04");
  EXPECT_EQ(timecode_mask::FromClipboard("10:20:30:04"), "10:20:30:04");
  EXPECT_EQ(timecode_mask::FromClipboard("TC 01:02:03:04 end"), "01:02:03:04");
  EXPECT_EQ(timecode_mask::FromClipboard("1:2"), "12:  :  :  ");
  EXPECT_EQ(timecode_mask::FromClipboard("0102030405060708"), "01:02:03:04");
  EXPECT_EQ(timecode_mask::FromClipboard(""), "  :  :  :  ");
  EXPECT_EQ(timecode_mask::Paste("11:11:11:11", 6, "99"), "11:11:99:11");

  KeypadU keypad;
  keypad.ClearEntry();
  keypad.PasteEntry("12;34;56;07");  // ";" is not the mask's separator: dropped
  EXPECT_EQ(keypad.EntryText(), "12:34:56:07");
}

}  // namespace
