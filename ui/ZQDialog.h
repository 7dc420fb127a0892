// TZQDlg: the program's own modal dialog for one line of text. One form holds a page control
// whose four pages (tabs hidden) are the dialog's layouts; code picks the page. All its buttons
// are lit buttons. Every OK button closes with modal result 1, every Cancel button with 2; the
// close box and Esc close with 0.
#pragma once

#include <QDialog>
#include <cstdint>

#include "VyoButton.h"

class QLabel;
class QLineEdit;
class QStackedWidget;

class TZQDlg : public QDialog {
 public:
  enum Page { P_STRINGENTRY = 0, P_PassFail = 1, P_Standard = 2, P_QUERY = 3 };
  enum ModalResult { mrNone = 0, mrOK = 1, mrCancel = 2 };
  static constexpr int kWidth = 340;

  explicit TZQDlg(QWidget* parent = nullptr);

  // Asks for one line of text, modally. The dialog is centred over the owner's window, or on the
  // mouse cursor when owner is null. Mode 2 masks the text with "*" and shows the lock picture.
  // result is the text as typed when the dialog closes with OK (button or Enter in the edit);
  // otherwise it is defaultText exactly.
  void StringEntry(QWidget* owner, uint8_t mode, QString& result, const QString& defaultText,
                   const QString& prompt, const QString& caption);

  // Steps before the showing of StringEntry: caption, prompt, default text, mask and picture by
  // mode, and the size that fits the prompt. Placement is separate (PlaceDialog).
  void PrepareStringEntry(uint8_t mode, const QString& defaultText, const QString& prompt,
                          const QString& caption);

  // Shows one page and gives its designated control the focus (page 0: the edit; pages 2 and 3:
  // their OK button; page 1: Retry). An index outside 0..3 is ignored.
  void SelectPage(int index);

  // Centres the dialog over owner's window, or on the mouse cursor when owner is null. The result
  // may lie partly off the screen.
  void PlaceDialog(QWidget* owner);

  QStackedWidget* Pages;

  QLabel* STR_Text;
  QLabel* STR_Image;
  QLineEdit* STR_Edit;
  TVyoButton* STR_Cancel;
  TVyoButton* STR_OK;

  QLabel* PF_Text;
  QLabel* PF_Message;
  QLabel* PF_Icon;
  TVyoButton* PF_Cancel;
  TVyoButton* PF_Retry;

  QLabel* STD_Text;
  QLabel* STD_Image;
  TVyoButton* STD_OK;

  QLabel* QRY_image;
  QLabel* QRY_Text;
  TVyoButton* QRY_OK;
  TVyoButton* QRY_Cancel;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* BuildStringEntryPage();
  QWidget* BuildPassFailPage();
  QWidget* BuildStandardPage();
  QWidget* BuildQueryPage();
  TVyoButton* MakeButton(QWidget* page, const QString& caption, int x, int y, int result);
  void LayOutStringEntry();
  void FocusPageControl();
};
