#include "PortSelectForm.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSocketNotifier>

#include "PortWatch.h"

namespace {
constexpr int kWidth = 300;
constexpr int kHeight = 150;
}  // namespace

TPortSelectForm::TPortSelectForm(const std::vector<SerialSelectEntry>& entries, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QStringLiteral("Select Port"));
  setFixedSize(kWidth, kHeight);

  Label1 = new QLabel(QStringLiteral("The configured serial port is not valid."), this);
  Label1->setGeometry(16, 12, kWidth - 32, 18);
  Label2 = new QLabel(QStringLiteral("Please choose another port."), this);
  Label2->setGeometry(16, 32, kWidth - 32, 18);

  PortList = new QComboBox(this);
  PortList->setGeometry(16, 62, kWidth - 32, 26);
  NoPortText = new QLabel(QStringLiteral("No serial port was found."), this);
  NoPortText->setGeometry(16, 62, kWidth - 32, 26);
  NoPortText->setStyleSheet(QStringLiteral("color: #a01010; font-weight: bold"));
  ShowEntries(entries);

  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setGeometry(kWidth - 2 * 84 - 8, kHeight - 40, 80, 28);
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  CancelBtn->setGeometry(kWidth - 84 - 8, kHeight - 40, 80, 28);
  QObject::connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  QObject::connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TPortSelectForm::ShowEntries(const std::vector<SerialSelectEntry>& entries) {
  const int kept = SelectedNumber();
  PortList->clear();
  int selected = entries.empty() ? -1 : 0;
  for (const SerialSelectEntry& entry : entries) {
    if (entry.number == kept) selected = PortList->count();
    PortList->addItem(QString::fromStdString(entry.text));
  }
  PortList->setCurrentIndex(selected);
  PortList->setVisible(!entries.empty());
  NoPortText->setVisible(entries.empty());
}

void TPortSelectForm::FollowChanges(std::shared_ptr<PortWatch> watch,
                                    std::function<std::vector<SerialSelectEntry>()> list) {
  watch_ = std::move(watch);
  if (watch_->Fd() < 0) return;
  auto* notifier = new QSocketNotifier(watch_->Fd(), QSocketNotifier::Read, this);
  QObject::connect(notifier, &QSocketNotifier::activated, this, [this, list = std::move(list)] {
    if (watch_->TakeChanges()) ShowEntries(list());
  });
}

int TPortSelectForm::SelectedNumber() const {
  if (PortList->currentIndex() < 0) return kPromptNoEntry;
  const int number = SerialSelect::NumberOf(PortList->currentText().toStdString());
  return number > 0 ? number : kPromptNoEntry;
}

int TPortSelectForm::Run() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  return exec() == QDialog::Accepted ? SelectedNumber() : kPromptCancelled;
}

int TPortSelectForm::Prompt(const std::vector<SerialSelectEntry>& entries) {
  TPortSelectForm form(entries);
  form.FollowChanges(std::make_shared<PortWatch>(), &SerialSelect::ListPorts);
  return form.Run();
}
