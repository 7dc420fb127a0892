// The keypad logic on any sequence of keys: the field always keeps its shape, the caret and the
// digit cursor stay inside it, OK accepts exactly the entries without a fault, and what was
// accepted (Remembered) is always a valid time code.
#include <fuzzer/FuzzedDataProvider.h>

#include "FuzzFrames.h"
#include "KeypadU.h"

namespace {

void CheckShape(const KeypadU& keypad) {
  const std::string& entry = keypad.EntryText();
  FUZZ_CHECK(entry.size() == 11 && entry[2] == ':' && entry[5] == ':' && entry[8] == ':');
  FUZZ_CHECK(keypad.Caret() >= 0 && keypad.Caret() <= 11);
  // 11 is the caret left at the end of the field: a digit pressed there is dropped.
  FUZZ_CHECK(keypad.CursorPos() >= -1 && keypad.CursorPos() <= 11);
  FUZZ_CHECK(KeypadU::FirstFault(keypad.Remembered()) == -1);
}

void Ok(KeypadU& keypad) {
  const std::string entry = keypad.EntryText();
  const std::string remembered = keypad.Remembered();
  const int result = keypad.ModalResult();
  const bool accepted = keypad.kokClick();
  FUZZ_CHECK(accepted == (KeypadU::FirstFault(entry) == -1));
  if (accepted) {
    FUZZ_CHECK(keypad.Remembered() == entry && keypad.ModalResult() == KeypadU::kModalOk);
    FUZZ_CHECK(keypad.CursorPos() == -1);
  } else {
    FUZZ_CHECK(keypad.Remembered() == remembered && keypad.ModalResult() == result);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  KeypadU keypad;
  keypad.FormShow();
  while (input.remaining_bytes() > 0) {
    switch (input.ConsumeIntegralInRange(0, 15)) {
      case 0:
        keypad.FormShow();
        break;
      case 1:
        keypad.EntryExit(input.ConsumeIntegralInRange(0, 11));
        break;
      case 2:
        keypad.SetEntryText(input.ConsumeRandomLengthString(14));
        break;
      case 3:
        keypad.ClearEntry();
        keypad.PasteEntry(input.ConsumeRandomLengthString(14));
        break;
      case 4:
        keypad.kleftClick();
        break;
      case 5:
        keypad.KrightClick();
        break;
      case 6:
        keypad.k0Click(input.ConsumeIntegralInRange(-1, 10));
        break;
      case 7:
        keypad.KResetClick();
        break;
      case 8:
        keypad.tcincClick();
        break;
      case 9:
        keypad.tcdecClick();
        break;
      case 10:
        keypad.knegateClick();
        break;
      case 11:
        Ok(keypad);
        break;
      case 12:
        keypad.BitBtn1Click();
        FUZZ_CHECK(keypad.ModalResult() == KeypadU::kModalAbort);
        break;
      default: {
        const char key =
            input.PickValueInArray<char>({KeypadU::kEscape, KeypadU::kEnter, '5', 'x'});
        const bool validBefore = KeypadU::FirstFault(keypad.EntryText()) == -1;
        const std::string entry = keypad.EntryText();
        keypad.EntryKeyPress(key);
        if (key == KeypadU::kEnter && keypad.ModalResult() == KeypadU::kModalOk && validBefore)
          FUZZ_CHECK(keypad.Remembered() == entry);
        break;
      }
    }
    CheckShape(keypad);
  }
  return 0;
}
