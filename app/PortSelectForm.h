// TPortSelectForm ("Select Port"): asks which serial port to open when a port is opened without a
// number. Lists the entries the serial component found ("COM<n> (<device>)", first preselected);
// OK answers the chosen number, Cancel kPromptCancelled. With nothing to list it says so in the
// window, and OK answers kPromptNoEntry.
//
// TPortSelectForm::Prompt fits TSerialPort::SetPortPrompt directly.
#pragma once

#include "SerialSelect.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

class TPortSelectForm : public QDialog {
public:
  explicit TPortSelectForm(const std::vector<SerialSelectEntry>& entries, QWidget* parent = nullptr);

  // The number the selected entry stands for, or kPromptNoEntry when the list is empty.
  int SelectedNumber() const;
  // Shows the form modally, centred on the screen; the chosen number, kPromptCancelled (Cancel,
  // Esc, close box) or kPromptNoEntry (OK on an empty list).
  int Run();

  static int Prompt(const std::vector<SerialSelectEntry>& entries);

  QLabel* Label1;
  QLabel* Label2;
  QComboBox* PortList;
  QLabel* NoPortText;  // shown only when nothing is listed
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
};
