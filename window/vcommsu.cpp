#include "vcommsu.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

Tcommsf::Tcommsf(QWidget* parent, int maxLines) : QWidget(parent, Qt::Window), maxLines_(maxLines) {
  setWindowTitle(QStringLiteral("Comms"));
  setAttribute(Qt::WA_QuitOnClose, false);
  setGeometry(563, 68, 537, 388);

  m1 = new QPlainTextEdit(this);
  m1->setGeometry(8, 8, 505, 297);
  m1->setReadOnly(true);
  // An undo history of a log would grow without bound and slow every append.
  m1->setUndoRedoEnabled(false);
  m1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  m1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  m1->setPlainText(QStringLiteral("m1"));

  kshow = new QCheckBox(QStringLiteral("Shoiw Coms"), this);
  kshow->setGeometry(208, 320, std::max(97, kshow->sizeHint().width()), 17);

  kdecode = new QCheckBox(QStringLiteral("Decode"), this);
  kdecode->setGeometry(320, 320, std::max(80, kdecode->sizeHint().width()), 17);

  kclear = new QPushButton(QStringLiteral("Clear"), this);
  kclear->setGeometry(448, 320, 75, 25);
  QObject::connect(kclear, &QPushButton::clicked, this, [this] { kclearClick(); });
}

void Tcommsf::AddLine(const QString& text) {
  m1->appendPlainText(text);
  DropOldestLines();
}

void Tcommsf::DropOldestLines() {
  QTextDocument* log = m1->document();
  const int notice = removed_ > 0 ? 1 : 0;
  const int excess = log->blockCount() - notice - maxLines_;
  if (excess <= 0) return;
  QTextCursor cursor(log);
  cursor.movePosition(QTextCursor::Start);
  if (notice) cursor.movePosition(QTextCursor::NextBlock);
  cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, excess);
  cursor.removeSelectedText();
  removed_ += excess;
  // The first line says what is gone, so a log that starts mid-session is not taken for a whole
  // one.
  QTextCursor first(log->firstBlock());
  if (notice) {
    first.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  } else {
    first.insertBlock();
    first.movePosition(QTextCursor::PreviousBlock);
  }
  first.insertText(QStringLiteral("(%1 older lines removed; the log keeps the last %2)")
                       .arg(removed_)
                       .arg(maxLines_));
}

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

void Tcommsf::kclearClick() {
  m1->clear();
  removed_ = 0;
}

bool Tcommsf::DecodeChecked() const { return kdecode->isChecked(); }

void Tcommsf::SetDecode(bool on) { kdecode->setChecked(on); }

void Tcommsf::AddDecodedLine(const QString& text) {
  if (DecodeChecked()) AddLine(text);
}
