#include "desk/picture_view.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace pellix::desk {
namespace {

constexpr double kReadableScale = 1.2;

}  // namespace

double DrawingScale(const QSizeF& view, const Drawing& drawing) {
  const double grown =
      std::min(view.width() / drawing.natural.width(), view.height() / drawing.natural.height());
  if (grown > kReadableScale) return grown;
  return std::min({kReadableScale, view.width() / drawing.least.width(),
                   view.height() / drawing.least.height()});
}

PictureView::PictureView(QString placeholder, QWidget* parent)
    : QWidget(parent), placeholder_(std::move(placeholder)) {
  setMinimumSize(160, 60);
}

void PictureView::setDrawing(Drawing drawing) {
  drawing_ = std::move(drawing);
  shown_ = QImage();
  update();
}

double PictureView::scale() const {
  return hasDrawing() ? DrawingScale(size(), drawing_) : 1;
}

QImage PictureView::image() const {
  if (!hasDrawing()) return {};
  const double ratio = devicePixelRatioF();
  const QSize pixels(static_cast<int>(std::lround(width() * ratio)),
                     static_cast<int>(std::lround(height() * ratio)));
  if (shown_.size() != pixels && !pixels.isEmpty()) {
    const double scale = this->scale();
    const double units_wide = width() / scale;
    const double units_high = height() / scale;
    shown_ = PaintImage(pixels.width(), pixels.height(), [&](cairo_t* cr) {
      cairo_scale(cr, ratio * scale, ratio * scale);
      drawing_.draw(cr, units_wide, units_high);
    });
    shown_.setDevicePixelRatio(ratio);
  }
  return shown_;
}

void PictureView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!hasDrawing()) {
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, placeholder_);
    return;
  }
  painter.drawImage(QPoint(0, 0), image());
}

}  // namespace pellix::desk
