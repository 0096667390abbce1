#include "widget/pellix_widget.h"

#include <QEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <atomic>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "control/alg_v1s.h"
#include "control/panel.h"
#include "platform/container_site.h"
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

// Asks an object of the component for one of its interfaces; nullptr when it has none.
template <class Interface>
Interface* Ask(IUnknown* object, const IID& iid) {
  void* face = nullptr;
  if (object->lpVtbl->QueryInterface(object, &iid, &face) < 0) return nullptr;
  return static_cast<Interface*>(face);
}

// Hands a component instance its client site (nullptr takes it away), as a container does.
void SetSite(IUnknown* object, IUnknown* site) {
  if (auto* face = Ask<IObjectWithSite>(object, IID_IObjectWithSite)) {
    face->lpVtbl->SetSite(face, site);
    face->lpVtbl->Release(face);
  }
}

// A new instance of the component with one reference, made through its class factory as any
// host makes one.
IUnknown* NewComponent() {
  void* made = nullptr;
  if (DllGetClassObject(&CLSID_ALG_V1S, &IID_IClassFactory, &made) < 0) {
    throw std::runtime_error("the component hands out no class factory");
  }
  auto* factory = static_cast<IClassFactory*>(made);
  const HRESULT status = factory->lpVtbl->CreateInstance(factory, nullptr, &IID_IUnknown, &made);
  factory->lpVtbl->Release(factory);
  if (status < 0) throw std::runtime_error("the component made no instance");
  return static_cast<IUnknown*>(made);
}

}  // namespace

// What the widget holds: the site and listener the control sees, the control shown, and what
// it last showed of it.
class PellixWidget::Impl {
 public:
  // The container as the control sees it. The control may call from its own thread.
  class Site final : public ContainerSite {
   public:
    explicit Site(PellixWidget& widget) : widget_(widget) {}

    bool UserMode() const override { return widget_.impl_->user_mode.load(); }
    void PropertyChanged(std::string_view name) override {
      emit widget_.propertyChanged(
          QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }

   private:
    PellixWidget& widget_;
  };

  // Told of the control's changes on the control's thread; hands them to the widget's thread
  // with the captions read there, so painting never touches the control. At once when the
  // control lives on the widget's thread, through its event queue when on another.
  class Listener final : public PanelListener {
   public:
    explicit Listener(PellixWidget& widget) : widget_(widget) {}

    void Follow(Panel* panel) { panel_ = panel; }

    void CaptionChanged(const Label& label, const std::string& caption) noexcept override {
      const auto layout = PanelLayout();
      for (std::size_t i = 0; i < layout.size(); ++i) {
        if (&layout[i].label(*panel_) == &label) {
          QMetaObject::invokeMethod(
              &widget_,
              [widget = &widget_, index = static_cast<int>(i), text = FromUtf8(caption)] {
                widget->showCaption(index, text);
              },
              Qt::AutoConnection);
          return;
        }
      }
    }

    void SurfaceChanged(const ControlSurface& changed) noexcept override {
      QMetaObject::invokeMethod(
          &widget_, [widget = &widget_, changed] { widget->showSurface(changed); },
          Qt::AutoConnection);
    }

   private:
    PellixWidget& widget_;
    Panel* panel_ = nullptr;
  };

  explicit Impl(PellixWidget& widget)
      : site(widget), listener(widget), captions(PanelLayout().size()) {
    for (std::size_t i = 0; i < captions.size(); ++i) {
      captions[i] = FromUtf8(std::string(PanelLayout()[i].design_caption));
    }
  }

  Site site;
  Listener listener;
  std::atomic<bool> user_mode{true};
  std::unique_ptr<ALG_V1S> own_control;
  std::unique_ptr<ComponentSite> component_site;
  IUnknown* component = nullptr;  // one reference held
  std::atomic<ALG_V1S*> control{nullptr};

