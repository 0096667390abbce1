#include "plot/trend_plot.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace pellix::plot {
namespace {

constexpr double kLeft = 60;
constexpr double kRight = 80;  // room for the thresholds' labels
constexpr double kTitleBaseline = 24;
constexpr double kBottom = 40;  // each check's number and code
constexpr double kLegendSize = 10;
constexpr double kLegendRow = 16;  // from one legend line to the next
constexpr double kSwatch = 18;     // a series' line and dot before its name
constexpr double kEntryGap = 14;   // between two legend entries
constexpr double kMarkHalf = 4;    // half the size of a refused check's cross
constexpr double kLevelStep = 50;  // between two labels of the level scale

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
constexpr std::array<double, 3> kRefusedColour = {0.85, 0.45, 0.0};
constexpr const char* kRefusedName = "refused check";

void Font(cairo_t* cr, double size) {
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
}

double TextWidth(cairo_t* cr, const std::string& text, double size) {
  Font(cr, size);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text.c_str(), &extents);
  return extents.x_advance;
}

void Text(cairo_t* cr, double x, double y, const std::string& text, double size = 11) {
  Font(cr, size);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, text.c_str());
}

void Colour(cairo_t* cr, const std::array<double, 3>& rgb) {
  cairo_set_source_rgb(cr, rgb[0], rgb[1], rgb[2]);
}

void Cross(cairo_t* cr, double x, double y) {
  cairo_set_line_width(cr, 1.5);
  cairo_move_to(cr, x - kMarkHalf, y - kMarkHalf);
  cairo_line_to(cr, x + kMarkHalf, y + kMarkHalf);
  cairo_move_to(cr, x - kMarkHalf, y + kMarkHalf);
  cairo_line_to(cr, x + kMarkHalf, y - kMarkHalf);
  cairo_stroke(cr);
}

bool AnyRefused(const TrendPicture& picture) {
  return std::any_of(picture.checks.begin(), picture.checks.end(),
                     [](const TrendPoint& p) { return p.refused(); });
}

}  // namespace

double TrendLayout::X(std::size_t check) const {
  if (checks <= 1) return (plot.left + plot.right) / 2;
  return plot.left +
         static_cast<double>(check) * (plot.right - plot.left) / static_cast<double>(checks - 1);
}

double TrendLayout::Y(double level) const {
  return plot.bottom - level / top_level * (plot.bottom - plot.top);
}

TrendLayout LayOutTrend(cairo_t* cr, const TrendPicture& picture, double width, double height) {
  TrendLayout layout;
  layout.checks = picture.checks.size();
  for (const TrendPoint& p : picture.checks) {
    if (p.refused()) continue;
    for (const Series& s : kSeries) layout.top_level = std::max(layout.top_level, p.*s.level);
  }
  for (const TrendThreshold& t : picture.thresholds)
    layout.top_level = std::max(layout.top_level, t.value);

  // The legend, on lines of its own under the title, wrapped where the picture is narrow.
  std::vector<std::string> names;
  for (const Series& s : kSeries) names.emplace_back(s.name);
  if (AnyRefused(picture)) names.emplace_back(kRefusedName);
  double x = kLeft;
  double baseline = kTitleBaseline + kLegendRow + 2;
  for (const std::string& name : names) {
    const double entry = kSwatch + TextWidth(cr, name, kLegendSize);
    if (x > kLeft && x + entry > width - 8) {
      x = kLeft;
      baseline += kLegendRow;
    }
    layout.legend.push_back({name, {x, baseline - kLegendSize, x + entry, baseline + 3}});
    x += entry + kEntryGap;
  }
  layout.plot = {kLeft, baseline + 14, width - kRight, height - kBottom};
  return layout;
}

