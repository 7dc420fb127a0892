// Helpers of the GUI test programs (offscreen); QtTestMain.cpp holds their QApplication.
#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QWidget>
#include <ostream>

// How long a test waits for something that should happen at once before it calls it stuck; only
// a failing test ever waits this long.
constexpr int kStuckMs = 30000;

// The widget as painted now.
inline QImage Painted(QWidget& widget) { return widget.grab().toImage(); }

inline QColor PixelAt(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

// Readable colours in test failures.
inline void PrintTo(const QColor& color, std::ostream* out) { *out << color.name().toStdString(); }
