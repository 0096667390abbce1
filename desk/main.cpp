// pellix-desk: the control on a desktop window. Recordings named on the command line (files or
// folders) are opened at once.
#include <QApplication>
#include <QStringList>

#include "desk/desk_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("pellix-desk");
  pellix::desk::DeskWindow window;
  const QStringList files = QApplication::arguments().mid(1);
  if (!files.isEmpty()) window.openFiles(files);
  window.resize(1280, 760);
  window.show();
  return QApplication::exec();
}