void DrawTrend(cairo_t* cr, const TrendPicture& picture, double width, double height) {
  const TrendLayout layout = LayOutTrend(cr, picture, width, height);
  const TrendBox& plot = layout.plot;
  const std::size_t n = picture.checks.size();

  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 0.15, 0.15, 0.15);
  Text(cr, kLeft, kTitleBaseline, picture.title, 13);

  // Axes and the level scale.
  cairo_set_line_width(cr, 0.8);
  cairo_move_to(cr, plot.left, plot.top);
  cairo_line_to(cr, plot.left, plot.bottom);
  cairo_line_to(cr, plot.right, plot.bottom);
  cairo_stroke(cr);
  for (double level = 0; level <= layout.top_level; level += kLevelStep) {
    char label[16];
    std::snprintf(label, sizeof label, "%.0f", level);
    Text(cr, plot.left - 30, layout.Y(level) + 4, label, 9);
  }

  // The verdict's thresholds, dashed.
  const double dash[] = {4, 3};
  cairo_set_dash(cr, dash, 2, 0);
  cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
  for (const TrendThreshold& t : picture.thresholds) {
    cairo_move_to(cr, plot.left, layout.Y(t.value));
    cairo_line_to(cr, plot.right, layout.Y(t.value));
    cairo_stroke(cr);
    Text(cr, plot.right + 4, layout.Y(t.value) + 4, t.label, 9);
  }
  cairo_set_dash(cr, nullptr, 0, 0);

  // The three levels, with a dot at each check; a refused check breaks the lines.
  for (const Series& s : kSeries) {
    Colour(cr, s.colour);
    cairo_set_line_width(cr, 1.5);
    bool drawing = false;
    for (std::size_t i = 0; i < n; ++i) {
      const TrendPoint& p = picture.checks[i];
      if (p.refused()) {
        drawing = false;
        continue;
      }
      if (drawing) {
        cairo_line_to(cr, layout.X(i), layout.Y(p.*s.level));
      } else {
        cairo_move_to(cr, layout.X(i), layout.Y(p.*s.level));
        drawing = true;
      }
    }
    cairo_stroke(cr);
    for (std::size_t i = 0; i < n; ++i) {
      if (picture.checks[i].refused()) continue;
      cairo_arc(cr, layout.X(i), layout.Y(picture.checks[i].*s.level), 2.5, 0,
                2 * std::numbers::pi);
      cairo_fill(cr);
    }
  }
  // A refused check: a cross on the axis where its levels would be.
  Colour(cr, kRefusedColour);
  for (std::size_t i = 0; i < n; ++i) {
    if (picture.checks[i].refused()) Cross(cr, layout.X(i), plot.bottom - kMarkHalf - 2);
  }

  // The legend: each series' line and dot, the refused checks' cross.
  for (const TrendLayout::Entry& entry : layout.legend) {
    const double middle = (entry.box.top + entry.box.bottom) / 2 - 1;
    const Series* series = nullptr;
    for (const Series& s : kSeries) {
      if (entry.name == s.name) series = &s;
    }
    Colour(cr, series != nullptr ? series->colour : kRefusedColour);
    if (series != nullptr) {
      cairo_set_line_width(cr, 1.5);
      cairo_move_to(cr, entry.box.left, middle);
      cairo_line_to(cr, entry.box.left + kSwatch - 5, middle);
      cairo_stroke(cr);
      cairo_arc(cr, entry.box.left + (kSwatch - 5) / 2, middle, 2.5, 0, 2 * std::numbers::pi);
      cairo_fill(cr);
    } else {
      Cross(cr, entry.box.left + (kSwatch - 5) / 2, middle);
    }
    Text(cr, entry.box.left + kSwatch, entry.box.bottom - 3, entry.name, kLegendSize);
  }

  // Each check's number and result code under the axis, the rows named on the left; where they
  // would run into each other, every few checks', always the last one's.
  double widest = 0;
  for (std::size_t i = 0; i < n; ++i) {
    widest = std::max({widest, TextWidth(cr, std::to_string(i + 1), 9),
                       TextWidth(cr, std::to_string(picture.checks[i].code), 10)});
  }
  const double spacing =
      n > 1 ? (plot.right - plot.left) / static_cast<double>(n - 1) : plot.right - plot.left;
  const auto step =
      static_cast<std::size_t>(std::max(1.0, std::ceil((widest + 6) / std::max(spacing, 1.0))));
  for (std::size_t i = 0; i < n; ++i) {
    if ((n - 1 - i) % step != 0) continue;
    const std::string number = std::to_string(i + 1);
    const std::string code = std::to_string(picture.checks[i].code);
    cairo_set_source_rgb(cr, 0.15, 0.15, 0.15);
    Text(cr, layout.X(i) - TextWidth(cr, number, 9) / 2, plot.bottom + 14, number, 9);
    if (picture.checks[i].refused()) Colour(cr, kRefusedColour);
    Text(cr, layout.X(i) - TextWidth(cr, code, 10) / 2, plot.bottom + 28, code, 10);
  }
  cairo_set_source_rgb(cr, 0.15, 0.15, 0.15);
  Text(cr, plot.left - 8 - TextWidth(cr, "check", 9), plot.bottom + 14, "check", 9);
  Text(cr, plot.left - 8 - TextWidth(cr, "code", 9), plot.bottom + 28, "code", 9);
}

}  // namespace pellix::plot
