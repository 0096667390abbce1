// pellix-desk: the control on a desktop window. Recordings named on the command line (files or
// folders) are opened at once.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QScreen>
#include <QStringList>
#include <cstring>

#include "desk/desk_window.h"

namespace {

void Describe(QCommandLineParser& parser) {
  parser.setApplicationDescription(
      "The Pellix control on a window: open recordings, calibrate on some, check the others, "
      "read the profile; load and save a speaker's bag as pellix analyze --state keeps it.");
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument("recordings", "Recordings, sample files or folders to open.",
                               "[recordings...]");
}

// True when the command line asks for help or the version, which need no window.
bool AsksOnlyToBeTold(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    for (const char* option : {"-h", "-?", "--help", "--help-all", "-v", "--version"}) {
      if (std::strcmp(argv[i], option) == 0) return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName("pellix-desk");
  QCoreApplication::setApplicationVersion(PELLIX_VERSION);
  if (AsksOnlyToBeTold(argc, argv)) {
    // A window application needs a display before it can read its options; help and the
    // version are answered without one (over ssh, in a build script).
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    Describe(parser);
    parser.process(app);
  }
  QApplication app(argc, argv);
  QCommandLineParser parser;
  Describe(parser);
  // Unknown options print and exit before any window opens.
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
