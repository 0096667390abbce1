// The desk's pictures, drawn by the plot library: a take's waveform with its analysed stretch,
// flics, thorns and jumps as the session analyses it, and the speaker's trend. The same
// drawings pellix analyze --plot writes to files, kept as what to draw so that a view draws
// them at its own size, its labels as readable in a small window as in a large one.
#pragma once

#include <cairo.h>
#include <QImage>
#include <QSizeF>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "analysis/session.h"

namespace pellix::desk {

// A picture that draws itself at any size: `draw(cr, width, height)` in drawing units (a unit
// is a point of the files pellix analyze --plot writes). It is laid out for `natural` units and
// keeps its labels clear of each other down to `least`. Everything it draws is its own copy,
// so it may be drawn on any thread, as often as wanted.
struct Drawing {
  std::function<void(cairo_t* cr, double width, double height)> draw;
  QSizeF natural;
  QSizeF least;

  bool empty() const { return !draw; }
};

class TakePainter final : public analysis::SessionPlotter {
 public:
  // `drawn` is called on the session's thread with each picture: a take's under its name, the
  // trend under an empty name.
  using Drawn = std::function<void(const QString& take, const Drawing& picture)>;
  explicit TakePainter(Drawn drawn) : drawn_(std::move(drawn)) {}

  void DrawTake(const std::string& speaker, const std::string& role, int number,
                const std::string& file, const std::string& result,
                const analysis::PreparedTake& take, const analysis::IntakeOutcome& intake,
                const Tarvo_alg1::SharedState* scanned) const override;
  void DrawTrend(const std::string& speaker, const std::vector<analysis::HistoryRow>& rows,
                 const Tarvo_alg1::SharedState& engine) const override;

 private:
  Drawn drawn_;
};

// Draws `draw` onto a `width` x `height` image, white behind.
QImage PaintImage(int width, int height, const std::function<void(cairo_t*)>& draw);

}  // namespace pellix::desk
