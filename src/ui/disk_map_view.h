// The disk map in a dialog of its own: the SVG picture, scaled to the
// dialog as it is resized, its proportions kept.
#pragma once

#include <QDialog>
#include <QSvgRenderer>

namespace vornik::ui {

class DiskMapView : public QWidget {
 public:
  explicit DiskMapView(const QByteArray& svg, QWidget* parent = nullptr);
  QSize sizeHint() const override;
  bool IsValid() const { return renderer_.isValid(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QSvgRenderer renderer_;
};

// Shows `svg` modally, titled `title`.
void ShowDiskMap(QWidget* parent, const QByteArray& svg, const QString& title);

}  // namespace vornik::ui
