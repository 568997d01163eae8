#include "ui/first_paint.h"

#include <chrono>
#include <cstdio>

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace vornik::ui {

namespace {

class FirstPaint : public QObject {
 public:
  explicit FirstPaint(QWidget* window) : QObject(window) { window->installEventFilter(this); }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      // After this paint event and the rest of the repaint it belongs to.
      QTimer::singleShot(0, this, [] {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        std::printf("first-paint %lld\n",
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
        std::fflush(stdout);
        QCoreApplication::exit(0);
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  bool seen_ = false;
};

}  // namespace

void QuitAfterFirstPaint(QWidget* window) { new FirstPaint(window); }

}  // namespace vornik::ui
