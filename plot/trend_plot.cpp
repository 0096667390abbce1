#include "plot/trend_plot.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace pellix::plot {
namespace {

constexpr double kLeft = 60;
constexpr double kRight = 150;  // room for the threshold labels and the legend
constexpr double kTop = 40;
constexpr double kBottom = 60;

struct Series {
  const char* name;
  double TrendPoint::*level;
  std::array<double, 3> colour;
};

constexpr std::array<Series, 3> kSeries = {{
    {"lie stress", &TrendPoint::lie, {0.8, 0.1, 0.1}},
    {"global stress", &TrendPoint::global, {0.1, 0.3, 0.8}},
    {"excitement", &TrendPoint::excitement, {0.1, 0.6, 0.2}},
}};

void Text(cairo_t* cr, double x, double y, const std::string& text, double size = 11) {
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, text.c_str());
}

}  // namespace

void DrawTrend(cairo_t* cr, const TrendPicture& picture, double width, double height) {
  const double plot_right = width - kRight;
  const double plot_bottom = height - kBottom;
  double top_level = 250;
  for (const TrendPoint& p : picture.checks) {
    for (const Series& s : kSeries) top_level = std::max(top_level, p.*s.level);
  }
  for (const TrendThreshold& t : picture.thresholds) top_level = std::max(top_level, t.value);
  const std::size_t n = picture.checks.size();
  auto x = [&](std::size_t i) {
    return n <= 1
               ? (kLeft + plot_right) / 2
               : kLeft + static_cast<double>(i) * (plot_right - kLeft) / static_cast<double>(n - 1);
  };
  auto y = [&](double level) { return plot_bottom - level / top_level * (plot_bottom - kTop); };

  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 0.15, 0.15, 0.15);
  Text(cr, kLeft, 24, picture.title, 13);

  // Axes and the level scale.
  cairo_set_line_width(cr, 0.8);
  cairo_move_to(cr, kLeft, kTop);
  cairo_line_to(cr, kLeft, plot_bottom);
  cairo_line_to(cr, plot_right, plot_bottom);
  cairo_stroke(cr);
  for (double level = 0; level <= top_level; level += 50) {
    char label[16];
    std::snprintf(label, sizeof label, "%.0f", level);
    Text(cr, kLeft - 30, y(level) + 4, label, 9);
  }

  // The verdict's thresholds, dashed.
  const double dash[] = {4, 3};
  cairo_set_dash(cr, dash, 2, 0);
  cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
  for (const TrendThreshold& t : picture.thresholds) {
    cairo_move_to(cr, kLeft, y(t.value));
    cairo_line_to(cr, plot_right, y(t.value));
    cairo_stroke(cr);
    Text(cr, plot_right + 4, y(t.value) + 4, t.label, 9);
  }
  cairo_set_dash(cr, nullptr, 0, 0);

  // The three levels, with a dot at each check.
  cairo_set_line_width(cr, 1.5);
  for (std::size_t k = 0; k < kSeries.size(); ++k) {
    const Series& s = kSeries[k];
    cairo_set_source_rgb(cr, s.colour[0], s.colour[1], s.colour[2]);
    for (std::size_t i = 0; i < n; ++i) {
      const double py = y(picture.checks[i].*s.level);
      if (i == 0) {
        cairo_move_to(cr, x(i), py);
      } else {
        cairo_line_to(cr, x(i), py);
      }
    }
    cairo_stroke(cr);
    for (std::size_t i = 0; i < n; ++i) {
      cairo_arc(cr, x(i), y(picture.checks[i].*s.level), 2.5, 0, 6.283185307179586);
      cairo_fill(cr);
    }
    Text(cr, plot_right + 4, kTop + 14 * static_cast<double>(k), s.name, 10);
  }

  // Each check's number and result code under the axis.
  cairo_set_source_rgb(cr, 0.15, 0.15, 0.15);
  for (std::size_t i = 0; i < n; ++i) {
    Text(cr, x(i) - 3, plot_bottom + 14, std::to_string(i + 1), 8);
    Text(cr, x(i) - 3, plot_bottom + 28, std::to_string(picture.checks[i].code), 10);
  }
  Text(cr, kLeft, height - 10, "upper row: check; lower row: result code (see pellix --help)", 9);
}

}  // namespace pellix::plot
