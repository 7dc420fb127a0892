// One QApplication for a GUI test program, created on first use (the tests run offscreen).
#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QWidget>

#include <ostream>

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "selkie_ui_test";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

// The widget as painted now.
inline QImage Painted(QWidget& widget) { return widget.grab().toImage(); }

inline QColor PixelAt(const QImage& image, int x, int y) { return image.pixelColor(x, y); }

// Readable colours in test failures.
inline void PrintTo(const QColor& color, std::ostream* out) { *out << color.name().toStdString(); }
