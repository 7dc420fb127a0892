// TKeypadF ("Keypad"): the modal window for entering one time code HH:MM:SS:FF with the mouse or
// the keyboard. It mirrors its KeypadU after every action: the logic owns the entry text, the
// caret and the remembered value; the window forwards clicks and keys and closes when the logic
// has a modal result. Created once at start-up and reused, so the last accepted value and the
// caret carry over between uses.
//
// Callers: set the caption (setWindowTitle), call ShowModal, and on KeypadU::kModalOk read
// EntryText(). Used without showing it (the controller's "Goto Clipboard"), Logic().ClearEntry()
// and Logic().PasteEntry(text) turn pasted text into an entry.
#pragma once

#include <QDialog>
#include <array>

#include "KeypadU.h"
#include "VyoButton.h"

class QLineEdit;

class TKeypadF : public QDialog {
 public:
  explicit TKeypadF(QWidget* parent = nullptr);

  // Shows the window modally at the mouse cursor (kept on the desktop) starting from the last
  // accepted value; returns KeypadU::kModalOk or KeypadU::kModalAbort.
  int ShowModal();

  KeypadU& Logic() { return logic_; }
  QString EntryText() const { return QString::fromStdString(logic_.EntryText()); }

  // The placement rule: at the cursor; moved up (50 pixels clear of the bottom) or left when the
  // window would reach past the desktop's bottom or right edge.
  static QPoint PlaceAt(QPoint cursor, QSize window, QSize desktop);

  QLineEdit* Entry;
  std::array<TVyoButton*, 10> k{};  // k[0]..k[9], Tag = the digit
  TVyoButton* KReset;
  TVyoButton* kleft;
  TVyoButton* Kright;
  TVyoButton* tcdec;
  TVyoButton* tcinc;
  TVyoButton* knegate;
  TVyoButton* kok;
  TVyoButton* BitBtn1;  // "Abort"

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void reject() override;

 private:
  TVyoButton* MakeKey(const QString& caption, int column, int row, int columns = 1);
  void BuildKeys();
  // Forwards one action to the logic, then mirrors it and closes when it decided.
  template <typename Action>
  void Act(Action action);
  void Mirror();
  void EntryTextEdited();
  void EntryCaretMoved(int caret);

  void k0Click(TVyoButton* sender);
  void KResetClick();
  void kleftClick();
  void KrightClick();
  void tcdecClick();
  void tcincClick();
  void knegateClick();
  void kokClick();
  void BitBtn1Click();

  KeypadU logic_;
  bool mirroring_ = false;
};
