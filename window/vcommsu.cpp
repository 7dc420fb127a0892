#include "vcommsu.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTableView>

#include "MonitorPane.h"
#include "ReplyTimeView.h"

Tcommsf::Tcommsf(QWidget* parent, int maxLines, MonitorModel::Clock clock)
    : QWidget(parent, Qt::Window), model_(maxLines, std::move(clock)) {
  setWindowTitle(QStringLiteral("Comms"));
  setAttribute(Qt::WA_QuitOnClose, false);
  setGeometry(563, 68, 537, 388);
  // Below this the filters and the designed controls no longer fit beside each other.
  setMinimumSize(460, 240);

  pane = new MonitorPane(&model_, this);
  m1 = pane->table;
  model_.AddDesignedLine(QStringLiteral("m1"));

  kshow = new QCheckBox(QStringLiteral("Shoiw Coms"), this);
  kdecode = new QCheckBox(QStringLiteral("Decode"), this);
  kdecode->setToolTip(QStringLiteral("Decoded messages of both ports, with reply times"));
  kclear = new QPushButton(QStringLiteral("Clear"), this);
  QObject::connect(kclear, &QPushButton::clicked, this, [this] { kclearClick(); });

  auto* controls = new QHBoxLayout;
  controls->addStretch(1);
  controls->addWidget(kshow);
  controls->addWidget(kdecode);
  controls->addWidget(kclear);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(pane, 1);
  layout->addLayout(controls);
}

void Tcommsf::AddLine(const QString& text) { model_.AddDesignedLine(text); }

void Tcommsf::AddCommandLine(const SonyPort& portA) {
  const std::span<const uint8_t> bytes(portA.Rx.bytes.data(),
                                       static_cast<std::size_t>(portA.Rx.Length()));
  AddLine(QString::fromStdString(HexBytes(bytes)));
}

void Tcommsf::MessageReceived(const SonyPort& portA) {
  if (ShowComs()) AddLine(QString::fromStdString(RxText(portA)));
}

void Tcommsf::TransportHandled(const SonyPort& portA) {
  if ((portA.Rx.Cmd1() & 0xF0) == 0x20 && IsShown()) AddCommandLine(portA);
}

void Tcommsf::ReplySent(const SonyPort& portA) {
  if (ShowComs()) AddLine(QString::fromStdString(portA.TxText));
}

bool Tcommsf::ShowComs() const { return kshow->isChecked(); }

void Tcommsf::SetShowComs(bool on) { kshow->setChecked(on); }

void Tcommsf::ToggleShown() { setVisible(!isVisible()); }

void Tcommsf::kclearClick() { model_.Clear(); }

bool Tcommsf::DecodeChecked() const { return kdecode->isChecked(); }

void Tcommsf::SetDecode(bool on) { kdecode->setChecked(on); }

void Tcommsf::AddRecords(const std::vector<CaptureRecord>& records) {
  if (DecodeChecked()) model_.AddRecords(records);
}

void Tcommsf::ShowReplyTimes() {
  SetDecode(true);
  if (!replyTimes) replyTimes = new ReplyTimeView(&model_, this);
  replyTimes->show();
  replyTimes->raise();
}
