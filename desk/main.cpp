// pellix-desk: the control on a desktop window. Recordings named on the command line (files or
// folders) are opened at once.
#include <QApplication>
#include <QCommandLineParser>
#include <QScreen>
#include <QStringList>

#include "desk/desk_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("pellix-desk");
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "The Pellix control on a window: open recordings, calibrate on some, check the others, "
      "read the profile; load and save a speaker's bag as pellix analyze --state keeps it.");
  parser.addHelpOption();
  parser.addPositionalArgument("recordings", "Recordings, sample files or folders to open.",
                               "[recordings...]");
  // --help and unknown options print and exit before any window opens.
  parser.process(app);

  pellix::desk::DeskWindow window;
  const QStringList files = parser.positionalArguments();
  if (!files.isEmpty()) window.openFiles(files);
  const QScreen* screen = QApplication::primaryScreen();
  window.resize(pellix::desk::DeskWindow::StartingSize(
      screen != nullptr ? screen->availableGeometry().size() : QSize(1280, 760)));
  window.show();
  return QApplication::exec();
}
