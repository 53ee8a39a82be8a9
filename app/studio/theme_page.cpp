#include "app/studio/theme_page.h"

#include <QApplication>
#include <QEvent>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>
#include <functional>

#include "album/album_model.h"
#include "album/fit_rect.h"
#include "album/theme_catalogue.h"

namespace yel::app {

// A 110 x 110 catalogue tile: the theme's picture above its name.
class TThemeTile : public QWidget {
 public:
  TThemeTile(const TView& view, QWidget* parent) : QWidget(parent), name_(QString::fromStdString(view.Name)) {
    setFixedSize(TTileLayout::kTileSize, TTileLayout::kTileSize);
    setCursor(Qt::PointingHandCursor);
    setToolTip(name_);
    QImageReader reader(QString::fromStdString(view.PictureFile));
    picture_ = reader.read();
    if (!picture_.isNull())
      picture_ = picture_.scaled(width() - 8, height() - 30, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  std::function<void()> OnClick;
  void SetSelected(bool selected) {
    selected_ = selected;
    update();
  }
  bool Selected() const { return selected_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(0xD5, 0xDA, 0xE1));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    const QRect box(4, 4, width() - 8, height() - 30);
    if (!picture_.isNull()) {
      const FloatRect fit = FitRect(0, box.width(), box.height(), picture_.width(), picture_.height());
      p.drawImage(QRectF(box.x() + fit.X, box.y() + fit.Y, fit.W, fit.H), picture_);
    }
    p.setPen(QColor(0x33, 0x3D, 0x4A));
    p.drawText(QRect(4, height() - 26, width() - 8, 22), Qt::AlignCenter,
               fontMetrics().elidedText(name_, Qt::ElideRight, width() - 8));
    if (selected_) {
      p.setPen(QPen(QColor(0x25, 0x63, 0xEB), 3));
      p.setBrush(Qt::NoBrush);
      p.drawRoundedRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5), 5, 5);
    }
  }
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && OnClick) OnClick();
  }

 private:
  QString name_;
  QImage picture_;
  bool selected_ = false;
};

TfrmTheme::TfrmTheme(TFlashAlbum& album, QWidget* parent) : QWidget(parent), album_(album) {
  setObjectName("ThemePage");
  auto* title = new QLabel(tr("Themes"));
  title->setObjectName("PageTitle");
  choice_ = new QLabel;
  choice_->setObjectName("PageHint");
  area_ = new QScrollArea;
  area_->setObjectName("ThemeArea");
  area_->setFrameShape(QFrame::NoFrame);
  area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  content_ = new QWidget;
  content_->setObjectName("ThemeContent");
  area_->setWidget(content_);
  area_->viewport()->installEventFilter(this);
  templates_header_ = new QLabel(tr("Templates"), content_);
  templates_header_->setObjectName("SectionTitle");
  bars_header_ = new QLabel(tr("Loading Bars"), content_);
  bars_header_->setObjectName("SectionTitle");
  empty_ = new QLabel(tr("No themes are installed beside the program (Theme/Template and Theme/LoadingBar)."),
                      content_);
  empty_->setObjectName("PageHint");

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 16, 24, 16);
  layout->setSpacing(6);
  layout->addWidget(title);
  layout->addWidget(choice_);
  layout->addWidget(area_, 1);
  LoadCatalogues();
}

void TfrmTheme::LoadCatalogues() {
  const std::string chosen_template = album_.Templates.Selected ? album_.Templates.Selected->Name : std::string();
  const std::string chosen_bar = album_.LoadingBars.Selected ? album_.LoadingBars.Selected->Name : std::string();
  try {
    LoadTemplates(album_, chosen_template);
    LoadLoadingBars(album_, chosen_bar);
    if (album_.LoadingBars.Selected) ApplyLoadingBar(album_, album_.LoadingBars.Selected->Name);
  } catch (const std::exception& error) {
    QMessageBox::critical(this, QApplication::applicationName(), QString::fromStdString(error.what()));
  }
  MakeTiles();
}

void TfrmTheme::AlbumReloaded() { LoadCatalogues(); }

