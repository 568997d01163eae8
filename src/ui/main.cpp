// Starts the window:  vornik [IMAGE]
// IMAGE is opened once the window shows, as File > Open would open it.
//
// Hidden hooks for automated runs, read from the environment (none of them
// is meant for users):
//   VORNIK_SMOKE_REPORT=1       once the image named on the command line is
//                               open, print one line to stdout:
//                               "vornik: <format> <number of files> files"
//   VORNIK_SMOKE_QUIT_MS=n      choose File > Exit n milliseconds after start
//   VORNIK_SCREENSHOT=path.png  after start-up (and the image's open), save a
//                               picture of the window made with QWidget::grab
//                               and exit
//   VORNIK_SMOKE_MAP=1          with the two above: show View > Disk Map and
//                               save the picture of its dialog instead
//   VORNIK_FIRST_PAINT=1        once the window has first painted itself,
//                               print "first-paint <ns>" (monotonic clock)
//                               and exit
#include <cstdio>

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QTimer>

#include "ui/first_paint.h"
#include "ui/icon.h"
#include "ui/vornik_main.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  vornik::ui::PrepareApplication();
  QApplication::setWindowIcon(vornik::ui::WindowIcon());

  // Relative hook paths mean the folder the program was started from,
  // not the program's own folder that start-up changes to.
  auto absolute = [](const char* name) {
    const QString path = qEnvironmentVariable(name);
    return path.isEmpty() ? path : QFileInfo(path).absoluteFilePath();
  };
  const QString screenshot = absolute("VORNIK_SCREENSHOT");

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Lists the files on JV1, JV3 and DMK floppy-disk images and copies them out."));
  parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("image"), QStringLiteral("The disk image to open at start."),
                               QStringLiteral("[IMAGE]"));
  parser.process(app);
  if (parser.positionalArguments().size() > 1) {
    std::fputs("vornik: one image at a time; see vornik --help\n", stderr);
    return 2;
  }
  // Named from the folder the program was started from, as the Open
  // dialog would name it.
  const QString image =
      parser.positionalArguments().isEmpty() ? QString() : QFileInfo(parser.positionalArguments().front()).absoluteFilePath();

  vornik::ui::VornikMain window;
  window.show();
  const bool report = qEnvironmentVariableIsSet("VORNIK_SMOKE_REPORT");
  if (!image.isEmpty()) {
    QTimer::singleShot(0, &window, [&window, image, report] {
      window.OpenImagePath(image);
      if (!report) return;
      const QString format = window.Box(vornik::ui::TextBox::Txtfiletype)->text();
      std::printf("vornik: %s %d files\n", format.toLocal8Bit().constData(), window.List1().ListCount());
      std::fflush(stdout);
    });
  }
  if (qEnvironmentVariableIsSet("VORNIK_FIRST_PAINT")) vornik::ui::QuitAfterFirstPaint(&window);

  bool quit_ok = false;
  const int quit_ms = qEnvironmentVariableIntValue("VORNIK_SMOKE_QUIT_MS", &quit_ok);

  const bool map = qEnvironmentVariableIsSet("VORNIK_SMOKE_MAP");
  if (map && !image.isEmpty()) QTimer::singleShot(200, &window, [&window] { window.ShowDiskMapOfImage(); });
  if (!screenshot.isEmpty()) {
    // Late enough for the window (and the map's dialog) to be mapped and
    // painted under the X server.
    QTimer::singleShot(map ? 1500 : 500, &window, [&window, screenshot, map] {
      QWidget* shown = map && QApplication::activeModalWidget() ? QApplication::activeModalWidget() : &window;
      const bool saved = shown->grab().save(screenshot, "PNG");
      if (!saved) std::fprintf(stderr, "vornik: cannot write %s\n", screenshot.toLocal8Bit().constData());
      QCoreApplication::exit(saved ? 0 : 1);
    });
  }
  if (quit_ok && quit_ms >= 0) {
    QTimer::singleShot(quit_ms, &window, [&window] { window.mnuFileItem_Click(4); });
  }
  return app.exec();
}
