// Puts the installed widget on a window, initialises its control and prints the caption of the
// shortest-jump cell: "7" for the parameters below.
#include <QApplication>
#include <cstdio>

#include "widget/pellix_widget.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  pellix::PellixWidget widget;
  widget.control().put_DATAstr("000070000005000000");
  widget.control().Initalize();
  QApplication::processEvents();
  const auto layout = pellix::PanelLayout();
  for (std::size_t i = 0; i < layout.size(); ++i) {
    if (layout[i].name == "Filters(3)") std::printf("%s\n", qPrintable(widget.caption(i)));
  }
  return widget.sizeHint().isEmpty() ? 1 : 0;
}
