// The Publish page: the album preview in its player and the five outputs
// ("Preview", "Create SWF Movie", "Publish HTML File", "Create Executable",
// "Send via E-mail"), enabled only when the album has slides. Each output
// asks for its file or answers, then builds in the progress window.
#pragma once

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "album/album_model.h"

class QComboBox;
class QPushButton;
class QSpinBox;

namespace yel::publish {
class TfrmConvert;
struct TOutputResult;
}  // namespace yel::publish

namespace yel::app {

class TFlashPlayer;
class TfrmConvert;

class TfrmPublish : public QWidget {
  Q_OBJECT

 public:
  explicit TfrmPublish(TFlashAlbum& album, QWidget* parent = nullptr);
  // The five buttons are enabled only with at least one slide.
  void RefreshButtons();
  // Builds the preview when the album changed since the last one, redraws
  // the player and plays.
  void PageShown();
  void PageHidden();  // stops the player
  void AlbumReloaded();

  TFlashPlayer& Player() const { return *player_; }
  TfrmConvert& ConvertWindow() const { return *convert_; }
  enum Button { PreviewButton, SwfButton, HtmlButton, ExeButton, EMailButton };
  QPushButton& ButtonOf(Button button) const { return *buttons_[button]; }
  // The slides' form ("Lossless (large)", "JPEG (small)") and the JPEG
  // quality; both go into the album's publish settings and are remembered.
  QComboBox& SlideFormat() const { return *slide_format_; }
  QSpinBox& JPEGQuality() const { return *jpeg_quality_; }

  void Preview();
  void CreateSwfMovie();
  void PublishHtmlFile();
  void CreateExecutable();
  void SendViaEmail();

 private:
  // Runs a publishing handler in the progress window; false on an error
  // (shown) or a cancel.
  bool Build(const QString& title, const std::function<void(publish::TfrmConvert&)>& work);
  // The save dialog; a check box, when given, is shown under its fields.
  std::optional<std::string> AskSaveFile(const QString& filter, const QString& suffix, QWidget* extra = nullptr);
  // Shows what a handler wrote in the player and says what it could not do.
  void Finish(const publish::TOutputResult& result);
  void ShowMovie(const std::vector<std::uint8_t>& bytes);
  // What the preview depends on, to know when it must be built again.
  std::string AlbumSignature() const;

  TFlashAlbum& album_;
  TFlashPlayer* player_;
  TfrmConvert* convert_;
  QPushButton* buttons_[5];
  QComboBox* slide_format_;
  QSpinBox* jpeg_quality_;
  std::string previewed_;  // AlbumSignature() of the movie in the player
};

}  // namespace yel::app
