// Puts the installed widget on a window, with a component instance of its own, drives that
// instance through Pellix.h as any host of the component does, and prints the caption of the
// shortest-jump cell: "7" for the parameters below. Built against the installed files alone,
// it shows that the widget's header needs no more than Qt and Pellix.h.
#include <QApplication>
#include <cstdio>

#include "Pellix.h"
#include "widget/pellix_widget.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  pellix::PellixWidget widget(pellix::PellixWidget::AsComponent{});
  _ALG_V1S* control = widget.interfacePointer();
  PellixBSTR parameters = PellixSysAllocStringUtf8("000070000005000000");
  PellixVARIANT result;
  PellixVariantInit(&result);
  const bool driven = control->lpVtbl->put_DATAstr(control, parameters) >= 0 &&
                      control->lpVtbl->Initalize(control, &result) >= 0;
  PellixSysFreeString(parameters);
  PellixVariantClear(&result);
  control->lpVtbl->Release(control);
  QApplication::processEvents();
  const int cell = pellix::PellixWidget::labelIndex("Filters(3)");
  if (!driven || cell < 0) return 1;
  std::printf("%s\n", qPrintable(widget.caption(static_cast<std::size_t>(cell))));
  return widget.sizeHint().isEmpty() ? 1 : 0;
}
