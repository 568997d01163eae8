// Build helper: writes the window icon as the PNG that is installed with
// the program. Usage: vornik_icon_png OUTPUT.png
#include <cstdio>

#include <QImage>

#include "ui/icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vornik_icon_png OUTPUT.png\n");
    return 2;
  }
  if (!vornik::ui::WindowIconImage().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "vornik_icon_png: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
