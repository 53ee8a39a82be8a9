// The Publish page.
#include "app/pages/publish_page.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QComboBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <sstream>

#include "app/pages/convert_window.h"
#include "app/pages/page_support.h"
#include "app/pages/publish_dialogs.h"
#include "app/player/flash_player.h"
#include "app/player/movie_bytes.h"
#include "base/files.h"
#include "publish/output_targets.h"

namespace yel::app {

namespace {

struct TButtonText {
  const char* Caption;
  const char* Hint;
  QStyle::StandardPixmap Icon;
};

constexpr TButtonText kButtons[5] = {
    {"Preview", "Build the album and play it here", QStyle::SP_MediaPlay},
    {"Create SWF Movie", "Save the album as a Flash movie", QStyle::SP_DialogSaveButton},
    {"Publish HTML File", "A web page that plays the album, from the disk too", QStyle::SP_FileDialogDetailedView},
    {"Create Executable", "A program that plays the album, optionally with CD files", QStyle::SP_ComputerIcon},
    {"Send via E-mail", "A zip archive attached to a new message", QStyle::SP_DirLinkIcon},
};

}  // namespace

TfrmPublish::TfrmPublish(TFlashAlbum& album, QWidget* parent) : QWidget(parent), album_(album) {
  player_ = new TFlashPlayer(this);
  player_->setMinimumSize(320, 240);
  player_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  convert_ = new TfrmConvert(this);

  auto* column = new QVBoxLayout;
  column->setSpacing(10);
  column->addWidget(NewHeading(QStringLiteral("Publish"), this));
  for (int i = 0; i < 5; ++i) {
    auto* button = new QPushButton(style()->standardIcon(kButtons[i].Icon), QString::fromLatin1(kButtons[i].Caption), this);
    button->setObjectName(QStringLiteral("ToolButton"));  // the main window's style of page buttons
    button->setToolTip(QString::fromLatin1(kButtons[i].Hint));
    button->setIconSize(QSize(24, 24));
    button->setMinimumHeight(44);
    button->setMinimumWidth(260);
    button->setStyleSheet(QStringLiteral("text-align: left; padding-left: 12px;"));
    buttons_[i] = button;
    column->addWidget(button);
    auto* hint = new QLabel(QString::fromLatin1(kButtons[i].Hint), this);
    hint->setWordWrap(true);
    hint->setForegroundRole(QPalette::PlaceholderText);
    hint->setContentsMargins(4, 0, 0, 6);
    column->addWidget(hint);
  }
  // The form of the slides' photos, remembered for the next run.
  auto* slides = new QGridLayout;
  slides->setContentsMargins(4, 6, 0, 0);
  slide_format_ = new QComboBox(this);
  slide_format_->addItem(QStringLiteral("Lossless (large)"));
  slide_format_->addItem(QStringLiteral("JPEG (small)"));
  slide_format_->setToolTip(QStringLiteral("JPEG slides make the album several times smaller"));
  jpeg_quality_ = new QSpinBox(this);
  jpeg_quality_->setRange(1, 100);
  slides->addWidget(new QLabel(QStringLiteral("Slides:"), this), 0, 0);
  slides->addWidget(slide_format_, 0, 1);
  slides->addWidget(new QLabel(QStringLiteral("JPEG quality:"), this), 1, 0);
  slides->addWidget(jpeg_quality_, 1, 1);
  slides->setColumnStretch(1, 1);
  column->addLayout(slides);
  QSettings settings;
  album_.Publish.JPEGSlides = settings.value(QStringLiteral("Publish/SlideFormat")).toString() == QStringLiteral("jpeg");
  album_.Publish.JPEGQuality = std::clamp(settings.value(QStringLiteral("Publish/JPEGQuality"), 85).toInt(), 1, 100);
  slide_format_->setCurrentIndex(album_.Publish.JPEGSlides ? 1 : 0);
  jpeg_quality_->setValue(album_.Publish.JPEGQuality);
  jpeg_quality_->setEnabled(album_.Publish.JPEGSlides);
  connect(slide_format_, &QComboBox::currentIndexChanged, this, [this](int index) {
    album_.Publish.JPEGSlides = index == 1;
    jpeg_quality_->setEnabled(album_.Publish.JPEGSlides);
    QSettings().setValue(QStringLiteral("Publish/SlideFormat"),
                         album_.Publish.JPEGSlides ? QStringLiteral("jpeg") : QStringLiteral("lossless"));
  });
  connect(jpeg_quality_, &QSpinBox::valueChanged, this, [this](int quality) {
    album_.Publish.JPEGQuality = quality;
    QSettings().setValue(QStringLiteral("Publish/JPEGQuality"), quality);
  });

  column->addStretch(1);
  connect(buttons_[PreviewButton], &QPushButton::clicked, this, &TfrmPublish::Preview);
  connect(buttons_[SwfButton], &QPushButton::clicked, this, &TfrmPublish::CreateSwfMovie);
  connect(buttons_[HtmlButton], &QPushButton::clicked, this, &TfrmPublish::PublishHtmlFile);
  connect(buttons_[ExeButton], &QPushButton::clicked, this, &TfrmPublish::CreateExecutable);
  connect(buttons_[EMailButton], &QPushButton::clicked, this, &TfrmPublish::SendViaEmail);

  auto* right = new QVBoxLayout;
  right->addWidget(NewHeading(QStringLiteral("Album preview"), this));
  right->addWidget(player_, 1);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(20);
  layout->addLayout(column, 0);
  layout->addLayout(right, 1);
  RefreshButtons();
}

void TfrmPublish::RefreshButtons() {
  const bool any = !album_.SlideViews.Empty();
  for (QPushButton* button : buttons_) button->setEnabled(any);
}

void TfrmPublish::AlbumReloaded() {
  previewed_.clear();
  player_->Unload();
  RefreshButtons();
}

void TfrmPublish::PageShown() {
  RefreshButtons();
  if (!album_.SlideViews.Empty() && AlbumSignature() != previewed_) Preview();
  player_->RecreateWindow();
  player_->Play();
}

void TfrmPublish::PageHidden() { player_->Stop(); }

std::string TfrmPublish::AlbumSignature() const {
  std::ostringstream s;
  s << album_.Width << 'x' << album_.Height << '@' << album_.FrameRate << '#' << album_.Background << '|'
    << album_.MusicFile << '|' << (album_.Templates.Selected ? album_.Templates.Selected->Name : "") << '|'
    << album_.Template.Loading.Name << '|' << album_.Publish.JPEGSlides << ':' << album_.Publish.JPEGQuality << '|';
  for (std::size_t i = 0; i < album_.SlideViews.Count(); ++i) {
    const TSlideView& slide = album_.SlideViews[i];
    s << slide.ImageFile << '/' << slide.Transition.EntryEffect << '/' << slide.Transition.Speed << '/'
      << slide.Transition.Duration << '\n';
  }
  return s.str();
}

bool TfrmPublish::Build(const QString& title, const std::function<void(publish::TfrmConvert&)>& work) {
  return Guarded(this, [&] { convert_->Run(title, work); });
}

std::optional<std::string> TfrmPublish::AskSaveFile(const QString& filter, const QString& suffix, QWidget* extra) {
  QFileDialog dialog(this, QString(), QString(), filter);
  dialog.setObjectName(QStringLiteral("saveDialog"));
  if (extra) {
    // Qt's own dialog, whose grid takes one more row for the check box.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
      grid->addWidget(extra, grid->rowCount(), 0, 1, grid->columnCount());
  }
  // The caller owns the check box and reads it after the dialog has gone.
  const std::unique_ptr<QWidget, void (*)(QWidget*)> release(extra, [](QWidget* w) {
    if (w) w->setParent(nullptr);
  });
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(suffix);
  dialog.setDirectory(album_.Publish.Folder.empty()
                          ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                          : ToQ(album_.Publish.Folder));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return FromQ(dialog.selectedFiles().first());
}

void TfrmPublish::ShowMovie(const std::vector<std::uint8_t>& bytes) {
  player_->SetMovie(QStringLiteral(" "));
  player_->LoadMovie(QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())),
                     QStringLiteral("album"));
  player_->Play();
  previewed_ = AlbumSignature();
}

