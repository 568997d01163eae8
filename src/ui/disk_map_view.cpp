#include "ui/disk_map_view.h"

#include <QDialogButtonBox>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace vornik::ui {

DiskMapView::DiskMapView(const QByteArray& svg, QWidget* parent) : QWidget(parent), renderer_(svg) {
  setObjectName(QStringLiteral("DiskMapView"));
  setMinimumSize(200, 150);
}

QSize DiskMapView::sizeHint() const { return renderer_.defaultSize(); }

void DiskMapView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  QSizeF size = renderer_.defaultSize();
  if (size.isEmpty()) return;
  size.scale(QSizeF(width(), height()), Qt::KeepAspectRatio);
  const QRectF target((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(), size.height());
  renderer_.render(&painter, target);
}

void ShowDiskMap(QWidget* parent, const QByteArray& svg, const QString& title) {
  QDialog dialog(parent);
  dialog.setObjectName(QStringLiteral("DiskMapDialog"));
  dialog.setWindowTitle(title);
  auto* layout = new QVBoxLayout(&dialog);
  auto* view = new DiskMapView(svg, &dialog);
  layout->addWidget(view, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  // As large as the picture, within most of the screen.
  QSize size = view->sizeHint().grownBy(QMargins(20, 20, 20, 60));
  if (const QScreen* screen = parent ? parent->screen() : nullptr) size = size.boundedTo(screen->availableSize() * 0.9);
  dialog.resize(size);
  dialog.exec();
}

}  // namespace vornik::ui
