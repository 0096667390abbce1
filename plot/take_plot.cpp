#include "plot/take_plot.h"

#include <algorithm>
#include <cstdio>

namespace pellix::plot {
namespace {

constexpr double kLeft = 50;
constexpr double kRight = 20;
constexpr double kTop = 40;
constexpr double kBottom = 40;
constexpr double kTick = 8;  // length of a thorn or jump mark

void Colour(cairo_t* cr, const double (&rgb)[3]) {
  cairo_set_source_rgb(cr, rgb[0], rgb[1], rgb[2]);
}

void Text(cairo_t* cr, double x, double y, const std::string& text, double size = 11) {
  cairo_set_source_rgb(cr, 0.15, 0.15, 0.15);
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, text.c_str());
}

}  // namespace

double TakeX(const TakePicture& picture, double width, double index) {
  const double span = static_cast<double>(std::max<std::size_t>(picture.samples.size(), 1));
  return kLeft + index * (width - kLeft - kRight) / span;
}

void DrawTake(cairo_t* cr, const TakePicture& picture, double width, double height) {
  const double plot_top = kTop;
  const double plot_bottom = height - kBottom;
  const double middle = (plot_top + plot_bottom) / 2;
  const double half = (plot_bottom - plot_top) / 2 - kTick - 2;
  auto y = [&](std::uint8_t sample) { return middle - (sample - 128) / 128.0 * half; };

  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  Text(cr, kLeft, 24, picture.title, 13);

  // The analysed stretch, shaded under everything else.
  if (picture.stretch_end > picture.take_start) {
    cairo_set_source_rgb(cr, 1.0, 0.95, 0.75);
    const double x0 = TakeX(picture, width, static_cast<double>(picture.take_start));
    const double x1 = TakeX(picture, width, static_cast<double>(picture.stretch_end));
    cairo_rectangle(cr, x0, plot_top, x1 - x0, plot_bottom - plot_top);
    cairo_fill(cr);
  }

  // The flic boundaries.
  cairo_set_source_rgb(cr, 0.75, 0.75, 0.75);
  cairo_set_line_width(cr, 0.5);
  for (std::size_t slot : picture.marks.flic_starts) {
    const double x = TakeX(picture, width, static_cast<double>(picture.take_start + slot));
    cairo_move_to(cr, x, plot_top);
    cairo_line_to(cr, x, plot_bottom);
  }
  cairo_stroke(cr);

  // The waveform: the lowest and highest sample under each point of width.
  cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
  cairo_set_line_width(cr, 0.6);
  const std::size_t count = picture.samples.size();
  const auto columns = static_cast<std::size_t>(std::max(1.0, width - kLeft - kRight));
  for (std::size_t c = 0; c < columns && count > 0; ++c) {
    const std::size_t from = c * count / columns;
    const std::size_t to = std::max(from + 1, (c + 1) * count / columns);
    if (from >= count) break;
    const auto [low, high] = std::minmax_element(picture.samples.begin() + from,
                                                 picture.samples.begin() + std::min(to, count));
    const double x = TakeX(picture, width, static_cast<double>(from));
    cairo_move_to(cr, x, y(*high) - 0.3);
    cairo_line_to(cr, x, y(*low) + 0.3);
  }
  cairo_stroke(cr);

  // Thorns above the waveform, jumps below, each kind one path of ticks.
  cairo_set_line_width(cr, 1);
  Colour(cr, kThornColour);
  for (const auto& thorn : picture.marks.thorns) {
    const double x = TakeX(picture, width, static_cast<double>(picture.take_start + thorn.slot));
    cairo_move_to(cr, x, plot_top);
    cairo_line_to(cr, x, plot_top + kTick);
  }
  cairo_stroke(cr);
  Colour(cr, kJumpColour);
  for (const auto& jump : picture.marks.jumps) {
    const double x = TakeX(picture, width, static_cast<double>(picture.take_start + jump.slot));
    cairo_move_to(cr, x, plot_bottom);
    cairo_line_to(cr, x, plot_bottom - kTick);
  }
  cairo_stroke(cr);

  // The time axis and a legend.
  const double rate = picture.rate != 0 ? picture.rate : 11025;
  const double seconds = static_cast<double>(count) / rate;
  const double step = seconds > 5 ? 1 : seconds > 1 ? 0.25 : 0.1;
  for (double t = 0; t <= seconds + 1e-9; t += step) {
    char label[32];
    std::snprintf(label, sizeof label, "%.2f s", t);
    Text(cr, TakeX(picture, width, t * rate) - 12, height - 20, label, 9);
  }
  char legend[160];
  std::snprintf(legend, sizeof legend,
                "shaded: analysed stretch   grey lines: flics   red: %zu thorns   blue: %zu jumps",
                picture.marks.thorns.size(), picture.marks.jumps.size());
  Text(cr, kLeft, height - 5, legend, 10);
}

}  // namespace pellix::plot
