// Start-up measuring: the moment a window has first painted itself.
#pragma once

class QWidget;

namespace vornik::ui {

// Once `window` has handled its first paint event, prints
// "first-paint <nanoseconds>" on the monotonic clock to stdout and quits
// the application.
void QuitAfterFirstPaint(QWidget* window);

}  // namespace vornik::ui
