// Keeping the main window on its screen: the size it takes for its content within the screen's
// available area (the panels scroll when the content is taller), and the place that keeps its
// frame on that area. Plain geometry, so that any screen can be tried in a test.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// The window's size (frame excluded) for content of `wanted` size, given what the frame adds
// and the area the frame must stay in. When the height is cut, a vertical scroll bar of
// `scrollBar` pixels is added to the width, as far as the area allows.
QSize FitWindow(QSize wanted, QSize frameExtra, const QRect& area, int scrollBar);

// The frame's new top-left corner: `frame` moved the least that keeps it inside `area`; its top
// left corner wins when it is larger than the area.
QPoint KeepInside(const QRect& frame, const QRect& area);
