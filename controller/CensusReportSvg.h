// The two plots of the HTML reports as inline SVG: a histogram of times and a time line of
// times against the moment they were taken, each with a labelled dashed line at `markAt`.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Bars of how many values fall in each bin; `xTitle` names the axis ("reply time (ms)").
std::string SvgHistogram(const std::vector<double>& values, std::string_view xTitle,
                         std::string_view yTitle, double markAt, std::string_view markLabel);

// One dot per (seconds, value) pair; each section starts with a grey line labelled with its
// name.
std::string SvgTimeLine(const std::vector<std::pair<double, double>>& points,
                        std::string_view yTitle, double markAt, std::string_view markLabel,
                        const std::vector<std::pair<double, std::string>>& sections = {});
