// TVyoButton: the program's key-and-lamp control, drawn entirely by this class. Its face shows
// lamp level 0..3 (off, dim 1, dim 2, lit) in the colours of its TZQColors; it reports left and
// right presses as separate events and its press/release as OnUpdTimer for long-press timing.
//
// Events are std::function members (one handler each, assigned by the owner); a handler that is
// not set is simply not called. The sender is passed so one handler can serve a group of buttons
// and switch on Tag().
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>

#include "ZQColors.h"

enum TVyoCornerStyle { zqcSquare = 0, zqcRound = 1 };
using TZQLitState = int;  // 0 off, 1 dim 1, 2 dim 2, 3 lit

class TVyoButton : public QWidget {
 public:
  using TNotifyEvent = std::function<void(TVyoButton* sender)>;
  using TvyoUpdTimer = std::function<void(TVyoButton* sender, bool depressed)>;
  using TMouseDownEvent = std::function<void(TVyoButton* sender, Qt::MouseButton button)>;

  static constexpr int kDefaultWidth = 80;
  static constexpr int kDefaultHeight = 20;

  explicit TVyoButton(QWidget* parent = nullptr);

  TVyoCornerStyle CornerStyle() const { return cornerStyle_; }
  void SetCornerStyle(TVyoCornerStyle style);  // always repaints

  // Stored doubled: the corner ellipse of the rounded face is 2 x CornerRadius wide and high.
  int16_t CornerRadius() const { return static_cast<int16_t>(cornerDiameter_ / 2); }
  void SetCornerRadius(int16_t radius);

  // Lit := true lights the lamp fully (level 3), false puts it out (level 0); no change, no effect.
  bool Lit() const { return lit_; }
  void SetLit(bool lit);

  // Level 0..3; larger values and the current level are ignored. A level above 0 also sets Lit;
  // level 0 leaves Lit as it was.
  TZQLitState LitState() const { return litState_; }
  void SetLitState(TZQLitState state);

  // The colour set; writing copies the fourteen values and always repaints.
  TZQColors& Colors() { return colors_; }
  const TZQColors& Colors() const { return colors_; }
  void SetColors(const TZQColors& colors);

  // Outline width in pixels, 0..3; other values are ignored.
  int16_t RingWidth() const { return ringWidth_; }
  void SetRingWidth(int16_t width);

  // A clear button draws only its parent's background.
  bool Clear() const { return clear_; }
  void SetClear(bool clear);

  // Reading: the button is held down. Writing any value while held releases the press without a
  // click and fires OnRightClick once; writing while not held does nothing.
  bool Timedout() const { return held_; }
  void SetTimedout(bool value);

  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);

  // Tab stop on: Tab (or the owner's setFocus) gives the button the focus, shown by a focus mark;
  // off: it never takes the focus. A press never moves the focus, so clicking a key leaves the
  // caret in the field that had it.
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool on);

  // A free number for the owner, e.g. which key of a group this is.
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

  // Enabled is QWidget's; changing it repaints.

  TNotifyEvent OnClick;       // left press released, or Enter pressed
  TNotifyEvent OnRightClick;  // right press released, or a press cancelled through Timedout
  TvyoUpdTimer OnUpdTimer;    // went down (true) or came up (false)
  // Every mouse press, with the button that went down, before the button counts as held and
  // before OnUpdTimer. The handler may open a modal window (or delete this button): a press
  // whose release was taken by that window while the handler ran leaves the button not held,
  // with neither OnUpdTimer nor a click.
  TMouseDownEvent OnMouseDown;

  QSize sizeHint() const override { return {kDefaultWidth, kDefaultHeight}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  // Runs a copy of the handler: one that deletes this button, and with it the handler, still runs
  // to its end.
  template <typename Handler, typename... Args>
  static void Fire(const Handler& handler, Args... args) {
    if (!handler) return;
    const Handler copy = handler;
    copy(args...);
  }
  bool RunMouseDown(Qt::MouseButton button);  // false: the press is over (or this button is gone)
  void PaintFace(class QPainter& painter);
  void PaintFocusMark(QPainter& painter);
  void PaintCaption(QPainter& painter);
  QColor FillColor() const;
  QColor PenColor() const;
  QColor TextColor() const;

  TVyoCornerStyle cornerStyle_ = zqcRound;
  int cornerDiameter_ = 4;
  bool lit_ = false;
  TZQLitState litState_ = 0;
  TZQColors colors_;
  int16_t ringWidth_ = 1;
  bool clear_ = false;
  bool held_ = false;
  QString caption_;
  bool tabStop_ = true;
  int tag_ = 0;
  // What the mouse-down saw, so the release reports the button that was pressed.
  Qt::MouseButtons downButtons_;
  // The text colour of the last enabled state; a disabled button keeps it.
  QColor frozenTextColor_;
};
