#include "WindowFit.h"

#include <algorithm>

QSize FitWindow(QSize wanted, QSize frameExtra, const QRect& area, int scrollBar) {
  const int maxWidth = std::max(1, area.width() - frameExtra.width());
  const int maxHeight = std::max(1, area.height() - frameExtra.height());
  int width = wanted.width();
  const int height = std::min(wanted.height(), maxHeight);
  if (height < wanted.height()) width += scrollBar;
  return {std::min(width, maxWidth), height};
}

QPoint KeepInside(const QRect& frame, const QRect& area) {
  const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
  const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
  return {x, y};
}
