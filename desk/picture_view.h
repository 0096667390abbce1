// A drawing filling the widget, drawn at the widget's own size so that its labels stay readable
// whatever the window's size, and a line of text where there is no drawing yet.
#pragma once

#include <QImage>
#include <QSizeF>
#include <QString>
#include <QWidget>

#include "desk/take_pictures.h"

namespace pellix::desk {

// Logical pixels per drawing unit for a drawing shown in `view` logical pixels. The labels
// (9 to 13 units) come out at the window's own text size at 1.2 units a pixel; where the view
// is larger than the drawing's natural size at that scale the drawing grows with it, and where
// it is smaller than the least room the drawing needs it shrinks to fit that.
double DrawingScale(const QSizeF& view, const Drawing& drawing);

class PictureView : public QWidget {
 public:
  explicit PictureView(QString placeholder, QWidget* parent = nullptr);

  // An empty drawing shows the placeholder.
  void setDrawing(Drawing drawing);
  bool hasDrawing() const { return !drawing_.empty(); }
  // The drawing as the view shows it now, in device pixels; null without one.
  QImage image() const;
  // DrawingScale at the view's size now.
  double scale() const;
  QSize sizeHint() const override { return {480, 160}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString placeholder_;
  Drawing drawing_;
  mutable QImage shown_;  // image() at the size it was last drawn at
};

}  // namespace pellix::desk
