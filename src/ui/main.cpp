// Starts the window. The program reads no command line.
//
// Hidden hooks for automated runs, read from the environment (none of them
// is meant for users):
//   VORNIK_SMOKE_OPEN=path      after start-up, open that image as File > Open
//                               would, then print one line to stdout:
//                               "vornik: <format> <number of files> files"
//   VORNIK_SMOKE_QUIT_MS=n      choose File > Exit n milliseconds after start
//   VORNIK_SCREENSHOT=path.png  after start-up (and the open above), save a
//                               picture of the window made with QWidget::grab
//                               and exit
//   VORNIK_SMOKE_MAP=1          with the two above: show View > Disk Map and
//                               save the picture of its dialog instead
//   VORNIK_FIRST_PAINT=1        once the window has first painted itself,
//                               print "first-paint <ns>" (monotonic clock)
//                               and exit
#include <cstdio>

#include <QApplication>
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
  const QString open_path = absolute("VORNIK_SMOKE_OPEN");
  const QString screenshot = absolute("VORNIK_SCREENSHOT");

  vornik::ui::VornikMain window;
  window.show();
  if (qEnvironmentVariableIsSet("VORNIK_FIRST_PAINT")) vornik::ui::QuitAfterFirstPaint(&window);

  bool quit_ok = false;
  const int quit_ms = qEnvironmentVariableIntValue("VORNIK_SMOKE_QUIT_MS", &quit_ok);

  if (!open_path.isEmpty()) {
    QTimer::singleShot(0, &window, [&window, open_path] {
      window.OpenImagePath(open_path);
      const QString format = window.Box(vornik::ui::TextBox::Txtfiletype)->text();
      std::printf("vornik: %s %d files\n", format.toLocal8Bit().constData(), window.List1().ListCount());
      std::fflush(stdout);
    });
  }
  const bool map = qEnvironmentVariableIsSet("VORNIK_SMOKE_MAP");
  if (map && !open_path.isEmpty()) QTimer::singleShot(200, &window, [&window] { window.ShowDiskMapOfImage(); });
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
