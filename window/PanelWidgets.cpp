#include "PanelWidgets.h"

namespace {

void SetLevels(TZQColors& c, const QColor& off, const QColor& dim1, const QColor& dim2,
               const QColor& lit) {
  c.SetColor(TZQColors::Fill_Off, off);
  c.SetColor(TZQColors::Fill_Dim1, dim1);
  c.SetColor(TZQColors::Fill_Dim2, dim2);
  c.SetColor(TZQColors::Fill_Lit, lit);
}

void SetText(TZQColors& c, const QColor& text) {
  for (int i = TZQColors::Text_Off; i <= TZQColors::Text_Lit; ++i) c.SetColor(i, text);
}

TZQColors SchemeColors(LampScheme scheme) {
  TZQColors c;
  switch (scheme) {
    case LampScheme::Green:
      SetLevels(c, QColor(0xC0, 0xC0, 0xC0), QColor(0x9A, 0xCD, 0x9A), QColor(0x66, 0xCC, 0x66),
                QColor(0x32, 0xFF, 0x32));
      break;
    case LampScheme::Red:
      SetLevels(c, QColor(0xC0, 0xC0, 0xC0), QColor(0xE0, 0x90, 0x90), QColor(0xC0, 0x40, 0x40),
                QColor(0xFF, 0x00, 0x00));
      c.SetColor(TZQColors::Text_Lit, Qt::white);
      break;
    case LampScheme::Bank:
      SetLevels(c, QColor(0x80, 0x80, 0x80), QColor(0x00, 0x00, 0x80), QColor(0xA0, 0x00, 0x00),
                QColor(0xFF, 0x00, 0x00));
      SetText(c, Qt::white);
      break;
    case LampScheme::Amber:
      SetLevels(c, QColor(0xC0, 0xC0, 0xC0), QColor(0xE8, 0xD0, 0x90), QColor(0xF0, 0xC0, 0x50),
                QColor(0xFF, 0xB0, 0x00));
      break;
  }
  return c;
}

}  // namespace

TVyoButton* MakeKey(QWidget* parent, const char* name, const QString& caption, QRect geometry,
                    LampScheme scheme, int tag) {
  auto* button = new TVyoButton(parent);
  button->setObjectName(name);
  button->SetCaption(caption);
  button->setGeometry(geometry);
  button->SetColors(SchemeColors(scheme));
  button->SetTag(tag);
  return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setGeometry(geometry);
  return label;
}

void MirrorLamp(TVyoButton* button, int level) {
  if (level == 0)
    button->SetLit(false);
  else
    button->SetLitState(level);
}

void MirrorLit(TVyoButton* button, bool lit) { button->SetLit(lit); }

void MirrorCaption(TVyoButton* button, const std::string& caption) {
  const QString text = QString::fromStdString(caption);
  if (button->Caption() != text) button->SetCaption(text);
}

void MirrorText(QLabel* label, const std::string& text) {
  label->setText(QString::fromStdString(text));
}

QString LinkPanelText(char side, const LinkHealth& health, Micros now) {
  return QString("Port %1  req %2  rep %3  t/o %4\nchecksum errors %5  last reply %6")
      .arg(side)
      .arg(health.requests)
      .arg(health.replies)
      .arg(health.timeouts)
      .arg(health.checksumErrors)
      .arg(QString::fromStdString(ReplyAgeText(health, now)));
}
