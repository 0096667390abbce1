// PellixWidget: the control's panel on a window. Every label stands at its position, twips
// scaled to the screen's logical DPI, with the caption the control holds right now.
//
//   PellixWidget widget;                       // a control of its own, a new instance
//   widget.control().put_DATAstr("000023000005000000");
//   widget.control().Initalize();              // the panel shows the new settings at once
//
// The widget follows the control through a listener on its panel: each caption change
// repaints that label only, and a property-bag load repaints the surface. The control may
// live on another thread (a component instance belongs to the thread that made it): make it
// with site(), attach() it there, and the changes reach the widget through its event queue.
//
// A host outside this tree sees the control through the component: it makes the widget
// AsComponent and drives interfacePointer() with Pellix.h. This header needs no more than Qt
// and Pellix.h; what the widget keeps of the control stays inside it.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <cstddef>
#include <memory>

#include "Pellix.h"

namespace pellix {

class ALG_V1S;
class ContainerSite;
struct ControlSurface;

class PellixWidget : public QWidget {
  Q_OBJECT

 public:
  // A widget with a control of its own on this thread: made with site() and sent
  // InitProperties, as a host does for a new instance.
  explicit PellixWidget(QWidget* parent = nullptr);
  // A widget that shows nothing until a control is attached.
  struct WithoutControl {};
  explicit PellixWidget(WithoutControl, QWidget* parent = nullptr);
  // A widget with a component instance of its own (the object libPellix hands out), sited on
  // the widget: a host written against the component drives it through interfacePointer(),
  // and the widget's UserMode and propertyChanged() serve it as they serve site().
  struct AsComponent {};
  explicit PellixWidget(AsComponent, QWidget* parent = nullptr);
  // A control still attached must be idle and alive (or detached first): the widget stops
  // listening to it.
  ~PellixWidget() override;

  // The control shown, to drive exactly as through its C++ interface; on its own thread. The
  // widget must have one.
  ALG_V1S& control() const;
  bool hasControl() const;
  // The component's _ALG_V1S with a reference for the caller, who releases it; nullptr for a
  // widget not made AsComponent.
  _ALG_V1S* interfacePointer() const;

  // The container a control shown here should be made with: its ambient UserMode is the
  // widget's, and every PropertyChanged comes out of propertyChanged(). Safe from any thread.
  ContainerSite& site();

  // Shows `control` from now on instead of any other. Call on the control's thread while none
  // of its calls runs; the widget then learns its captions and look from that thread. The
  // control must stay alive until it is detached or the widget is destroyed.
  void attach(ALG_V1S& control);
  // Stops showing the control; on the control's thread, while it is idle.
  void detach();

  // Design mode (false) or run mode (true, the default): the ambient UserMode the control
  // sees, so that puts refused in design mode are refused on the window too.
  bool userMode() const;
  void setUserMode(bool run_mode);

  // Sets the control's appearance and shows it; on the control's thread.
  void setSurface(const ControlSurface& surface);

  // What the widget shows, by index into the panel's layout: each label's rectangle in the
  // widget's logical pixels, and the caption it draws there.
  QRect labelRect(std::size_t index) const;
  QString caption(std::size_t index) const;
  // The index of the label the panel names `name` ("Filters(3)", "LBL_MSG"); -1 for none.
  static int labelIndex(const QString& name);
  // The appearance shown.
  const ControlSurface& surface() const;
  // The system's user-interface font at the largest size, up to 8 points, at which every
  // design caption fits its label.
  QFont captionFont() const;

  // The control's 5520 x 4695 twips at the screen's logical DPI.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 signals:
  // The control notified its container that the property `name` changed.
  void propertyChanged(const QString& name);
  // A label shows a new caption (after the repaint was asked for).
  void captionShown(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  class Impl;

  void showCaption(int index, const QString& caption);
  void showSurface(const ControlSurface& surface);
  double twipsToPixelsX() const;
  double twipsToPixelsY() const;

  std::unique_ptr<Impl> impl_;
};

}  // namespace pellix
