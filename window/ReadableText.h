// Text colours that stay readable on whatever background the system's palette gives.
#pragma once

#include <QColor>

// The contrast ratio of two colours as WCAG defines it: 1 (the same) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);
// Of the two candidate text colours, the one that reads better on `background`.
QColor ReadableOn(const QColor& background, const QColor& first, const QColor& second);
