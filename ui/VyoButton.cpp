#include "VyoButton.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

TVyoButton::TVyoButton(QWidget* parent) : QWidget(parent) {
  resize(kDefaultWidth, kDefaultHeight);
  setFocusPolicy(Qt::TabFocus);
  colors_.OnChange = [this] { update(); };
  frozenTextColor_ = colors_.Color(TZQColors::Text_Off);
}

void TVyoButton::SetCornerStyle(TVyoCornerStyle style) {
  cornerStyle_ = style;
  update();
}

void TVyoButton::SetCornerRadius(int16_t radius) {
  if (2 * radius == cornerDiameter_) return;
  cornerDiameter_ = 2 * radius;
  update();
}

void TVyoButton::SetLit(bool lit) {
  if (lit == lit_) return;
  lit_ = lit;
  litState_ = lit ? 3 : 0;
  update();
}

void TVyoButton::SetLitState(TZQLitState state) {
  if (state < 0 || state > 3 || state == litState_) return;
  litState_ = state;
  if (state != 0) lit_ = true;
  update();
}

void TVyoButton::SetColors(const TZQColors& colors) {
  colors_.Assign(colors);
  update();
}

void TVyoButton::SetRingWidth(int16_t width) {
  if (width < 0 || width > 3 || width == ringWidth_) return;
  ringWidth_ = width;
  update();
}

void TVyoButton::SetClear(bool clear) {
  if (clear == clear_) return;
  clear_ = clear;
  update();
}

void TVyoButton::SetTimedout(bool /*value*/) {
  if (!held_) return;
  held_ = false;
  update();
  Fire(OnRightClick, this);
}

void TVyoButton::SetCaption(const QString& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  update();
}

void TVyoButton::SetTabStop(bool on) {
  if (on == tabStop_) return;
  tabStop_ = on;
  setFocusPolicy(on ? Qt::TabFocus : Qt::NoFocus);
  update();
}

QColor TVyoButton::FillColor() const {
  return colors_.Color(isEnabled() ? TZQColors::Fill_Off + litState_ : TZQColors::Fill_Disabled);
}

// The outline's colour, which the focus mark shares; a button without a ring draws both in the
// fill colour, so neither shows.
QColor TVyoButton::PenColor() const {
  if (ringWidth_ == 0) return FillColor();
  return colors_.Color(isEnabled() ? TZQColors::Ring_Off + litState_ : TZQColors::Ring_Disabled);
}

QColor TVyoButton::TextColor() const {
  return isEnabled() ? colors_.Color(TZQColors::Text_Off + litState_) : frozenTextColor_;
}

void TVyoButton::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  if (clear_) {
    const QWidget* source = parentWidget() ? parentWidget() : this;
    painter.fillRect(rect(), source->palette().color(QPalette::Window));
    return;
  }
  PaintFace(painter);
  painter.setFont(font());
  if (hasFocus()) PaintFocusMark(painter);
  PaintCaption(painter);
}

void TVyoButton::PaintFace(QPainter& painter) {
  const int penWidth = ringWidth_ + (held_ ? 2 : 0);
  painter.setBrush(FillColor());
  if (penWidth == 0) {
    painter.setPen(Qt::NoPen);
  } else {
    QPen pen(PenColor(), penWidth, Qt::SolidLine);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
  }
  // The outline lies wholly inside the control, so every ring width shows in full.
  const qreal half = penWidth / 2.0;
  const QRectF face(half, half, width() - penWidth, height() - penWidth);
  if (cornerStyle_ == zqcRound) {
    const qreal radius = cornerDiameter_ / 2.0;
    painter.drawRoundedRect(face, radius, radius);
  } else {
    painter.drawRect(face);
  }
}

void TVyoButton::PaintFocusMark(QPainter& painter) {
  painter.setPen(QPen(PenColor(), 1, Qt::DotLine));
  painter.setBrush(Qt::NoBrush);
  const QRectF mark(2.5, 2.5, width() - 5, height() - 5);
  const qreal radius = cornerDiameter_ / 2.0;
  painter.drawRoundedRect(mark, radius, radius);
}

void TVyoButton::PaintCaption(QPainter& painter) {
  if (caption_.isEmpty()) return;
  const int inset = tabStop_ ? 4 : 2;
  const QFontMetrics metrics(font());
  const int x = (width() - metrics.horizontalAdvance(caption_)) / 2;
  const int y = (height() - metrics.height()) / 2;
  painter.setClipRect(rect().adjusted(inset, inset, -inset, -inset));
  painter.setPen(TextColor());
  painter.drawText(x, y + metrics.ascent(), caption_);
}

void TVyoButton::mousePressEvent(QMouseEvent* event) {
  if (OnMouseDown && !RunMouseDown(event->button())) return;
  downButtons_ = event->buttons() | event->button();
  held_ = true;
  update();
  Fire(OnUpdTimer, this, true);
}

bool TVyoButton::RunMouseDown(Qt::MouseButton button) {
  const bool wasDown = QGuiApplication::mouseButtons().testFlag(button);
  QPointer<TVyoButton> self(this);
  Fire(OnMouseDown, this, button);
  if (!self) return false;
  // A modal window opened by the handler may have taken the release: then there is no press left
  // to hold, and a later release must not click.
  return !(wasDown && !QGuiApplication::mouseButtons().testFlag(button));
}

void TVyoButton::mouseReleaseEvent(QMouseEvent* /*event*/) {
  if (!held_) return;
  held_ = false;
  update();
  // A handler may close or delete the window holding this button.
  QPointer<TVyoButton> self(this);
  if (downButtons_ & Qt::RightButton) Fire(OnRightClick, this);
  if (self && (downButtons_ & Qt::LeftButton)) Fire(OnClick, this);
  if (self) Fire(OnUpdTimer, this, false);
}

void TVyoButton::keyPressEvent(QKeyEvent* event) {
  event->accept();
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) Fire(OnClick, this);
}

void TVyoButton::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  if (tabStop_) update();
}

void TVyoButton::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  if (tabStop_) update();
}

void TVyoButton::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::EnabledChange) return;
  if (!isEnabled()) {
    frozenTextColor_ = colors_.Color(TZQColors::Text_Off + litState_);
    // A disabled control gets no mouse release: end the press so the owner's long-press timing
    // stops, without a click.
    if (held_) {
      held_ = false;
      Fire(OnUpdTimer, this, false);
    }
  }
  update();
}
