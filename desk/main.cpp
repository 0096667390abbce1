// pellix-desk: the control on a desktop window. Recordings named on the command line (files or
// folders) are opened at once.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QScreen>
#include <QStringList>
#include <cstdio>
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

// The options QApplication takes for itself (of the window system, the style, the debugger) and
// removes before the desk reads its own; those in the first list take a value.
constexpr const char* kQtValueOptions[] = {"platform",      "platformpluginpath",
                                           "platformtheme", "plugin",
                                           "qmljsdebugger", "qwindowgeometry",
                                           "qwindowicon",   "qwindowtitle",
                                           "session",       "display",
                                           "geometry",      "style",
                                           "stylesheet",    "name",
                                           "title"};
constexpr const char* kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// Makes `parser` know Qt's own options as QApplication does, with one dash or two, for a
// command line read before QApplication has removed them.
void KnowQtOptions(QCommandLineParser& parser) {
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  for (const char* name : kQtValueOptions) {
    QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  for (const char* name : kQtFlagOptions) {
    QCommandLineOption option(QString::fromLatin1(name));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
}

// What is wrong with the command line, or an empty text. Read before the application exists,
// since a window application without a display aborts before it reads its options.
QString CommandLineError(int argc, char** argv) {
  QCommandLineParser parser;
  Describe(parser);
  KnowQtOptions(parser);
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return parser.parse(arguments) ? QString() : parser.errorText();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName("pellix-desk");
  QCoreApplication::setApplicationVersion(PELLIX_VERSION);
  if (const QString error = CommandLineError(argc, argv); !error.isEmpty()) {
    std::fprintf(stderr, "pellix-desk: %s\nRun with --help for more information.\n",
                 qUtf8Printable(error));
    return 2;
  }
  if (AsksOnlyToBeTold(argc, argv)) {
    // A window application needs a display before it can read its options; help and the
    // version are answered without one (over ssh, in a build script).
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    Describe(parser);
    KnowQtOptions(parser);
    parser.process(app);
  }
  QApplication app(argc, argv);
  QCommandLineParser parser;
  Describe(parser);
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
