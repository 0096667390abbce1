// The picture of one speaker's checks: the three stress levels check by check, the result code
// of each, and the levels the verdict compares them with. A check that was refused (code -1 or
// -2) has no levels: it keeps its place, marked on the axis, its code under it.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <string>
#include <vector>

namespace pellix::plot {

struct TrendPoint {
  double lie = 0;
  double global = 0;
  double excitement = 0;
  int code = 0;

  bool refused() const { return code < 0; }
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

// A box in drawing units.
struct TrendBox {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

// Where a trend drawn `width` x `height` puts things: the plot area, the legend's entries
// (a line of their own between the title and the plot, so that no point lies under them), and
// each check's place.
struct TrendLayout {
  TrendBox plot;
  double top_level = 250;  // the level at the top of the plot area
  struct Entry {
    std::string name;
    TrendBox box;
  };
  std::vector<Entry> legend;
  std::size_t checks = 0;

  double X(std::size_t check) const;
  double Y(double level) const;
};

// The layout of `picture` at `width` x `height`; text is measured with `cr`'s font machinery.
TrendLayout LayOutTrend(cairo_t* cr, const TrendPicture& picture, double width, double height);

void DrawTrend(cairo_t* cr, const TrendPicture& picture, double width, double height);

}  // namespace pellix::plot
