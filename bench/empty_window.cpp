// The floor of the window's start-up: an empty Qt 6 main window of the
// same size, shown and painted once (see bench/first_paint.py).
#include <QApplication>
#include <QMainWindow>

#include "ui/first_paint.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QMainWindow window;
  window.resize(776, 535);  // the size of the Vornik window
  window.show();
  vornik::ui::QuitAfterFirstPaint(&window);
  return app.exec();
}
