#include "ZQDialog.h"

#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QStackedWidget>

#include "ZQPictures.h"

namespace {

constexpr int kMargin = 12;
constexpr int kTextLeft = 56;
constexpr int kTextWidth = TZQDlg::kWidth - kTextLeft - kMargin;
constexpr int kTextTop = 8;
constexpr int kEditHeight = 24;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;
constexpr int kFixedPageHeight = 112;
constexpr int kRightButtonLeft = TZQDlg::kWidth - kMargin - kButtonWidth;
constexpr int kLeftButtonLeft = kRightButtonLeft - 8 - kButtonWidth;

// Masked entry shows "*" for every character, whatever the platform style would use.
class StarMaskStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

QLabel* MakePicture(QWidget* page, const QString& name) {
  auto* label = new QLabel(page);
  label->setGeometry(kMargin, 10, kZQPictureSize, kZQPictureSize);
  label->setPixmap(ZQPicture(name));
  return label;
}

// A label sized to its text; a label of the fixed pages is filled later and gets the room down to
// the buttons instead.
QLabel* MakeText(QWidget* page, const QString& text, int top, bool fixedPage) {
  auto* label = new QLabel(text, page);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  const int height =
      fixedPage ? kFixedPageHeight - kButtonHeight - 20 - top : label->heightForWidth(kTextWidth);
  label->setGeometry(kTextLeft, top, kTextWidth, height);
  return label;
}

bool IsEnterKey(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

TZQDlg::TZQDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("_Caption"));
  Pages = new QStackedWidget(this);
  Pages->addWidget(BuildStringEntryPage());
  Pages->addWidget(BuildPassFailPage());
  Pages->addWidget(BuildStandardPage());
  Pages->addWidget(BuildQueryPage());
  SelectPage(P_STRINGENTRY);
  LayOutStringEntry();
}

TVyoButton* TZQDlg::MakeButton(QWidget* page, const QString& caption, int x, int y, int result) {
  auto* button = new TVyoButton(page);
  button->SetCaption(caption);
  button->setGeometry(x, y, kButtonWidth, kButtonHeight);
  button->OnClick = [this, result](TVyoButton*) { done(result); };
  return button;
}

QWidget* TZQDlg::BuildStringEntryPage() {
  auto* page = new QWidget;
  STR_Image = MakePicture(page, QStringLiteral("DT_DEFAULT"));
  STR_Text = MakeText(page, QStringLiteral("Enter password here"), kTextTop, false);
  STR_Edit = new QLineEdit(page);
  auto* maskStyle = new StarMaskStyle;
  maskStyle->setParent(STR_Edit);
  STR_Edit->setStyle(maskStyle);
  STR_Edit->setEchoMode(QLineEdit::Password);
  STR_Edit->installEventFilter(this);
  STR_Cancel = MakeButton(page, QStringLiteral("Cancel"), kRightButtonLeft, 0, mrCancel);
  STR_OK = MakeButton(page, QStringLiteral("OK"), kLeftButtonLeft, 0, mrOK);
  return page;
}

QWidget* TZQDlg::BuildPassFailPage() {
  auto* page = new QWidget;
  PF_Icon = MakePicture(page, QStringLiteral("DT_NOENTRY"));
  PF_Message = MakeText(page, QStringLiteral("Incorrect Password"), kTextTop, false);
  PF_Text = MakeText(page, QString(), kTextTop + 24, true);
  const int buttonTop = kFixedPageHeight - kButtonHeight - 10;
  PF_Cancel = MakeButton(page, QStringLiteral("Cancel"), kRightButtonLeft, buttonTop, mrCancel);
  PF_Retry = MakeButton(page, QStringLiteral("Retry"), kLeftButtonLeft, buttonTop, mrNone);
  PF_Retry->OnClick = [this](TVyoButton*) { SelectPage(P_STRINGENTRY); };
  return page;
}

