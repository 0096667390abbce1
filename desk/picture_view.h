// An image scaled to fit the widget with its proportions kept, and a line of text where there is
// no image yet.
#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

namespace pellix::desk {

class PictureView : public QWidget {
 public:
  explicit PictureView(QString placeholder, QWidget* parent = nullptr);

  void setImage(const QImage& image);
  const QImage& image() const { return image_; }
  QSize sizeHint() const override { return {480, 160}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString placeholder_;
  QImage image_;
};

}  // namespace pellix::desk
