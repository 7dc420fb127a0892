#include "KeypadF.h"

#include <QCursor>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>

namespace {

constexpr int kMargin = 8;
constexpr int kKeyWidth = 44;
constexpr int kKeyHeight = 28;
constexpr int kGap = 4;
constexpr int kColumns = 4;
constexpr int kRows = 5;
constexpr int kKeysTop = kMargin + kKeyHeight + 2 * kGap;
constexpr int kWindowWidth = 2 * kMargin + kColumns * kKeyWidth + (kColumns - 1) * kGap;
constexpr int kWindowHeight = kKeysTop + kRows * kKeyHeight + (kRows - 1) * kGap + kMargin;

// The field shows unfilled digit positions as "_"; the logic holds them as spaces.
constexpr char kShownBlank = '_';

// Where each digit sits on the pad: column and row.
constexpr std::array<std::array<int, 2>, 10> kDigitPlace = {
    {{1, 3}, {0, 2}, {1, 2}, {2, 2}, {0, 1}, {1, 1}, {2, 1}, {0, 0}, {1, 0}, {2, 0}}};

QString ToField(const std::string& entry) {
  return QString::fromStdString(entry).replace(QLatin1Char(' '), QLatin1Char(kShownBlank));
}

std::string FromField(const QString& shown) {
  return QString(shown).replace(QLatin1Char(kShownBlank), QLatin1Char(' ')).toStdString();
}

}  // namespace

TKeypadF::TKeypadF(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Keypad"));
  setFixedSize(kWindowWidth, kWindowHeight);

  Entry = new QLineEdit(this);
  Entry->setGeometry(kMargin, kMargin, kWindowWidth - 2 * kMargin, kKeyHeight + kGap);
  QFont entryFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  entryFont.setPointSize(entryFont.pointSize() + 3);
  Entry->setFont(entryFont);
  Entry->setAlignment(Qt::AlignCenter);
  Entry->setInputMask(QStringLiteral("00:00:00:00;") + QLatin1Char(kShownBlank));
  Entry->setMaxLength(11);
  Entry->installEventFilter(this);
  QObject::connect(Entry, &QLineEdit::textEdited, this, [this] { EntryTextEdited(); });
  QObject::connect(Entry, &QLineEdit::cursorPositionChanged, this,
                   [this](int, int caret) { EntryCaretMoved(caret); });

  BuildKeys();
  Mirror();
}

TVyoButton* TKeypadF::MakeKey(const QString& caption, int column, int row, int columns) {
  auto* key = new TVyoButton(this);
  key->SetCaption(caption);
  key->SetTabStop(false);
  key->setGeometry(kMargin + column * (kKeyWidth + kGap), kKeysTop + row * (kKeyHeight + kGap),
                   columns * kKeyWidth + (columns - 1) * kGap, kKeyHeight);
  return key;
}

void TKeypadF::BuildKeys() {
  for (int digit = 0; digit <= 9; ++digit) {
    const auto& place = kDigitPlace[static_cast<std::size_t>(digit)];
    auto* key = MakeKey(QString::number(digit), place[0], place[1]);
    key->SetTag(digit);
    key->OnClick = [this](TVyoButton* sender) { k0Click(sender); };
    k[static_cast<std::size_t>(digit)] = key;
  }
  KReset = MakeKey(QStringLiteral("RESET"), 3, 0);
  KReset->OnClick = [this](TVyoButton*) { KResetClick(); };
  tcinc = MakeKey(QStringLiteral("+"), 3, 1);
  tcinc->OnClick = [this](TVyoButton*) { tcincClick(); };
  tcdec = MakeKey(QStringLiteral("-"), 3, 2);
  tcdec->OnClick = [this](TVyoButton*) { tcdecClick(); };
  kleft = MakeKey(QStringLiteral("<"), 0, 3);
  kleft->OnClick = [this](TVyoButton*) { kleftClick(); };
  Kright = MakeKey(QStringLiteral(">"), 2, 3);
  Kright->OnClick = [this](TVyoButton*) { KrightClick(); };
  knegate = MakeKey(QStringLiteral("NEG"), 3, 3);
  knegate->OnClick = [this](TVyoButton*) { knegateClick(); };

  kok = MakeKey(QStringLiteral("OK"), 0, 4, 2);
  kok->SetTabStop(true);
  kok->Colors().SetColor(TZQColors::Fill_Off, QColor(0xB8, 0xE0, 0xB0));
  kok->OnClick = [this](TVyoButton*) { kokClick(); };
  BitBtn1 = MakeKey(QStringLiteral("Abort"), 2, 4, 2);
  BitBtn1->Colors().SetColor(TZQColors::Text_Off, QColor(0xA0, 0x10, 0x10));
  BitBtn1->OnClick = [this](TVyoButton*) { BitBtn1Click(); };
}

