#include "app/studio/about_box.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVBoxLayout>

#include "app/pages/window_frame.h"
#include "app/studio/icons.h"
#include "app/studio/main_window.h"

namespace yel::app {

QPixmap ProgramPicture() {
  QPixmap pixmap(400, 300);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 400, 300);
  sky.setColorAt(0, QColor(0x1E, 0x3A, 0x8A));
  sky.setColorAt(1, QColor(0x0F, 0x17, 0x2A));
  p.fillRect(pixmap.rect(), sky);
  // A fan of three photo cards.
  const QColor card_colours[] = {QColor(0xF5, 0xB9, 0x42), QColor(0x2E, 0x9E, 0x6A), QColor(0x4F, 0x8D, 0xF7)};
  const int angles[] = {-14, 12, 0};  // the straight card on top
  for (int i = 0; i < 3; ++i) {
    p.save();
    p.translate(200, 150);
    p.rotate(angles[i]);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 70));
    p.drawRoundedRect(QRectF(-62, -68, 128, 100), 6, 6);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(-64, -72, 128, 100), 6, 6);
    QLinearGradient photo(0, -64, 0, 20);
    photo.setColorAt(0, card_colours[i].lighter(140));
    photo.setColorAt(1, card_colours[i]);
    p.setBrush(photo);
    p.drawRect(QRectF(-56, -64, 112, 72));
    p.restore();
  }
  p.setPen(Qt::white);
  QFont title = p.font();
  title.setPixelSize(30);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRect(0, 210, 400, 40), Qt::AlignCenter, QString::fromLatin1(kApplicationTitle));
  return pixmap;
}

namespace {

// The picture with the version line under it.
QWidget* PictureWithVersion(QWidget* parent) {
  auto* picture = new QLabel(parent);
  picture->setPixmap(ProgramPicture());
  picture->setFixedSize(400, 300);
  auto* version = new QLabel(VersionCaption(FileVersion()), picture);
  version->setObjectName("VersionLabel");
  version->setStyleSheet("color: #CBD5E1; font-size: 10pt;");
  version->setAlignment(Qt::AlignCenter);
  version->setGeometry(0, 252, 400, 24);
  return picture;
}

}  // namespace

TSplashWindow::TSplashWindow(QWidget* parent) : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(PictureWithVersion(this));
  setFixedSize(400, 300);
  QTimer::singleShot(kShowMs, this, &QDialog::accept);
}

void TSplashWindow::mousePressEvent(QMouseEvent*) { accept(); }

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  ApplyCutCornerShape(*this);  // before any child: see TfrmMain
  setModal(true);
  setObjectName("AboutBox");
  setWindowTitle(QString::fromLatin1(kApplicationTitle));
  picture_ = PictureWithVersion(this);
  picture_->installEventFilter(this);
  picture_->setCursor(Qt::PointingHandCursor);
  picture_->setToolTip(tr("Click to close"));
  auto link = [this](const QString& caption, const QString& address) {
    auto* label = new QLabel(QStringLiteral("%1 <a href=\"%2\">%2</a>").arg(caption, address.toHtmlEscaped()), this);
    label->setTextFormat(Qt::RichText);
    label->setOpenExternalLinks(true);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    return label;
  };
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 14);
  layout->setSpacing(6);
  layout->addWidget(picture_);
  auto* homepage = link(tr("Homepage:"), HomepageAddress());
  auto* support = link(tr("Support:"), SupportAddress());
  for (QLabel* label : {homepage, support}) {
    label->setContentsMargins(16, 0, 16, 0);
    layout->addWidget(label);
  }
  setStyleSheet("#AboutBox { background: white; } QLabel { color: #1F2933; }");
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
  if (watched == picture_ && event->type() == QEvent::MouseButtonPress) {
    accept();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace yel::app
