#include "plot/plot_surface.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>

#include <cmath>
#include <memory>
#include <string>

#include "files/file_error.h"
#include "platform/enum_table.h"

namespace pellix::plot {
namespace {

struct SurfaceDeleter {
  void operator()(cairo_surface_t* surface) const noexcept { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
  void operator()(cairo_t* context) const noexcept { cairo_destroy(context); }
};

FileError PlotError(const std::filesystem::path& path, cairo_status_t status) {
  return FileError::Message(kPathFileAccessError, "cannot write plot '" + path.string() +
                                                      "': " + cairo_status_to_string(status));
}

// Each format's name on the command line; its files end in a dot and the name.
constexpr EnumEntry<PlotFormat, std::string_view> kPlotFormatNames[] = {
    {PlotFormat::kSvg, "svg"}, {PlotFormat::kPng, "png"}, {PlotFormat::kPdf, "pdf"}};

}  // namespace

std::optional<PlotFormat> ParsePlotFormat(std::string_view name) {
  return KeyOf(kPlotFormatNames, name);
}

std::string PlotExtension(PlotFormat format) {
  return "." + std::string(MeaningOf(kPlotFormatNames, format));
}

void RenderPlot(const std::filesystem::path& path, PlotFormat format, double width, double height,
                const std::function<void(cairo_t*)>& draw) {
  std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface;
  switch (format) {
    case PlotFormat::kSvg:
      surface.reset(cairo_svg_surface_create(path.c_str(), width, height));
      break;
    case PlotFormat::kPdf:
      surface.reset(cairo_pdf_surface_create(path.c_str(), width, height));
      break;
    case PlotFormat::kPng:
      surface.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32,
                                               static_cast<int>(std::ceil(width)),
                                               static_cast<int>(std::ceil(height))));
      break;
  }
  if (cairo_status_t status = cairo_surface_status(surface.get()); status != CAIRO_STATUS_SUCCESS)
    throw PlotError(path, status);
  {
    std::unique_ptr<cairo_t, ContextDeleter> context(cairo_create(surface.get()));
    draw(context.get());
    if (cairo_status_t status = cairo_status(context.get()); status != CAIRO_STATUS_SUCCESS)
      throw PlotError(path, status);
  }
  if (format == PlotFormat::kPng) {
    cairo_status_t status = cairo_surface_write_to_png(surface.get(), path.c_str());
    if (status != CAIRO_STATUS_SUCCESS) throw PlotError(path, status);
  }
  cairo_surface_finish(surface.get());
  if (cairo_status_t status = cairo_surface_status(surface.get()); status != CAIRO_STATUS_SUCCESS)
    throw PlotError(path, status);
}

}  // namespace pellix::plot
