#include "widget/pellix_widget.h"

#include <QEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

#include "component/control_object.h"
#include "platform/error.h"
#include "widget/component_site.h"
#include "widget/system_colours.h"

namespace pellix {
namespace {

constexpr double kTwipsPerInch = 1440;
constexpr double kLargestCaptionPoints = 8;  // the form's type
constexpr double kSmallestCaptionPoints = 4;
constexpr double kCaptionPointStep = 0.25;
constexpr int kCaptionMargin = 1;  // pixels left of a caption

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int Scaled(int twips, double pixels_per_twip) {
  return static_cast<int>(std::lround(twips * pixels_per_twip));
}

// Where a caption is drawn inside its label's rectangle.
QRect CaptionArea(const QRect& label) {
  return label.adjusted(kCaptionMargin, 0, 0, 0);
}

// Hands a component instance its client site (nullptr takes it away), as a container does.
void SetSite(component::ControlObject& object, IUnknown* site) {
  void* with_site = nullptr;
  if (object.QueryInterface(&IID_IObjectWithSite, &with_site) < 0) return;
  auto* face = static_cast<IObjectWithSite*>(with_site);
  face->lpVtbl->SetSite(face, site);
  face->lpVtbl->Release(face);
}

}  // namespace

// The container as the control sees it. The control may call from its own thread.
class PellixWidget::Site final : public ContainerSite {
 public:
  explicit Site(PellixWidget& widget) : widget_(widget) {}

  bool UserMode() const override { return widget_.user_mode_.load(); }
  void PropertyChanged(std::string_view name) override {
    emit widget_.propertyChanged(
        QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  }

 private:
  PellixWidget& widget_;
};

// Told of the control's changes on the control's thread; hands them to the widget's thread
// with the captions read there, so painting never touches the control.
class PellixWidget::Listener final : public PanelListener {
 public:
  explicit Listener(PellixWidget& widget) : widget_(widget) {}

  void Follow(Panel* panel) { panel_ = panel; }

  void CaptionChanged(const Label& label, const std::string& caption) noexcept override {
    const auto layout = PanelLayout();
    for (std::size_t i = 0; i < layout.size(); ++i) {
      if (&layout[i].label(*panel_) == &label) {
        emit widget_.captionArrived(static_cast<int>(i), FromUtf8(caption), QPrivateSignal());
        return;
      }
    }
  }

  void SurfaceChanged(const ControlSurface& surface) noexcept override {
    emit widget_.surfaceArrived(surface, QPrivateSignal());
  }