QWidget* TZQDlg::BuildStandardPage() {
  auto* page = new QWidget;
  STD_Image = MakePicture(page, QStringLiteral("DT_DEFAULT"));
  STD_Text = MakeText(page, QString(), kTextTop, true);
  STD_OK = MakeButton(page, QStringLiteral("OK"), kRightButtonLeft,
                      kFixedPageHeight - kButtonHeight - 10, mrOK);
  return page;
}

QWidget* TZQDlg::BuildQueryPage() {
  auto* page = new QWidget;
  QRY_image = MakePicture(page, QStringLiteral("DT_DEFAULT"));
  QRY_Text = MakeText(page, QString(), kTextTop, true);
  const int buttonTop = kFixedPageHeight - kButtonHeight - 10;
  QRY_Cancel = MakeButton(page, QStringLiteral("Cancel"), kRightButtonLeft, buttonTop, mrCancel);
  QRY_OK = MakeButton(page, QStringLiteral("OK"), kLeftButtonLeft, buttonTop, mrOK);
  return page;
}

void TZQDlg::SelectPage(int index) {
  if (index < P_STRINGENTRY || index > P_QUERY) return;
  Pages->setCurrentIndex(index);
  if (index == P_STRINGENTRY) {
    LayOutStringEntry();
  } else {
    Pages->setGeometry(0, 0, kWidth, kFixedPageHeight);
    setFixedSize(kWidth, kFixedPageHeight);
  }
  FocusPageControl();
}

void TZQDlg::FocusPageControl() {
  switch (Pages->currentIndex()) {
    case P_STRINGENTRY:
      STR_Edit->setFocus();
      break;
    case P_PassFail:
      PF_Retry->setFocus();
      break;
    case P_Standard:
      STD_OK->setFocus();
      break;
    case P_QUERY:
      QRY_OK->setFocus();
      break;
    default:
      break;
  }
}

// The edit sits 13 pixels below the prompt's height and the page ends 42 pixels below the edit,
// so a long prompt grows the dialog instead of covering the edit.
void TZQDlg::LayOutStringEntry() {
  const int textHeight = STR_Text->heightForWidth(kTextWidth);
  STR_Text->setGeometry(kTextLeft, kTextTop, kTextWidth, textHeight);
  const int editTop = textHeight + 13;
  STR_Edit->setGeometry(kTextLeft, editTop, kTextWidth, kEditHeight);
  const int pagesHeight = editTop + kEditHeight + 42;
  const int buttonTop = editTop + kEditHeight + 10;
  STR_OK->move(kLeftButtonLeft, buttonTop);
  STR_Cancel->move(kRightButtonLeft, buttonTop);
  Pages->setGeometry(0, 0, kWidth, pagesHeight);
  setFixedSize(kWidth, pagesHeight);
}

void TZQDlg::PlaceDialog(QWidget* owner) {
  if (owner) {
    const QRect frame = owner->window()->frameGeometry();
    move(frame.left() + (frame.width() - width()) / 2,
         frame.top() + (frame.height() - height()) / 2);
  } else {
    const QPoint cursor = QCursor::pos();
    move(cursor.x() - width() / 2, cursor.y() - height() / 2);
  }
}

void TZQDlg::PrepareStringEntry(uint8_t mode, const QString& defaultText, const QString& prompt,
                                const QString& caption) {
  setWindowTitle(caption);
  STR_Text->setText(prompt);
  SelectPage(P_STRINGENTRY);
  STR_Edit->setText(defaultText);
  const bool masked = mode == 2;
  STR_Image->setPixmap(
      ZQPicture(masked ? QStringLiteral("DT_LOCK") : QStringLiteral("DT_DEFAULT")));
  STR_Edit->setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
}

void TZQDlg::StringEntry(QWidget* owner, uint8_t mode, QString& result, const QString& defaultText,
                         const QString& prompt, const QString& caption) {
  PrepareStringEntry(mode, defaultText, prompt, caption);
  // Placed once the size is known, so the dialog is centred at its real size.
  PlaceDialog(owner);
  result = exec() == mrOK ? STR_Edit->text() : defaultText;
}

bool TZQDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == STR_Edit && IsEnterKey(event)) {
    done(mrOK);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TZQDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FocusPageControl();
}