QPoint TKeypadF::PlaceAt(QPoint cursor, QSize window, QSize desktop) {
  QPoint place = cursor;
  if (desktop.height() < cursor.y() + window.height()) {
    place.setY(desktop.height() - window.height() - 50);
  }
  if (desktop.width() < cursor.x() + window.width()) place.setX(desktop.width() - window.width());
  return place;
}

int TKeypadF::ShowModal() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize desktop =
      screen ? screen->virtualGeometry().size() : QSize(kWindowWidth, kWindowHeight);
  move(PlaceAt(QCursor::pos(), size(), desktop));
  logic_.FormShow();
  Mirror();
  return exec();
}

template <typename Action>
void TKeypadF::Act(Action action) {
  action();
  Mirror();
  if (logic_.ModalResult() != KeypadU::kModalNone) done(logic_.ModalResult());
}

void TKeypadF::Mirror() {
  mirroring_ = true;
  Entry->setText(ToField(logic_.EntryText()));
  Entry->setFocus();
  Entry->setCursorPosition(logic_.Caret());
  mirroring_ = false;
}

void TKeypadF::EntryTextEdited() {
  if (mirroring_) return;
  logic_.SetEntryText(FromField(Entry->displayText()));
}

// The caret stands where the user left it; the next key press starts there. Keys never take the
// focus, so this stands in for the field's focus-leave.
void TKeypadF::EntryCaretMoved(int caret) {
  if (mirroring_) return;
  logic_.EntryExit(caret);
}

void TKeypadF::k0Click(TVyoButton* sender) {
  Act([&] { logic_.k0Click(sender->Tag()); });
}
void TKeypadF::KResetClick() {
  Act([&] { logic_.KResetClick(); });
}
void TKeypadF::kleftClick() {
  Act([&] { logic_.kleftClick(); });
}
void TKeypadF::KrightClick() {
  Act([&] { logic_.KrightClick(); });
}
void TKeypadF::tcdecClick() {
  Act([&] { logic_.tcdecClick(); });
}
void TKeypadF::tcincClick() {
  Act([&] { logic_.tcincClick(); });
}
void TKeypadF::knegateClick() {
  Act([&] { logic_.knegateClick(); });
}
void TKeypadF::kokClick() {
  Act([&] { logic_.kokClick(); });
}
void TKeypadF::BitBtn1Click() {
  Act([&] { logic_.BitBtn1Click(); });
}

bool TKeypadF::eventFilter(QObject* watched, QEvent* event) {
  // A masked field moves its caret to the start when focus arrives with the window; the caret
  // belongs where the logic left it.
  if (watched == Entry && event->type() == QEvent::FocusIn) {
    mirroring_ = true;
    static_cast<QObject*>(Entry)->event(event);
    Entry->setCursorPosition(logic_.Caret());
    mirroring_ = false;
    return true;
  }
  if (watched == Entry && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    char code = 0;
    if (key == Qt::Key_Escape) code = KeypadU::kEscape;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) code = KeypadU::kEnter;
    if (code != 0) {
      Act([&] { logic_.EntryKeyPress(code); });
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

// The close box ends the keypad as Abort does.
void TKeypadF::reject() { BitBtn1Click(); }