 private:
  PellixWidget& widget_;
  Panel* panel_ = nullptr;
};

PellixWidget::PellixWidget(WithoutControl, QWidget* parent)
    : QWidget(parent),
      site_(std::make_unique<Site>(*this)),
      listener_(std::make_unique<Listener>(*this)),
      captions_(PanelLayout().size()) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  // Queued when the control lives on another thread, at once when it lives on this one.
  connect(this, &PellixWidget::captionArrived, this, &PellixWidget::showCaption);
  connect(this, &PellixWidget::surfaceArrived, this, &PellixWidget::showSurface);
  for (std::size_t i = 0; i < captions_.size(); ++i) {
    captions_[i] = FromUtf8(std::string(PanelLayout()[i].design_caption));
  }
}

PellixWidget::PellixWidget(QWidget* parent) : PellixWidget(WithoutControl{}, parent) {
  own_control_ = std::make_unique<ALG_V1S>(site_.get());
  own_control_->InitProperties();
  attach(*own_control_);
}

PellixWidget::PellixWidget(AsComponent, QWidget* parent) : PellixWidget(WithoutControl{}, parent) {
  component_site_ = std::make_unique<ComponentSite>(
      [this] { return user_mode_.load(); },
      [this](std::string_view name) { site_->PropertyChanged(name); });
  component_ = new component::ControlObject();
  SetSite(*component_, component_site_->unknown());
  component_->control().InitProperties();
  attach(component_->control());
}

PellixWidget::~PellixWidget() {
  detach();
  if (component_ != nullptr) {
    // A host may keep the object alive: it must no longer reach this widget.
    SetSite(*component_, nullptr);
    component_->Release();
  }
}

_ALG_V1S* PellixWidget::interfacePointer() const {
  void* dual = nullptr;
  if (component_ == nullptr || component_->QueryInterface(&IID__ALG_V1S, &dual) < 0) {
    return nullptr;
  }
  return static_cast<_ALG_V1S*>(dual);
}

ContainerSite& PellixWidget::site() {
  return *site_;
}

ALG_V1S& PellixWidget::control() const {
  return *control_.load();
}

void PellixWidget::attach(ALG_V1S& control) {
  detach();
  Panel& panel = control.panel();
  listener_->Follow(&panel);
  panel.Listen(listener_.get());
  control_.store(&control);
  // Everything the control holds now, as if it had just changed; a label that refuses to
  // hand out its caption keeps the one shown.
  listener_->SurfaceChanged(control.surface());
  for (const PanelEntry& entry : PanelLayout()) {
    Label& label = entry.label(panel);
    try {
      listener_->CaptionChanged(label, label.caption());
    } catch (const PlatformError&) {
    }
  }
}

void PellixWidget::detach() {
  ALG_V1S* control = control_.exchange(nullptr);
  if (control != nullptr && control->panel().listener() == listener_.get()) {
    control->panel().Listen(nullptr);
  }
}

void PellixWidget::setSurface(const ControlSurface& surface) {
  control().surface() = surface;
  listener_->SurfaceChanged(surface);
}

void PellixWidget::showCaption(int index, const QString& caption) {
  QString& shown = captions_.at(static_cast<std::size_t>(index));
  if (shown == caption) return;
  shown = caption;
  update(labelRect(static_cast<std::size_t>(index)));
  emit captionShown(index);
}

void PellixWidget::showSurface(const ControlSurface& surface) {
  surface_ = surface;
  update();
}

double PellixWidget::twipsToPixelsX() const {
  return logicalDpiX() / kTwipsPerInch;
}

double PellixWidget::twipsToPixelsY() const {
  return logicalDpiY() / kTwipsPerInch;
}

QRect PellixWidget::labelRect(std::size_t index) const {
  // Both edges scaled and rounded, so that labels that touch in twips touch on the screen.
  const TwipsRect& r = PanelLayout()[index].position;
  const double x = twipsToPixelsX();
  const double y = twipsToPixelsY();
  const int left = Scaled(r.left, x);
  const int top = Scaled(r.top, y);
  return QRect(left, top, Scaled(r.left + r.width, x) - left, Scaled(r.top + r.height, y) - top);
}

QSize PellixWidget::sizeHint() const {
  return QSize(Scaled(kPanelWidthTwips, twipsToPixelsX()),
               Scaled(kPanelHeightTwips, twipsToPixelsY()));
}

QFont PellixWidget::captionFont() const {
  const double dpi = logicalDpiY();
  if (caption_font_dpi_ == dpi) return caption_font_;
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  auto every_caption_fits = [&] {
    const QFontMetricsF metrics(font, this);
    for (std::size_t i = 0; i < PanelLayout().size(); ++i) {
      const QRect area = CaptionArea(labelRect(i));
      const QString caption = FromUtf8(std::string(PanelLayout()[i].design_caption));
      if (metrics.horizontalAdvance(caption) > area.width() || metrics.height() > area.height()) {
        return false;
      }
    }
    return true;
  };
  for (double points = kLargestCaptionPoints; points >= kSmallestCaptionPoints;
       points -= kCaptionPointStep) {
    font.setPointSizeF(points);
    if (every_caption_fits()) break;
  }
  caption_font_ = font;
  caption_font_dpi_ = dpi;
  return font;
}

void PellixWidget::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange || event->type() == QEvent::ApplicationFontChange) {
    caption_font_dpi_ = 0;
    update();
  }
  QWidget::changeEvent(event);
}

void PellixWidget::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect surface(QPoint(0, 0), sizeHint());
  if (surface_.BackStyle != 0) {
    painter.fillRect(surface, BackgroundColour(surface_.BackColor, palette()));
  }
  if (surface_.BorderStyle != 0) {
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(surface.adjusted(0, 0, -1, -1));
  }

  painter.setFont(captionFont());
  const QColor text = palette().color(QPalette::ButtonText);
  const auto layout = PanelLayout();
  for (std::size_t i = 0; i < layout.size(); ++i) {
    const QRect r = labelRect(i);
    if (!event->rect().intersects(r)) continue;
    // A value cell is a light box, so the values stand out from the static captions.
    if (layout[i].value_cell) {
      painter.setPen(QPen(QColor(0xA0, 0xA0, 0xA0), 1));
      painter.setBrush(QColor(255, 255, 255, 178));
      painter.drawRect(r.adjusted(0, 0, -1, -1));
      painter.setBrush(Qt::NoBrush);
    }
    // A caption longer than its label is cut at the label's edge, as a label cuts it.
    painter.save();
    painter.setClipRect(r);
    painter.setPen(text);
    painter.drawText(CaptionArea(r), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     captions_[i]);
    painter.restore();
  }
}

}  // namespace pellix