void TfrmPublish::Finish(const publish::TOutputResult& result) {
  if (!result.Files.empty()) {
    Guarded(this, [&] {
      const std::string& file = result.Files.front();
      ShowMovie(QFileInfo(ToQ(file)).suffix().compare(QStringLiteral("exe"), Qt::CaseInsensitive) == 0
                    ? ReadAppendedMovie(file)
                    : ReadFileBytes(file));
    });
  }
  if (!result.Information.empty())
    QMessageBox::critical(this, QStringLiteral("Error"), ToQ(result.Information));
}

void TfrmPublish::Preview() {
  std::optional<std::vector<std::uint8_t>> bytes;
  if (!Build(QStringLiteral("Preview ..."), [&](publish::TfrmConvert& p) { bytes = publish::Preview(album_, p); }))
    return;
  if (bytes) ShowMovie(*bytes);
}

void TfrmPublish::CreateSwfMovie() {
  const auto file = AskSaveFile(QStringLiteral("SWF File(*.swf)"), QStringLiteral("swf"));
  if (!file) return;
  publish::TOutputResult result;
  if (Build(QStringLiteral("Create SWF Movie ..."),
            [&](publish::TfrmConvert& p) { result = publish::CreateSwfMovie(album_, p, file); }))
    Finish(result);
}

void TfrmPublish::PublishHtmlFile() {
  const auto plain =
      std::make_unique<QCheckBox>(QStringLiteral("Plain page without the Ruffle player (for browsers with Flash)"));
  plain->setObjectName(QStringLiteral("htmlPlain"));
  plain->setToolTip(QStringLiteral("Without it the page plays the album in today's browsers, served by a web server"));
  plain->setChecked(album_.Publish.HtmlPlain);
  const auto file = AskSaveFile(QStringLiteral("HTML File(*.html)"), QStringLiteral("html"), plain.get());
  if (!file) return;
  album_.Publish.HtmlPlain = plain->isChecked();  // remembered for the next time
  publish::TOutputResult result;
  const publish::THtmlOptions options{.Plain = album_.Publish.HtmlPlain, .PlayerFolder = {}};
  if (Build(QStringLiteral("Publish HTML File ..."),
            [&](publish::TfrmConvert& p) { result = publish::PublishHtmlFile(album_, p, file, options); }))
    Finish(result);
}

void TfrmPublish::CreateExecutable() {
  TfrmExe dialog(publish::InitialExeDialog(album_.Publish), this);
  const auto answers = dialog.Ask();
  if (!answers) return;
  publish::TOutputResult result;
  if (Build(QStringLiteral("Create Executable"),
            [&](publish::TfrmConvert& p) { result = publish::CreateExecutable(album_, p, answers); }))
    Finish(result);
}

void TfrmPublish::SendViaEmail() {
  TfrmEMail dialog(publish::InitialEMailDialog(album_.Publish), this);
  const auto answers = dialog.Ask();
  if (!answers) return;
  publish::TOutputResult result;
  if (Build(QStringLiteral("Send via E-mail ..."),
            [&](publish::TfrmConvert& p) { result = publish::SendViaEmail(album_, p, answers); }))
    Finish(result);
}

}  // namespace yel::app
