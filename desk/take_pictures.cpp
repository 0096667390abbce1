#include "desk/take_pictures.h"

#include <QFileInfo>
#include <memory>

#include "plot/session_plots.h"

namespace pellix::desk {
namespace {

// Below these the labels of a take's picture and of the trend run into each other.
constexpr QSizeF kLeastTake(480, 200);
constexpr QSizeF kLeastTrend(480, 200);

}  // namespace

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
                           const analysis::IntakeOutcome& intake,
                           const Tarvo_alg1::SharedState* scanned) const {
  // The scan's marks are read here, on the session's thread, while its analysis state holds
  // the take.
  auto picture = std::make_shared<const plot::TakePicture>(
      plot::PictureOfTake(QFileInfo(QString::fromStdString(file)).fileName().toStdString() + ": " +
                              role + ", " + result,
                          take, intake, scanned));
  drawn_(QString::fromStdString(file), {[picture](cairo_t* cr, double width, double height) {
                                          plot::DrawTake(cr, *picture, width, height);
                                        },
                                        QSizeF(plot::kTakeWidth, plot::kTakeHeight), kLeastTake});
}

void TakePainter::DrawTrend(const std::string&, const std::vector<analysis::HistoryRow>& rows,
                            const Tarvo_alg1::SharedState& engine) const {
  auto picture = std::make_shared<const plot::TrendPicture>(
      plot::PictureOfTrend("The speaker's checks: stress levels and result codes", rows, engine));
  drawn_({}, {[picture](cairo_t* cr, double width, double height) {
                plot::DrawTrend(cr, *picture, width, height);
              },
              QSizeF(plot::kTrendWidth, plot::kTrendHeight), kLeastTrend});
}

}  // namespace pellix::desk
