#include "CensusReportSvg.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kWidth = 720;
constexpr double kHeight = 260;
constexpr double kLeft = 60;
constexpr double kRight = 20;
constexpr double kTop = 20;
constexpr double kBottom = 45;
constexpr double kPlotWidth = kWidth - kLeft - kRight;
constexpr double kPlotHeight = kHeight - kTop - kBottom;

std::string Num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

// A label for a tick: no decimals when whole.
std::string TickText(double v) {
  char text[32];
  std::snprintf(text, sizeof text, v == std::floor(v) ? "%.0f" : "%.2g", v);
  return text;
}

// A step of 1, 2 or 5 times a power of ten that cuts `span` into at most `parts` pieces.
double NiceStep(double span, int parts) {
  if (span <= 0) return 1;
  const double raw = span / parts;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * power >= raw) return m * power;
  }
  return 10 * power;
}

std::string Open() {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + Num(kWidth) + " " +
         Num(kHeight) + "\" width=\"100%\" role=\"img\" font-family=\"sans-serif\" " +
         "font-size=\"12\">\n<rect x=\"0\" y=\"0\" width=\"" + Num(kWidth) + "\" height=\"" +
         Num(kHeight) + "\" fill=\"white\"/>\n";
}

std::string Text(double x, double y, std::string_view text, std::string_view anchor,
                 std::string_view extra = "") {
  return "<text x=\"" + Num(x) + "\" y=\"" + Num(y) + "\" text-anchor=\"" + std::string(anchor) +
         "\"" + std::string(extra) + ">" + std::string(text) + "</text>\n";
}

std::string Line(double x1, double y1, double x2, double y2, std::string_view style) {
  return "<line x1=\"" + Num(x1) + "\" y1=\"" + Num(y1) + "\" x2=\"" + Num(x2) + "\" y2=\"" +
         Num(y2) + "\" " + std::string(style) + "/>\n";
}

// Axes, ticks and titles for x in [0, xMax] and y in [0, yMax].
std::string Axes(double xMax, double yMax, std::string_view xTitle, std::string_view yTitle) {
  std::string out;
  const double bottom = kTop + kPlotHeight;
  const double xStep = NiceStep(xMax, 10);
  for (double x = 0; x <= xMax + 1e-9; x += xStep) {
    const double px = kLeft + x / xMax * kPlotWidth;
    out += Line(px, bottom, px, bottom + 5, "stroke=\"black\"");
    out += Text(px, bottom + 18, TickText(x), "middle");
  }
  const double yStep = NiceStep(yMax, 5);
  for (double y = 0; y <= yMax + 1e-9; y += yStep) {
    const double py = bottom - y / yMax * kPlotHeight;
    out += Line(kLeft - 5, py, kLeft, py, "stroke=\"black\"");
    out += Line(kLeft, py, kLeft + kPlotWidth, py, "stroke=\"#dddddd\"");
    out += Text(kLeft - 8, py + 4, TickText(y), "end");
  }
  out += Line(kLeft, kTop, kLeft, bottom, "stroke=\"black\"");
  out += Line(kLeft, bottom, kLeft + kPlotWidth, bottom, "stroke=\"black\"");
  out += Text(kLeft + kPlotWidth / 2, kHeight - 6, xTitle, "middle");
  out += Text(14, kTop + kPlotHeight / 2, yTitle, "middle",
              " transform=\"rotate(-90 14 " + Num(kTop + kPlotHeight / 2) + ")\"");
  return out;
}

// The mark as a dashed red line, labelled beside its top (vertical) or right end (horizontal).
std::string Mark(double px1, double py1, double px2, double py2, std::string_view label) {
  const bool vertical = px1 == px2;
  // A vertical line's label goes on the side with more room; a white halo keeps it readable
  // where it crosses a bar or a dot.
  const bool leftOf = vertical && px1 > kLeft + kPlotWidth / 2;
  return Line(px1, py1, px2, py2,
              "stroke=\"#c00000\" stroke-width=\"1.5\" stroke-dasharray=\"6 4\"") +
         Text(vertical ? (leftOf ? px1 - 4 : px1 + 4) : px2 - 2, vertical ? py1 + 12 : py1 - 4,
              label, vertical && !leftOf ? "start" : "end",
              " fill=\"#c00000\" stroke=\"white\" stroke-width=\"3\" paint-order=\"stroke\"");
}

}  // namespace