  std::vector<QString> captions;
  ControlSurface surface;
  QFont caption_font;
  double caption_font_dpi = 0;  // the DPI caption_font was sized for
};

PellixWidget::PellixWidget(WithoutControl, QWidget* parent)
    : QWidget(parent), impl_(std::make_unique<Impl>(*this)) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

PellixWidget::PellixWidget(QWidget* parent) : PellixWidget(WithoutControl{}, parent) {
  impl_->own_control = std::make_unique<ALG_V1S>(&impl_->site);
  impl_->own_control->InitProperties();
  attach(*impl_->own_control);
}

PellixWidget::PellixWidget(AsComponent, QWidget* parent) : PellixWidget(WithoutControl{}, parent) {
  impl_->component_site = std::make_unique<ComponentSite>(
      [this] { return impl_->user_mode.load(); },
      [this](std::string_view name) { impl_->site.PropertyChanged(name); });
  impl_->component = NewComponent();
  SetSite(impl_->component, impl_->component_site->unknown());
  ALG_V1S& control = *PellixControlOf(impl_->component);
  control.InitProperties();
  attach(control);
}

PellixWidget::~PellixWidget() {
  detach();
  if (impl_->component != nullptr) {
    // A host may keep the object alive: it must no longer reach this widget.
    SetSite(impl_->component, nullptr);
    impl_->component->lpVtbl->Release(impl_->component);
  }
}

_ALG_V1S* PellixWidget::interfacePointer() const {
  if (impl_->component == nullptr) return nullptr;
  return Ask<_ALG_V1S>(impl_->component, IID__ALG_V1S);
}

ContainerSite& PellixWidget::site() {
  return impl_->site;
}

ALG_V1S& PellixWidget::control() const {
  return *impl_->control.load();
}

bool PellixWidget::hasControl() const {
  return impl_->control.load() != nullptr;
}

bool PellixWidget::userMode() const {
  return impl_->user_mode.load();
}

void PellixWidget::setUserMode(bool run_mode) {
  impl_->user_mode.store(run_mode);
}

void PellixWidget::attach(ALG_V1S& control) {
  detach();
  Panel& panel = control.panel();
  impl_->listener.Follow(&panel);
  panel.Listen(&impl_->listener);
  impl_->control.store(&control);
  // Everything the control holds now, as if it had just changed; a label that refuses to
  // hand out its caption keeps the one shown.
  impl_->listener.SurfaceChanged(control.surface());
  for (const PanelEntry& entry : PanelLayout()) {
    Label& label = entry.label(panel);
    try {
      impl_->listener.CaptionChanged(label, label.caption());
    } catch (const PlatformError&) {
    }
  }
}

void PellixWidget::detach() {
  ALG_V1S* control = impl_->control.exchange(nullptr);
  if (control != nullptr && control->panel().listener() == &impl_->listener) {
    control->panel().Listen(nullptr);
  }
}

void PellixWidget::setSurface(const ControlSurface& surface) {
  control().surface() = surface;
  impl_->listener.SurfaceChanged(surface);
}

QString PellixWidget::caption(std::size_t index) const {
  return impl_->captions.at(index);
}

int PellixWidget::labelIndex(const QString& name) {
  const auto layout = PanelLayout();
  for (std::size_t i = 0; i < layout.size(); ++i) {
    if (FromUtf8(std::string(layout[i].name)) == name) return static_cast<int>(i);
  }
  return -1;
}

const ControlSurface& PellixWidget::surface() const {
  return impl_->surface;
}

void PellixWidget::showCaption(int index, const QString& caption) {
  QString& shown = impl_->captions.at(static_cast<std::size_t>(index));
  if (shown == caption) return;
  shown = caption;
  update(labelRect(static_cast<std::size_t>(index)));
  emit captionShown(index);
}

void PellixWidget::showSurface(const ControlSurface& surface) {
  impl_->surface = surface;
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
  if (impl_->caption_font_dpi == dpi) return impl_->caption_font;
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
  impl_->caption_font = font;
  impl_->caption_font_dpi = dpi;
  return font;
}

void PellixWidget::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange || event->type() == QEvent::ApplicationFontChange) {
    impl_->caption_font_dpi = 0;
    update();
  }
  QWidget::changeEvent(event);
}

void PellixWidget::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const QRect surface(QPoint(0, 0), sizeHint());
  if (impl_->surface.BackStyle != 0) {
    painter.fillRect(surface, BackgroundColour(impl_->surface.BackColor, palette()));
  }
  if (impl_->surface.BorderStyle != 0) {
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
                     impl_->captions[i]);
    painter.restore();
  }
}

}  // namespace pellix
