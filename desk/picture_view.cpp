#include "desk/picture_view.h"

#include <QPainter>

namespace pellix::desk {

PictureView::PictureView(QString placeholder, QWidget* parent)
    : QWidget(parent), placeholder_(std::move(placeholder)) {
  setMinimumSize(160, 60);
}

void PictureView::setImage(const QImage& image) {
  image_ = image;
  update();
}

void PictureView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (image_.isNull()) {
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, placeholder_);
    return;
  }
  const QSize size = image_.size().scaled(this->size(), Qt::KeepAspectRatio);
  const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, image_);
}

}  // namespace pellix::desk
