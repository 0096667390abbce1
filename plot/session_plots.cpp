#include "plot/session_plots.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>

#include "engine/literal_model.h"
#include "engine/tarvo_alg1.h"
#include "plot/take_plot.h"
#include "plot/trend_plot.h"

namespace pellix::plot {

std::string PlotPrefix(const std::string& speaker) {
  std::string out = speaker;
  for (char& c : out) {
    const auto u = static_cast<unsigned char>(c);
    if (!std::isalnum(u) && c != '-' && c != '_' && c != '.') c = '_';
  }
  if (!out.empty() && out.front() == '.') out.front() = '_';
  if (out == speaker) return out;
  // Names that differ only in replaced characters ("a/b", "a b", "a_b") must not share
  // pictures: the name as given, hashed (32-bit FNV-1a), tells them apart.
  std::uint32_t hash = 2166136261u;
  for (const char c : speaker) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "-%08x", static_cast<unsigned>(hash));
  return out + suffix;
}

TakePicture PictureOfTake(std::string title, const analysis::PreparedTake& take,
                          const analysis::IntakeOutcome& intake,
                          const Tarvo_alg1::SharedState* scanned) {
  TakePicture picture;
  picture.title = std::move(title);
  picture.rate = take.seconds_rate();
  picture.samples = take.window;
  picture.take_start = intake.take_start;
  picture.stretch_end = analysis::AnalysedEnd(intake);
  if (scanned != nullptr) {
    auto copy = std::make_unique<Tarvo_alg1::SharedState>(*scanned);
    reference::ScanThornsJumps(*copy, &picture.marks);
  }
  return picture;
}

TrendPicture PictureOfTrend(std::string title, const std::vector<analysis::HistoryRow>& rows,
                            const Tarvo_alg1::SharedState& engine) {
  TrendPicture picture;
  picture.title = std::move(title);
  for (const analysis::HistoryRow& row : rows) {
    picture.checks.push_back({static_cast<double>(row.lie_stress),
                              static_cast<double>(row.global_stress),
                              static_cast<double>(row.excitement_stress), row.code});
  }
  picture.thresholds = {{"truth floor", engine.TruthFloor},
                        {"band low", engine.BandLow},
                        {"band high", engine.BandHigh}};
  return picture;
}

std::filesystem::path FolderPlotter::Path(const std::string& name) const {
  return folder_ / (name + std::string(PlotExtension(format_)));
}

void FolderPlotter::DrawTake(const std::string& speaker, const std::string& role, int number,
                             const std::string& file, const std::string& result,
                             const analysis::PreparedTake& take,
                             const analysis::IntakeOutcome& intake,
                             const Tarvo_alg1::SharedState* scanned) const {
  char index[16];
  std::snprintf(index, sizeof index, "%02d", number);
  const std::string prefix = PlotPrefix(speaker);
  const std::string name = (prefix.empty() ? "" : prefix + "-") + role + "-" + index + "-" +
                           PlotPrefix(std::filesystem::path(file).stem().string());
  const TakePicture picture =
      PictureOfTake(file + ": " + role + ", " + result, take, intake, scanned);
  RenderPlot(Path(name), format_, kTakeWidth, kTakeHeight,
             [&picture](cairo_t* cr) { plot::DrawTake(cr, picture, kTakeWidth, kTakeHeight); });
}

void FolderPlotter::DrawTrend(const std::string& speaker,
                              const std::vector<analysis::HistoryRow>& rows,
                              const Tarvo_alg1::SharedState& engine) const {
  const std::string prefix = PlotPrefix(speaker);
  const TrendPicture picture =
      PictureOfTrend((speaker.empty() ? std::string("Checks") : "Checks of " + speaker) +
                         ": stress levels and result codes",
                     rows, engine);
  RenderPlot(Path((prefix.empty() ? "" : prefix + "-") + "trend"), format_, kTrendWidth,
             kTrendHeight,
             [&picture](cairo_t* cr) { plot::DrawTrend(cr, picture, kTrendWidth, kTrendHeight); });
}

}  // namespace pellix::plot
