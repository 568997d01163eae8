// The program's own 32 x 32 window icon.
#pragma once

#include <QIcon>
#include <QImage>

namespace vornik::ui {

// The icon as an image; usable without a running application (the build
// writes it out as the installed PNG).
QImage WindowIconImage();

// The same picture as a window icon; needs a QGuiApplication.
QIcon WindowIcon();

}  // namespace vornik::ui
