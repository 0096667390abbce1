#include "desk/take_pictures.h"

#include <QFileInfo>
#include <memory>

#include "engine/literal_model.h"
#include "engine/tarvo_alg1.h"
#include "plot/take_plot.h"
#include "plot/trend_plot.h"

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
  plot::TakePicture picture;
  picture.title = QFileInfo(QString::fromStdString(file)).fileName().toStdString() + ": " + role +
                  ", " + result;
  picture.rate = take.seconds_rate();
  picture.samples = take.window;
  picture.take_start = intake.take_start;
  picture.stretch_end = analysis::AnalysedEnd(intake);
  if (scanned) {
    // The literal scan on a copy, so the session's own state stays as the check left it.
    auto copy = std::make_unique<Tarvo_alg1::SharedState>(Tarvo_alg1::Shared());
    reference::ScanThornsJumps(*copy, &picture.marks);
  }
  drawn_(QString::fromStdString(file),
         PaintImage(static_cast<int>(plot::kTakeWidth), static_cast<int>(plot::kTakeHeight),
                    [&picture](cairo_t* cr) {
                      plot::DrawTake(cr, picture, plot::kTakeWidth, plot::kTakeHeight);
                    }));
}

void TakePainter::DrawTrend(const std::string&,
                            const std::vector<analysis::HistoryRow>& rows) const {
  plot::TrendPicture picture;
  picture.title = "The speaker's checks: stress levels and result codes";
  for (const analysis::HistoryRow& row : rows) {
    picture.checks.push_back({static_cast<double>(row.lie_stress),
                              static_cast<double>(row.global_stress),
                              static_cast<double>(row.excitement_stress), row.code});
  }
  const Tarvo_alg1::SharedState& s = Tarvo_alg1::Shared();
  picture.thresholds = {
      {"truth floor", s.TruthFloor}, {"band low", s.BandLow}, {"band high", s.BandHigh}};
  drawn_({}, PaintImage(static_cast<int>(plot::kTrendWidth), static_cast<int>(plot::kTrendHeight),
                        [&picture](cairo_t* cr) {
                          plot::DrawTrend(cr, picture, plot::kTrendWidth, plot::kTrendHeight);
                        }));
}

}  // namespace pellix::desk
