#include "host/analysis/session_plots.h"

#include <cctype>
#include <memory>

#include "engine/literal_model.h"
#include "engine/tarvo_alg1.h"
#include "host/plot/take_plot.h"
#include "host/plot/trend_plot.h"

namespace pellix::analysis {
namespace {

std::filesystem::path PlotPath(const std::filesystem::path& folder, const std::string& name,
                               plot::PlotFormat format) {
  return folder / (name + std::string(plot::PlotExtension(format)));
}

}  // namespace

std::string PlotPrefix(const std::string& speaker) {
  std::string out = speaker;
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (!std::isalnum(u) && c != '-' && c != '_' && c != '.') c = '_';
  }
  if (!out.empty() && out.front() == '.') out.front() = '_';
  return out;
}

void DrawTakePlot(const std::filesystem::path& folder, const std::string& name,
                  plot::PlotFormat format, const std::string& title, const PreparedTake& take,
                  const IntakeOutcome& intake, bool scanned) {
  plot::TakePicture picture;
  picture.title = title;
  picture.rate = take.seconds_rate();
  picture.samples = take.window;
  picture.take_start = intake.take_start;
  picture.stretch_end = AnalysedEnd(intake);
  if (scanned) {
    auto copy = std::make_unique<Tarvo_alg1::SharedState>(Tarvo_alg1::Shared());
    reference::ScanThornsJumps(*copy, &picture.marks);
  }
  plot::RenderPlot(PlotPath(folder, name, format), format, plot::kTakeWidth, plot::kTakeHeight,
                   [&picture](cairo_t* cr) {
                     plot::DrawTake(cr, picture, plot::kTakeWidth, plot::kTakeHeight);
                   });
}

void DrawTrendPlot(const std::filesystem::path& folder, const std::string& name,
                   plot::PlotFormat format, const std::string& title,
                   const std::vector<HistoryRow>& rows) {
  plot::TrendPicture picture;
  picture.title = title;
  for (const HistoryRow& row : rows) {
    picture.checks.push_back({static_cast<double>(row.lie_stress),
                              static_cast<double>(row.global_stress),
                              static_cast<double>(row.excitement_stress), row.code});
  }
  const Tarvo_alg1::SharedState& s = Tarvo_alg1::Shared();
  picture.thresholds = {
      {"truth floor", s.TruthFloor}, {"band low", s.BandLow}, {"band high", s.BandHigh}};
  plot::RenderPlot(PlotPath(folder, name, format), format, plot::kTrendWidth, plot::kTrendHeight,
                   [&picture](cairo_t* cr) {
                     plot::DrawTrend(cr, picture, plot::kTrendWidth, plot::kTrendHeight);
                   });
}

}  // namespace pellix::analysis
