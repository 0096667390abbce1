#include "desk/take_pictures.h"

#include <QFileInfo>

#include "plot/session_plots.h"

namespace pellix::desk {

QImage PaintImage(int width, int height, const std::function<void(cairo_t*)>& draw) {
  // Cairo's ARGB32 is Qt's premultiplied ARGB32 in native byte order.
  QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      image.bits(), CAIRO_FORMAT_ARGB32, width, height, static_cast<int>(image.bytesPerLine()));
  cairo_t* cr = cairo_create(surface);
  draw(cr);
  cairo_destroy(cr);
  cairo_surface_finish(surface);
  cairo_surface_destroy(surface);
  return image;
}

void TakePainter::DrawTake(const std::string&, const std::string& role, int,
                           const std::string& file, const std::string& result,
                           const analysis::PreparedTake& take,
                           const analysis::IntakeOutcome& intake, bool scanned) const {
  const plot::TakePicture picture =
      plot::PictureOfTake(QFileInfo(QString::fromStdString(file)).fileName().toStdString() + ": " +
                              role + ", " + result,
                          take, intake, scanned);
  drawn_(QString::fromStdString(file),
         PaintImage(static_cast<int>(plot::kTakeWidth), static_cast<int>(plot::kTakeHeight),
                    [&picture](cairo_t* cr) {
                      plot::DrawTake(cr, picture, plot::kTakeWidth, plot::kTakeHeight);
                    }));
}

void TakePainter::DrawTrend(const std::string&,
                            const std::vector<analysis::HistoryRow>& rows) const {
  const plot::TrendPicture picture =
      plot::PictureOfTrend("The speaker's checks: stress levels and result codes", rows);
  drawn_({}, PaintImage(static_cast<int>(plot::kTrendWidth), static_cast<int>(plot::kTrendHeight),
                        [&picture](cairo_t* cr) {
                          plot::DrawTrend(cr, picture, plot::kTrendWidth, plot::kTrendHeight);
                        }));
}

}  // namespace pellix::desk
