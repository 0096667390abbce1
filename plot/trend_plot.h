// The picture of one speaker's checks: the three stress levels check by check, the result code
// of each, and the levels the verdict compares them with.
#pragma once

#include <cairo.h>

#include <string>
#include <vector>

namespace pellix::plot {

struct TrendPoint {
  double lie = 0;
  double global = 0;
  double excitement = 0;
  int code = 0;
};

struct TrendThreshold {
  std::string label;
  double value = 0;
};

struct TrendPicture {
  std::string title;
  std::vector<TrendPoint> checks;  // in order
  std::vector<TrendThreshold> thresholds;
};

inline constexpr double kTrendWidth = 900;
inline constexpr double kTrendHeight = 420;

void DrawTrend(cairo_t* cr, const TrendPicture& picture, double width, double height);

}  // namespace pellix::plot
