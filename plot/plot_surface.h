// One drawing, three surfaces: a picture is drawn once onto a cairo context, and whether it
// becomes SVG, PNG or PDF is only the surface it is drawn on.
#pragma once

#include <cairo.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pellix::plot {

enum class PlotFormat { kSvg, kPng, kPdf };

// "svg", "png" or "pdf"; nothing for any other name.
std::optional<PlotFormat> ParsePlotFormat(std::string_view name);

// ".svg", ".png" or ".pdf".
std::string PlotExtension(PlotFormat format);

// Draws `draw` on a `width` x `height` point surface of `format` and writes it to `path`.
// Fails with FileError 75, naming the file, when it cannot be written.
void RenderPlot(const std::filesystem::path& path, PlotFormat format, double width, double height,
                const std::function<void(cairo_t*)>& draw);

}  // namespace pellix::plot
