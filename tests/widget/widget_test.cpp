// PellixWidget: the control's captions at their scaled places, one label repainted per caption
// change, the appearance keys in the pixels, the ambient UserMode, a control on another thread,
// and caption sizes at which every design caption is whole (on the window and in the SVG).
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintEvent>
#include <QRegion>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

#include "Pellix.h"
#include "control/panel.h"
#include "host/render/panel_render.h"
#include "platform/error.h"
#include "platform/property_bag.h"
#include "widget/pellix_widget.h"
#include "widget/system_colours.h"

namespace pellix {
namespace {

std::size_t IndexOf(std::string_view name) {
  const auto layout = PanelLayout();
  for (std::size_t i = 0; i < layout.size(); ++i) {
    if (layout[i].name == name) return i;
  }
  throw std::invalid_argument(std::string(name));
}

QString CaptionInControl(ALG_V1S& control, std::size_t index) {
  return QString::fromStdString(PanelLayout()[index].label(control.panel()).caption());
}

// Pixels of a label's rectangle darker than mid grey: the strokes of its caption.
int InkIn(const QImage& image, const QRect& rect) {
  int ink = 0;
  for (int y = rect.top(); y <= rect.bottom(); ++y) {
    for (int x = rect.left(); x <= rect.right(); ++x) ink += qGray(image.pixel(x, y)) < 128;
  }
  return ink;
}

// Equal colours, give or take the rounding of one blend.
bool Near(const QColor& shown, const QColor& expected) {
  const bool near = std::abs(shown.red() - expected.red()) <= 1 &&
                    std::abs(shown.green() - expected.green()) <= 1 &&
                    std::abs(shown.blue() - expected.blue()) <= 1;
  if (!near) qWarning() << "shown" << shown << "expected" << expected;
  return near;
}

// Records the region of every paint event the widget receives.
class PaintRecorder : public QObject {
 public:
  QRegion painted;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(event)->region();
    return false;
  }
};

// A point on the surface outside every label, and one inside the box of SPT(6) clear of its
// caption: 214 px is 3210 twips, between the grid (to 3195) and the Filters labels (from 3240).
const QPoint kOutside(214, 150);
const QPoint kInsideValueCell(50, 210);  // SPT(6): 10..55 x 202..219

}  // namespace

class WidgetTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QCOMPARE(PellixWidget().logicalDpiX(), 96); }

  void scalesTwipsToTheScreensLogicalDpi() {
    PellixWidget widget;
    QCOMPARE(widget.sizeHint(), QSize(368, 313));  // 5520 and 4695 twips at 15 a pixel
    const struct {
      const char* name;
      QRect rect;
    } cases[] = {
        {"Label2", {224, 186, 133, 25}},   {"Label1(6)", {218, 28, 43, 19}},
        {"SPJ(7)", {65, 244, 45, 17}},     {"SPT(8)", {11, 288, 45, 17}},
        {"Filters(3)", {322, 26, 41, 19}}, {"BG_LEVEL", {294, 28, 25, 19}},
        {"LBL_MSG", {290, 286, 73, 19}},   {"Label1(18)", {168, 30, 45, 15}},
    };
    for (const auto& c : cases) QCOMPARE(widget.labelRect(IndexOf(c.name)), c.rect);
  }

  void showsTheControlsCaptionsAfterInitalizeCalibrationAndCheck() {
    PellixWidget widget;
    ALG_V1S& control = widget.control();
    auto shows_every_caption = [&] {
      for (std::size_t i = 0; i < PanelLayout().size(); ++i) {
        if (widget.caption(i) != CaptionInControl(control, i)) return false;
      }
      return true;
    };
    control.put_DATAstr("000043000007000000");
    control.Initalize();
    QVERIFY(shows_every_caption());
    QCOMPARE(widget.caption(IndexOf("Filters(3)")), "4");
    QCOMPARE(widget.caption(IndexOf("BG_LEVEL")), "7");

    const QString samples = PELLIX_SOURCE_DIR "/examples/samples/";
    control.put_DATAstr((samples + "alex_calibrate_1.smp").toStdString());
    control.Calibrate();
    QVERIFY(shows_every_caption());
    QVERIFY(widget.caption(IndexOf("SPT(0)")) != "0");  // the first calibration row

    control.put_DATAstr((samples + "alex_check_01.smp").toStdString());
    control.Check();
    QVERIFY(shows_every_caption());
    QVERIFY(widget.caption(IndexOf("LBL_MSG")) != "0");

    // And they are drawn: the result code leaves ink in its cell.
    const QImage image = widget.grab().toImage();
    QVERIFY(InkIn(image, widget.labelRect(IndexOf("LBL_MSG"))) > 0);
    QVERIFY(InkIn(image, widget.labelRect(IndexOf("Label2"))) > 0);
  }

  void aCaptionChangeRepaintsThatLabelOnly() {
    PellixWidget widget;
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    QTest::qWait(50);  // the first paint
    const QImage before = widget.grab().toImage();
    PaintRecorder recorder;
    widget.installEventFilter(&recorder);
    QSignalSpy shown(&widget, &PellixWidget::captionShown);

    widget.control().put<"CR_msgX">("7");
    QCOMPARE(shown.count(), 1);
    QTRY_VERIFY(!recorder.painted.isEmpty());
    const QRect cell = widget.labelRect(IndexOf("LBL_MSG"));
    QCOMPARE(recorder.painted, QRegion(cell));

    const QImage after = widget.grab().toImage();
    QVERIFY(before.copy(cell) != after.copy(cell));
    QImage outside_before = before, outside_after = after;
    for (QImage* image : {&outside_before, &outside_after}) {
      for (int y = cell.top(); y <= cell.bottom(); ++y) {
        for (int x = cell.left(); x <= cell.right(); ++x) image->setPixel(x, y, 0);
      }
    }
    QCOMPARE(outside_after, outside_before);

    // The same text again changes nothing on the screen, nor does a put the label refuses.
    widget.control().put<"CR_msgX">("7");
    widget.control().panel().LBL_MSG.RefuseCaptionPuts(kPermissionDenied);
    QVERIFY_THROWS_EXCEPTION(PlatformError, widget.control().put<"CR_msgX">("8"));
    QCOMPARE(shown.count(), 1);
    QCOMPARE(widget.caption(IndexOf("LBL_MSG")), "7");
  }

  void aLongCaptionIsCutAtItsLabel() {
    PellixWidget widget;
    const QImage before = widget.grab().toImage();
    widget.control().put<"CR_msgX">("8888888888888888888888888888888888");
    const QImage after = widget.grab().toImage();
    const QRect cell = widget.labelRect(IndexOf("LBL_MSG"));  // ends at x 362
    QVERIFY(InkIn(after, cell) > InkIn(before, cell));
    QCOMPARE(after.copy(363, cell.top(), 5, cell.height()),
             before.copy(363, cell.top(), 5, cell.height()));
  }

  void appearanceKeysChangeThePixels_data() {
    QTest::addColumn<uint>("back_color");
    QTest::addColumn<int>("back_style");
    QTest::addColumn<int>("border_style");
    QTest::addColumn<QColor>("outside");     // off every label
    QTest::addColumn<QColor>("value_cell");  // inside a value cell's box
    QTest::addColumn<QColor>("corner");      // the surface's top left pixel
    const QPalette palette = PellixWidget().palette();
    const QColor face = palette.color(QPalette::Button);
    // A value cell's box is white at 178/255 over the surface.
    auto boxed = [](const QColor& c) {
      auto mix = [](int v) { return (255 * 178 + v * 77 + 127) / 255; };
      return QColor(mix(c.red()), mix(c.green()), mix(c.blue()));
    };
    QTest::newRow("button face") << 0x8000000Fu << 1 << 0 << face << boxed(face) << face;
    QTest::newRow("window") << 0x80000005u << 1 << 0 << palette.color(QPalette::Base)
                            << boxed(palette.color(QPalette::Base))
                            << palette.color(QPalette::Base);
    // Stored as blue, green, red from the high byte down.
    QTest::newRow("plain BGR") << 0x00336699u << 1 << 0 << QColor(0x99, 0x66, 0x33)
                               << boxed(QColor(0x99, 0x66, 0x33)) << QColor(0x99, 0x66, 0x33);
    QTest::newRow("black") << 0x00000000u << 1 << 0 << QColor(0, 0, 0) << QColor(178, 178, 178)
                           << QColor(0, 0, 0);
    // Transparent: the parent's red shows through, under the box too.
    QTest::newRow("transparent") << 0x00FF0000u << 0 << 0 << QColor(255, 0, 0)
                                 << QColor(255, 178, 178) << QColor(255, 0, 0);
    QTest::newRow("fixed single border") << 0x00FFFFFFu << 1 << 1 << QColor(255, 255, 255)
                                         << QColor(255, 255, 255) << QColor(0, 0, 0);
  }

  void appearanceKeysChangeThePixels() {
    QFETCH(uint, back_color);
    QFETCH(int, back_style);
    QFETCH(int, border_style);
    QWidget parent;
    QPalette red;
    red.setColor(QPalette::Window, Qt::red);
    parent.setPalette(red);
    parent.setAutoFillBackground(true);
    auto* widget = new PellixWidget(&parent);
    parent.resize(widget->sizeHint());
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    // Loaded from a bag, as a host loads a saved form: the look changes at once.
    MemoryPropertyBag bag;
    bag.WriteProperty("BackColor", Value::Double(back_color), Value());
    bag.WriteProperty("BackStyle", Value::Integer(static_cast<std::int16_t>(back_style)), Value());
    bag.WriteProperty("BorderStyle", Value::Integer(static_cast<std::int16_t>(border_style)),
                      Value());
    widget->control().ReadProperties(bag);
    QFETCH(QColor, outside);
    QFETCH(QColor, value_cell);
    QFETCH(QColor, corner);
    const QImage image = parent.grab().toImage();
    QVERIFY(Near(image.pixelColor(kOutside), outside));
    QVERIFY(Near(image.pixelColor(kInsideValueCell), value_cell));
    QVERIFY(Near(image.pixelColor(0, 0), corner));
    QVERIFY(Near(image.pixelColor(367, 312), corner));
  }

  void systemColoursMapToPaletteRoles() {
    QCOMPARE(SystemColourRole(15).value(), QPalette::Button);
    QCOMPARE(SystemColourRole(5).value(), QPalette::Base);
    QCOMPARE(SystemColourRole(18).value(), QPalette::ButtonText);
    QCOMPARE(SystemColourRole(24).value(), QPalette::ToolTipBase);
    QVERIFY(!SystemColourRole(25));
    QPalette palette;
    palette.setColor(QPalette::Button, QColor(1, 2, 3));
    QCOMPARE(BackgroundColour(0x80000019u, palette), QColor(1, 2, 3));  // undefined: face
  }

  void autoRedrawIsKeptAndSaved() {
    PellixWidget widget;
    MemoryPropertyBag in;
    in.WriteProperty("AutoRedraw", Value::Boolean(true), Value());
    widget.control().ReadProperties(in);
    QVERIFY(widget.surface().AutoRedraw);
    MemoryPropertyBag out;
    widget.control().WriteProperties(out);
    QCOMPARE(out.ReadProperty("AutoRedraw", Value()).boolean(), true);
  }

  void designModeRefusesWhatTheControlRefuses() {
    PellixWidget widget;
    QSignalSpy changed(&widget, &PellixWidget::propertyChanged);
    QVERIFY(widget.userMode());
    widget.setUserMode(false);
    try {
      widget.control().put_DATAstr("x");
      QFAIL("the put was accepted in design mode");
    } catch (const PlatformError& e) {
      QCOMPARE(e.number(), 382);
    }
    widget.control().put<"CR_msgX">("5");  // allowed in either mode, and notified by its key
    widget.setUserMode(true);
    widget.control().put_DATAstr("x");
    QCOMPARE(widget.control().get_DATAstr(), "x");
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.at(0).at(0).toString(), "CR_MSGX");
    QCOMPARE(changed.at(1).at(0).toString(), "DATAstr");
  }

  void followsAControlOnAnotherThread() {
    PellixWidget widget(PellixWidget::WithoutControl{});
    QThread thread;
    thread.start();
    std::unique_ptr<ALG_V1S> control;
    QObject worker;
    worker.moveToThread(&thread);
    auto on_thread = [&](auto work) {
      QMetaObject::invokeMethod(&worker, work, Qt::BlockingQueuedConnection);
    };
    on_thread([&] {
      control = std::make_unique<ALG_V1S>(&widget.site());
      control->InitProperties();
      control->put<"BGbord">("3");
      widget.attach(*control);
      control->put<"CR_msgX">("9");
    });
    QTRY_COMPARE(widget.caption(IndexOf("LBL_MSG")), "9");
    QCOMPARE(widget.caption(IndexOf("BG_LEVEL")), "3");
    on_thread([&] {
      widget.detach();
      control.reset();
    });
    thread.quit();
    thread.wait();
  }

  void handsOutTheComponentsInterfacePointer() {
    PellixWidget widget(PellixWidget::AsComponent{});
    QSignalSpy changed(&widget, &PellixWidget::propertyChanged);
    _ALG_V1S* dual = widget.interfacePointer();
    QVERIFY(dual != nullptr);
    BSTR seven = PellixSysAllocStringUtf8("7");
    QCOMPARE(dual->lpVtbl->put_CR_msgX(dual, seven), S_OK);
    QCOMPARE(widget.caption(IndexOf("LBL_MSG")), "7");
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toString(), "CR_MSGX");
    // Design mode reaches the component through the ambient UserMode: error 382.
    widget.setUserMode(false);
    QCOMPARE(static_cast<quint32>(dual->lpVtbl->put_DATAstr(dual, seven)), 0x800A017Eu);
    PellixSysFreeString(seven);
    QCOMPARE(dual->lpVtbl->Release(dual), ULONG{1});  // the widget's own reference remains
    QVERIFY(PellixWidget().interfacePointer() == nullptr);
  }

  void everyDesignCaptionFitsItsLabel() {
    PellixWidget widget;
    const QFont font = widget.captionFont();
    QCOMPARE(font.family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    QVERIFY(font.pointSizeF() <= 8);
    qInfo("captions in %s at %.2f points", qPrintable(font.family()), font.pointSizeF());
    // The SVG picture's size, measured in its first family: "BG filter" and "Stereo
    // Algorithem V2.00" whole.
    QFont svg_font(QString::fromUtf8(kSvgCaptionFamilies.data(),
                                     static_cast<qsizetype>(kSvgCaptionFamilies.find(','))));
    svg_font.setPixelSize(100);  // scaled below: QFont takes whole pixel sizes only
    svg_font.setHintingPreference(QFont::PreferNoHinting);
    const QFontMetricsF window(font, &widget);
    const QFontMetricsF picture(svg_font);
    for (std::size_t i = 0; i < PanelLayout().size(); ++i) {
      const PanelEntry& entry = PanelLayout()[i];
      const QString caption = QString::fromUtf8(
          entry.design_caption.data(), static_cast<qsizetype>(entry.design_caption.size()));
      QVERIFY2(window.horizontalAdvance(caption) + 1 <= widget.labelRect(i).width(),
               qPrintable(caption));
      const double svg_width = picture.horizontalAdvance(caption) * kSvgCaptionPixels / 100;
      QVERIFY2(kSvgCaptionInset + svg_width <= entry.position.width / kTwipsPerPixel,
               qPrintable(caption));
    }
  }
};

}  // namespace pellix

QTEST_MAIN(pellix::WidgetTest)
#include "widget_test.moc"