void TfrmTheme::ApplyChosenLoadingBar() {
  if (!album_.LoadingBars.Selected) return;
  try {
    ApplyLoadingBar(album_, album_.LoadingBars.Selected->Name);
  } catch (const std::exception& error) {
    QMessageBox::critical(this, QApplication::applicationName(), QString::fromStdString(error.what()));
  }
}

void TfrmTheme::MakeTiles() {
  for (auto* tiles : {&template_tiles_, &bar_tiles_})
    for (auto* tile : *tiles) {
      tile->hide();
      tile->deleteLater();
    }
  template_tiles_.clear();
  bar_tiles_.clear();
  for (std::size_t i = 0; i < album_.Templates.Items.size(); ++i) {
    auto* tile = new TThemeTile(*album_.Templates.Items[i], content_);
    tile->setObjectName(QStringLiteral("Template%1").arg(i + 1));
    tile->OnClick = [this, i] { ChooseTemplate(i); };
    tile->show();
    template_tiles_.push_back(tile);
  }
  for (std::size_t i = 0; i < album_.LoadingBars.Items.size(); ++i) {
    auto* tile = new TThemeTile(*album_.LoadingBars.Items[i], content_);
    tile->setObjectName(QStringLiteral("LoadingBar%1").arg(i + 1));
    tile->OnClick = [this, i] { ChooseLoadingBar(i); };
    tile->show();
    bar_tiles_.push_back(tile);
  }
  LayoutTiles();
  ShowChoice();
}

void TfrmTheme::LayoutTiles() {
  const int width = area_->viewport()->width();
  int y = 12;
  auto section = [&](QLabel* header, std::vector<TThemeTile*>& tiles) {
    header->setVisible(!tiles.empty());
    if (tiles.empty()) return;
    header->setGeometry(0, y, width, header->sizeHint().height());
    y += header->sizeHint().height() + 8;
    TTileLayout layout(width);
    int bottom = y;
    for (auto* tile : tiles) {
      TView place;
      layout.Place(place);
      tile->move(place.Left - 6, y + place.Top - 8);
      bottom = std::max(bottom, tile->geometry().bottom() + 1);
    }
    y = bottom + 24;
  };
  section(templates_header_, template_tiles_);
  section(bars_header_, bar_tiles_);
  empty_->setVisible(template_tiles_.empty() && bar_tiles_.empty());
  empty_->setGeometry(0, 0, width, 40);
  content_->resize(width, std::max(y, 40));
}

void TfrmTheme::ShowChoice() {
  for (std::size_t i = 0; i < template_tiles_.size(); ++i)
    template_tiles_[i]->SetSelected(album_.Templates.Items[i]->Selected);
  for (std::size_t i = 0; i < bar_tiles_.size(); ++i) bar_tiles_[i]->SetSelected(album_.LoadingBars.Items[i]->Selected);
  const QString none = tr("none");
  choice_->setText(tr("Published with the template %1 and the loading bar %2. Click a tile to choose another.")
                       .arg(album_.Templates.Selected ? QString::fromStdString(album_.Templates.Selected->Name) : none,
                            album_.LoadingBars.Selected ? QString::fromStdString(album_.LoadingBars.Selected->Name)
                                                        : none));
}

void TfrmTheme::ChooseTemplate(std::size_t index) {
  if (index >= album_.Templates.Items.size()) return;
  album_.Templates.Select(*album_.Templates.Items[index]);
  ShowChoice();
}

void TfrmTheme::ChooseLoadingBar(std::size_t index) {
  if (index >= album_.LoadingBars.Items.size()) return;
  try {
    if (ApplyLoadingBar(album_, album_.LoadingBars.Items[index]->Name))
      album_.LoadingBars.Select(*album_.LoadingBars.Items[index]);
  } catch (const std::exception& error) {
    QMessageBox::critical(this, QApplication::applicationName(), QString::fromStdString(error.what()));
  }
  ShowChoice();
}

bool TfrmTheme::eventFilter(QObject* watched, QEvent* event) {
  if (watched == area_->viewport() && event->type() == QEvent::Resize) LayoutTiles();
  return QWidget::eventFilter(watched, event);
}

}  // namespace yel::app
