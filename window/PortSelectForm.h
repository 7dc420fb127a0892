// TPortSelectForm ("Select Port"): asks which serial port to open when a port is opened without a
// number. Lists the entries the serial component found ("COM<n> (<device>)", first preselected);
// OK answers the chosen number, Cancel kPromptCancelled. With nothing to list it says so in the
// window, and OK answers kPromptNoEntry.
//
// While open it can follow a PortWatch: a port that comes or goes (an adapter plugged in, a pty:
// link appearing) updates the list at once, keeping the selection when it is still there.
//
// TPortSelectForm::Prompt fits TSerialPort::SetPortPrompt directly.
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

#include "SerialSelect.h"

class PortWatch;

class QComboBox;
class QLabel;
class QPushButton;

class TPortSelectForm : public QDialog {
 public:
  explicit TPortSelectForm(const std::vector<SerialSelectEntry>& entries,
                           QWidget* parent = nullptr);

  // The number the selected entry stands for, or kPromptNoEntry when the list is empty.
  int SelectedNumber() const;
  // Shows the form modally, centred on the screen; the chosen number, kPromptCancelled (Cancel,
  // Esc, close box) or kPromptNoEntry (OK on an empty list).
  int Run();

  // Lists `list()` again whenever `watch` reports a change.
  void FollowChanges(std::shared_ptr<PortWatch> watch,
                     std::function<std::vector<SerialSelectEntry>()> list);
  void ShowEntries(const std::vector<SerialSelectEntry>& entries);

  static int Prompt(const std::vector<SerialSelectEntry>& entries);

  QLabel* Label1;
  QLabel* Label2;
  QComboBox* PortList;
  QLabel* NoPortText;  // shown only when nothing is listed
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 private:
  std::shared_ptr<PortWatch> watch_;
};
