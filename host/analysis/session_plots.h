// The pictures a session draws with --plot: one per take, one trend per speaker.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "host/analysis/check_history.h"
#include "host/analysis/sample_source.h"
#include "host/analysis/take_facts.h"
#include "host/plot/plot_surface.h"

namespace pellix::analysis {

// A name for the picture files of `speaker`: itself, with anything but letters, digits, '-',
// '_' and '.' replaced by '_'; empty outside batch mode.
std::string PlotPrefix(const std::string& speaker);

// Draws the take into `folder`/`name` plus the format's extension. `scanned`: the scan ran on
// the stored take, so its thorns and jumps are found again (by the literal scan, on a copy of
// this thread's analysis state) and marked. Fails with AudioError when the file cannot be written.
void DrawTakePlot(const std::filesystem::path& folder, const std::string& name,
                  plot::PlotFormat format, const std::string& title, const PreparedTake& take,
                  const IntakeOutcome& intake, bool scanned);

// Draws the speaker's checks in `rows` (oldest first) with the verdict's thresholds, read from
// this thread's analysis constants, into `folder`/`name`. Fails as DrawTakePlot.
void DrawTrendPlot(const std::filesystem::path& folder, const std::string& name,
                   plot::PlotFormat format, const std::string& title,
                   const std::vector<HistoryRow>& rows);

}  // namespace pellix::analysis
