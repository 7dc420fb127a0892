#include "ReadableText.h"

#include <cmath>

namespace {

double Linear(double channel) {
  return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
}

double RelativeLuminance(const QColor& c) {
  return 0.2126 * Linear(c.redF()) + 0.7152 * Linear(c.greenF()) + 0.0722 * Linear(c.blueF());
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = RelativeLuminance(a) + 0.05;
  const double lb = RelativeLuminance(b) + 0.05;
  return la > lb ? la / lb : lb / la;
}

QColor ReadableOn(const QColor& background, const QColor& first, const QColor& second) {
  return ContrastRatio(first, background) >= ContrastRatio(second, background) ? first : second;
}
