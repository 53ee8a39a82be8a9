// A 128 x 96 tile that shows a photo's thumbnail fitted into it (4-pixel
// margin), with a caption and its selection; the photo page's tiles and the
// slide strip's tiles are both of this kind.
#pragma once

#include <QString>
#include <QWidget>

namespace yel::app {

class TThumbnails;

class TPictureTile : public QWidget {
  Q_OBJECT

 public:
  TPictureTile(TThumbnails& thumbnails, const QString& file, QWidget* parent = nullptr);

  QString File() const { return file_; }
  void SetCaption(const QString& caption);
  void SetBadge(const QString& badge);  // small number in the corner (slides)
  void SetSelected(bool selected);
  bool IsSelected() const { return selected_; }
  // Tiles that can be dragged report a drag instead of a click on moving.
  void SetDraggable(bool draggable) { draggable_ = draggable; }

 signals:
  void Clicked();
  void DoubleClicked();
  void DragStarted();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  TThumbnails& thumbnails_;
  QString file_;
  QString caption_;
  QString badge_;
  bool selected_ = false;
  bool draggable_ = false;
  QPoint press_;
  bool pressed_ = false;
};

}  // namespace yel::app