std::string SvgHistogram(const std::vector<double>& values, std::string_view xTitle,
                         std::string_view yTitle, double markAt, std::string_view markLabel) {
  const double largest = values.empty() ? 0 : *std::max_element(values.begin(), values.end());
  const double step = NiceStep(std::max(largest, markAt) * 1.1, 40);
  const int bins = static_cast<int>(std::ceil(std::max(largest, markAt) * 1.1 / step)) + 1;
  const double xMax = bins * step;
  std::vector<int> counts(static_cast<std::size_t>(bins), 0);
  for (double v : values) {
    const int bin = std::clamp(static_cast<int>(std::floor(std::max(v, 0.0) / step)), 0, bins - 1);
    ++counts[static_cast<std::size_t>(bin)];
  }
  const int most = std::max(1, *std::max_element(counts.begin(), counts.end()));
  const double yMax = NiceStep(most, 5) * std::ceil(most / NiceStep(most, 5));
  std::string out = Open() + Axes(xMax, yMax, xTitle, yTitle);
  const double bottom = kTop + kPlotHeight;
  const double barWidth = kPlotWidth / bins;
  for (int i = 0; i < bins; ++i) {
    const int count = counts[static_cast<std::size_t>(i)];
    if (count == 0) continue;
    const double h = count / yMax * kPlotHeight;
    const double x = kLeft + i * barWidth;
    out += "<rect x=\"" + Num(x + 1) + "\" y=\"" + Num(bottom - h) + "\" width=\"" +
           Num(std::max(barWidth - 2, 1.0)) + "\" height=\"" + Num(h) +
           "\" fill=\"#5b7fb0\" stroke=\"black\" stroke-width=\"0.5\"/>\n";
    out += Text(x + barWidth / 2, bottom - h - 3, std::to_string(count), "middle",
                " font-size=\"10\"");
  }
  const double markX = kLeft + markAt / xMax * kPlotWidth;
  out += Mark(markX, kTop, markX, bottom, markLabel);
  return out + "</svg>\n";
}

std::string SvgTimeLine(const std::vector<std::pair<double, double>>& points,
                        std::string_view yTitle, double markAt, std::string_view markLabel,
                        const std::vector<std::pair<double, std::string>>& sections) {
  double xLargest = 0;
  double yLargest = 0;
  for (const auto& [x, y] : points) {
    xLargest = std::max(xLargest, x);
    yLargest = std::max(yLargest, y);
  }
  const double xStep = NiceStep(std::max(xLargest, 1.0), 10);
  const double xMax = xStep * std::ceil(std::max(xLargest, 1.0) / xStep);
  const double yTop = std::max(yLargest, markAt) * 1.15;
  const double yStep = NiceStep(yTop, 5);
  const double yMax = yStep * std::ceil(yTop / yStep);
  std::string out = Open() + Axes(xMax, yMax, "seconds from the start", yTitle);
  const double bottom = kTop + kPlotHeight;
  for (const auto& [x, name] : sections) {
    const double px = kLeft + x / xMax * kPlotWidth;
    out += Line(px, kTop, px, bottom, "stroke=\"#777777\" stroke-width=\"1\"");
    out += Text(px + 3, kTop + 10, name, "start", " font-size=\"11\" fill=\"#444444\"");
  }
  for (const auto& [x, y] : points) {
    out += "<circle cx=\"" + Num(kLeft + x / xMax * kPlotWidth) + "\" cy=\"" +
           Num(bottom - y / yMax * kPlotHeight) + "\" r=\"1.8\" fill=\"#1f3f6f\"/>\n";
  }
  const double markY = bottom - markAt / yMax * kPlotHeight;
  out += Mark(kLeft, markY, kLeft + kPlotWidth, markY, markLabel);
  return out + "</svg>\n";
}
