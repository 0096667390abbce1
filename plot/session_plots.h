// The pictures a session draws with --plot: one per take, one trend per speaker, in a folder.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/session.h"
#include "plot/plot_surface.h"
#include "plot/take_plot.h"
#include "plot/trend_plot.h"

namespace pellix::plot {

// A name for the picture files of `speaker` (or of a take): itself when it holds only letters,
// digits, '-', '_' and '.' and does not start with '.'; otherwise with the others replaced by
// '_' and a hash of the name as given appended ("a/b" gives "a_b-" and eight hex digits), so
// that names differing only in replaced characters never share a picture. Empty for empty.
std::string PlotPrefix(const std::string& speaker);

// A take's picture: its waveform and stored stretch, and with a `scanned` engine state its
// thorns and jumps found again by the literal scan on a copy of that state.
TakePicture PictureOfTake(std::string title, const analysis::PreparedTake& take,
                          const analysis::IntakeOutcome& intake,
                          const Tarvo_alg1::SharedState* scanned);

// The speaker's checks in `rows` (oldest first) with the verdict's thresholds, read from the
// analysis constants of `engine`.
TrendPicture PictureOfTrend(std::string title, const std::vector<analysis::HistoryRow>& rows,
                            const Tarvo_alg1::SharedState& engine);

// Draws every take of a session, and its trend, into one folder in one format. Pictures are
// named "<speaker>-<role>-<number>-<take>" and "<speaker>-trend", the speaker's part left out
// outside batch mode. A picture that cannot be written fails with FileError.
class FolderPlotter final : public analysis::SessionPlotter {
 public:
  FolderPlotter(std::filesystem::path folder, PlotFormat format)
      : folder_(std::move(folder)), format_(format) {}

  // The take's waveform, its stored stretch, and with a `scanned` engine state its thorns and
  // jumps found again by the literal scan on a copy of that state.
  void DrawTake(const std::string& speaker, const std::string& role, int number,
                const std::string& file, const std::string& result,
                const analysis::PreparedTake& take, const analysis::IntakeOutcome& intake,
                const Tarvo_alg1::SharedState* scanned) const override;
  // The speaker's checks with the verdict's thresholds, read from the analysis constants.
  void DrawTrend(const std::string& speaker, const std::vector<analysis::HistoryRow>& rows,
                 const Tarvo_alg1::SharedState& engine) const override;

 private:
  std::filesystem::path Path(const std::string& name) const;

  std::filesystem::path folder_;
  PlotFormat format_;
};

}  // namespace pellix::plot
