// The desk's pictures, drawn by the plot library into images: a take's waveform with its
// analysed stretch, flics, thorns and jumps as the session analyses it, and the speaker's
// trend. The same drawings pellix analyze --plot writes to files.
#pragma once

#include <cairo.h>
#include <QImage>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "analysis/session.h"

namespace pellix::desk {

class TakePainter final : public analysis::SessionPlotter {
 public:
  // `drawn` is called on the session's thread with each picture: a take's under its name, the
  // trend under an empty name.
  using Drawn = std::function<void(const QString& take, const QImage& picture)>;
  explicit TakePainter(Drawn drawn) : drawn_(std::move(drawn)) {}

  void DrawTake(const std::string& speaker, const std::string& role, int number,
                const std::string& file, const std::string& result,
                const analysis::PreparedTake& take, const analysis::IntakeOutcome& intake,
                bool scanned) const override;
  void DrawTrend(const std::string& speaker,
                 const std::vector<analysis::HistoryRow>& rows) const override;

 private:
  Drawn drawn_;
};

// Draws `draw` onto a `width` x `height` image, white behind.
QImage PaintImage(int width, int height, const std::function<void(cairo_t*)>& draw);

}  // namespace pellix::desk
