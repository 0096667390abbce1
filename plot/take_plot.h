// The picture of one take: the recording's waveform as the intake read it, the stretch that was
// stored and analysed shaded, the flic boundaries, and every thorn and jump the scan counted.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/literal_model.h"

namespace pellix::plot {

struct TakePicture {
  std::string title;                  // the take and its result
  std::uint32_t rate = 0;             // samples per second, for the time axis
  std::vector<std::uint8_t> samples;  // what the intake read, centred on 128
  std::size_t take_start = 0;         // data index of slot 0 of the stored take
  std::size_t stretch_end = 0;        // one past the analysed stretch; take_start when none
  reference::ScanMarks marks;         // in slots of the stored take
};

inline constexpr double kTakeWidth = 1200;
inline constexpr double kTakeHeight = 360;

// Where the drawing puts data index `index` across a picture `width` points wide: the plot area
// spans the samples from its left margin to its right one.
double TakeX(const TakePicture& picture, double width, double index);

// The colours of the marks, so that a reader of the picture can tell them apart.
inline constexpr double kThornColour[3] = {0.8, 0.1, 0.1};
inline constexpr double kJumpColour[3] = {0.1, 0.3, 0.8};

void DrawTake(cairo_t* cr, const TakePicture& picture, double width, double height);

}  // namespace pellix::plot
