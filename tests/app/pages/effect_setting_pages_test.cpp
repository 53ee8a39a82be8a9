// The Effect and Setting pages on real widgets: a tile click gives the
// selected slide its effect and the preview player shows the transition
// from black; without a selected slide a click changes nothing; the
// Setting page's size, aspect, rate, colour, "Default"/"OK"/"Cancel" and
// music rules.
#include <QCheckBox>
#include <QLineEdit>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

#include "album/effect_codes.h"
#include "album/project_file.h"
#include "app/pages/effect_page.h"
#include "app/pages/setting_page.h"
#include "app/pages/tile_view.h"
#include "tests/app/pages/page_test_support.h"
#include "tests/testing/sound_fixtures.h"
#include "tests/testing/temp_dir.h"

using namespace yel;
using namespace yel::testing;
using yel::app::TfrmEffect;
using yel::app::TfrmSetting;

namespace {

app::TTile* TileNamed(TfrmEffect& page, const std::string& name) {
  for (app::TTile* tile : page.Tiles().Tiles())
    if (tile->View().Name == name) return tile;
  return nullptr;
}

template <typename T>
T* Child(QWidget& page, const char* name) {
  T* child = page.findChild<T*>(QString::fromLatin1(name));
  if (!child) qFatal("no control %s", name);
  return child;
}

}  // namespace

class EffectSettingPagesTest : public QObject {
  Q_OBJECT

 private:
  TempDir dir_;

 private slots:
  void EffectTileSetsTheSlideAndPreviewsTheTransition() {
    auto album = NewAlbum();
    const QColor red(220, 30, 30);
    TSlideView& slide = album->AddSlide(WritePhoto(dir_ / "red.bmp", 160, 120, red));
    album->AddSlide(WritePhoto(dir_ / "blue.bmp", 160, 120, QColor(30, 60, 220)));
    album->SelectSlide(slide);
    slide.Transition.EntryEffect = 0;
    slide.Transition.Speed = 3;  // long enough to be caught mid-way
    TfrmEffect page(*album);
    QCOMPARE(album->Effects.Items.size(), std::size_t(35));
    page.resize(1100, 700);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    int modified = 0;
    connect(&page, &TfrmEffect::AlbumModified, [&] { ++modified; });

    app::TTile* tile = TileNamed(page, "Blinds1");
    QVERIFY(tile);
    QTest::mouseClick(tile, Qt::LeftButton);
    QCOMPARE(slide.Transition.EntryEffect, EffectCodeByName("Blinds1"));
    QCOMPARE(slide.Transition.Speed, 3.0f);  // speed and duration are not changed by a tile
    QCOMPARE(modified, 1);
    QVERIFY(album->Effects.Selected && album->Effects.Selected->Name == "Blinds1");

    // The preview starts from black, shows black and red blinds, and ends
    // on the red photo.
    QVERIFY(page.Player().WaitForMovie(60000));
    bool sawBlack = false, sawMixed = false, sawRed = false;
    QElapsedTimer clock;
    clock.start();
    QImage mixed;
    while (clock.elapsed() < 60000 && !(sawMixed && sawRed)) {
      const QImage picture = page.Player().CurrentPicture();
      const double black = ShareNear(picture, Qt::black), reds = ShareNear(picture, red);
      sawBlack = sawBlack || black > 0.95;
      if (black > 0.15 && reds > 0.15 && black + reds > 0.9) sawMixed = true, mixed = picture;
      sawRed = sawRed || reds > 0.95;
      QTest::qWait(40);
    }
    QVERIFY2(sawMixed, "no picture with both the black start and the red photo");
    QVERIFY(sawRed);
    mixed.save(OutputFolder() + QStringLiteral("/effect-preview-mid-transition.png"));
    SaveShot(page, QStringLiteral("effect-page"));

    // Apply to All: the chosen tile, speed and duration go to every slide.
    auto* speed = page.findChildren<QDoubleSpinBox*>().at(0);
    speed->setValue(1.5);
    QTest::mouseClick(Child<QPushButton>(page, "applyAll"), Qt::LeftButton);
    for (std::size_t i = 0; i < album->SlideViews.Count(); ++i) {
      QCOMPARE(album->SlideViews[i].Transition.EntryEffect, EffectCodeByName("Blinds1"));
      QCOMPARE(album->SlideViews[i].Transition.Speed, 1.5f);
    }

    // Selecting the other slide shows its values and selects its tile.
    album->SlideViews[1].Transition.EntryEffect = EffectCodeByName("Wedge1");
    album->SlideViews[1].Transition.Duration = 4.5f;
    album->SelectSlide(album->SlideViews[1]);
    page.ShowSelectedSlide();
    QCOMPARE(album->Effects.Selected->Name, std::string("Wedge1"));
    QCOMPARE(page.findChildren<QDoubleSpinBox*>().at(1)->value(), 4.5);
  }

  void EffectTileWithoutSelectedSlideChangesNothing() {
    auto album = NewAlbum();
    album->AddSlide(WritePhoto(dir_ / "a.bmp", 64, 48, Qt::green));
    TSlideView& second = album->AddSlide(WritePhoto(dir_ / "b.bmp", 64, 48, Qt::yellow));
    album->SelectSlide(second);
    album->RemoveSlide();  // leaves one slide and no selection
    QVERIFY(!album->SlideViews.Selected());
    const std::int32_t before = album->SlideViews[0].Transition.EntryEffect;
    TfrmEffect page(*album);
    page.resize(900, 600);
    page.show();
    int modified = 0;
    connect(&page, &TfrmEffect::AlbumModified, [&] { ++modified; });
    app::TTile* tile = TileNamed(page, before == EffectCodeByName("Fade1") ? "Fade2" : "Fade1");
    QVERIFY(tile);
    QTest::mouseClick(tile, Qt::LeftButton);
    QTest::qWait(300);
    QCOMPARE(album->SlideViews[0].Transition.EntryEffect, before);
    QCOMPARE(modified, 0);
    QVERIFY(!page.Player().IsMovieLoaded());
    QCOMPARE(page.Player().Movie(), QStringLiteral(" "));
  }

  void CustomSizeKeepsTheFirstAspectRatio() {
    auto album = NewAlbum();
    TfrmSetting page(*album);
    page.show();
    auto* custom = Child<QRadioButton>(page, "customSize");
    auto* width = Child<QSpinBox>(page, "width");
    auto* height = Child<QSpinBox>(page, "height");
    QVERIFY(!width->isEnabled());
    custom->click();
    QVERIFY(width->isEnabled() && height->isEnabled());
    width->setValue(1000);
    QCOMPARE(height->value(), 750);
    height->setValue(300);
    QCOMPARE(width->value(), 400);

    // A project of another size keeps the ratio taken from the first album.
    TFlashAlbum other(AppFolder());
    other.Width = 800;
    other.Height = 800;
    const std::string project = dir_ / "square.yel";
    SaveProjectFile(other, project);
    OpenProjectFile(*album, project);
    page.AlbumReloaded();
    QCOMPARE(width->value(), 800);
    QCOMPARE(height->value(), 800);
    width->setValue(1000);
    QCOMPARE(height->value(), 750);

    // Without "Keep aspect Ratio" the boxes are independent; OK stores them.
    Child<QCheckBox>(page, "keepAspect")->setChecked(false);
    height->setValue(333);
    QCOMPARE(width->value(), 1000);
    Child<QPushButton>(page, "ok")->click();
    QCOMPARE(album->Width, 1000);
    QCOMPARE(album->Height, 333);
    SaveShot(page, QStringLiteral("setting-page-base"));
  }

  void DefaultOkCancelAndFrameRates() {
    auto album = NewAlbum();
    album->Width = 640;
    album->Height = 480;
    album->FrameRate = 30;  // not one of the page's rates
    album->Background = 0x0000FF;  // red
    TfrmSetting page(*album);
    int modified = 0;
    connect(&page, &TfrmSetting::AlbumModified, [&] { ++modified; });
    QVERIFY(Child<QRadioButton>(page, "rate24")->isChecked());
    QCOMPARE(page.Colour(), QColor(255, 0, 0));
    Child<QRadioButton>(page, "customSize")->click();

    // "Default" writes the album at once; "OK" writes the controls again.
    Child<QPushButton>(page, "default")->click();
    QCOMPARE(album->Width, 720);
    QCOMPARE(album->FrameRate, 24);
    QCOMPARE(album->Background, TColor(0));
    QCOMPARE(Child<QSpinBox>(page, "width")->value(), 640);  // the controls are untouched
    Child<QPushButton>(page, "ok")->click();
    QCOMPARE(album->Width, 640);
    QCOMPARE(album->Height, 480);
    QCOMPARE(album->FrameRate, 24);  // 30 was shown as 24
    QCOMPARE(album->Background, TColor(0x0000FF));

    // "Cancel" between them loads the defaults into the controls.
    Child<QRadioButton>(page, "rate48")->click();
    Child<QPushButton>(page, "default")->click();
    Child<QPushButton>(page, "cancel")->click();
    Child<QPushButton>(page, "ok")->click();
    QCOMPARE(album->Width, 720);
    QCOMPARE(album->Height, 540);
    QCOMPARE(album->FrameRate, 24);
    QCOMPARE(album->Background, TColor(0));
    QCOMPARE(modified, 4);

    // With "Default (720 x 540)" checked OK writes that size whatever the boxes say.
    album->Width = 500;
    page.LoadControls();
    Child<QRadioButton>(page, "defaultSize")->click();
    Child<QRadioButton>(page, "rate12")->click();
    Child<QPushButton>(page, "ok")->click();
    QCOMPARE(album->Width, 720);
    QCOMPARE(album->FrameRate, 12);
  }

  // A custom size shows as "Custom" whenever the controls are loaded (a new
  // page, a reopened project, Cancel), so that OK keeps it; a size beyond
  // the boxes' usual range is kept too.
  void CustomSizeSurvivesOkAfterReopening() {
    TFlashAlbum saved(AppFolder());
    saved.Width = 800;
    saved.Height = 600;
    const std::string project = dir_ / "custom.yel";
    SaveProjectFile(saved, project);

    auto album = NewAlbum();
    TfrmSetting page(*album);
    QVERIFY(Child<QRadioButton>(page, "defaultSize")->isChecked());
    OpenProjectFile(*album, project);
    page.AlbumReloaded();
    QVERIFY(Child<QRadioButton>(page, "customSize")->isChecked());
    QVERIFY(Child<QSpinBox>(page, "width")->isEnabled());
    Child<QRadioButton>(page, "rate12")->click();
    Child<QPushButton>(page, "ok")->click();
    QCOMPARE(album->Width, 800);
    QCOMPARE(album->Height, 600);
    QCOMPARE(album->FrameRate, 12);

    // A page made for the reopened album, and back to the default size.
    TfrmSetting fresh(*album);
    QVERIFY(Child<QRadioButton>(fresh, "customSize")->isChecked());
    album->Width = 720;
    album->Height = 540;
    fresh.LoadControls();
    QVERIFY(Child<QRadioButton>(fresh, "defaultSize")->isChecked());

    album->Width = 2000;
    album->Height = 1500;
    fresh.LoadControls();
    Child<QPushButton>(fresh, "ok")->click();
    QCOMPARE(album->Width, 2000);
    QCOMPARE(album->Height, 1500);
  }

  void MusicButtonsFollowTheFile() {
    auto album = NewAlbum();
    TfrmSetting page(*album);
    page.resize(800, 500);
    page.show();
    auto* play = Child<QPushButton>(page, "play");
    auto* stop = Child<QPushButton>(page, "stop");
    auto* remove = Child<QPushButton>(page, "removeMusic");
    auto* media = page.findChild<QMediaPlayer*>();
    QVERIFY(!play->isEnabled() && !stop->isEnabled() && !remove->isEnabled());
    auto settled = [media] {
      const auto status = media->mediaStatus();
      return status == QMediaPlayer::InvalidMedia || status == QMediaPlayer::LoadedMedia ||
             media->error() != QMediaPlayer::NoError;
    };

    // A file the player cannot open: both buttons disabled, still stored by OK.
    const std::string garbage = dir_ / "noise.mp3";
    WriteFileAtomically(garbage, std::string(4096, '\x5A'));
    page.SetMusicFile(QString::fromStdString(garbage));
    QTRY_VERIFY_WITH_TIMEOUT(settled(), 20000);
    QVERIFY(!play->isEnabled() && !stop->isEnabled());
    QVERIFY(remove->isEnabled());
    Child<QPushButton>(page, "ok")->click();
    QCOMPARE(album->MusicFile, garbage);

    // A real WAV file plays when there is a sound device; without one both
    // buttons stay disabled.
    const std::string wav = dir_ / "tone.wav";
    WriteFileAtomically(wav, PcmWav(Sine(22050, 1, 22050, 440), 1, 22050));
    page.SetMusicFile(QString::fromStdString(wav));
    QTRY_VERIFY_WITH_TIMEOUT(settled(), 20000);
    const bool device = !QMediaDevices::audioOutputs().isEmpty();
    QCOMPARE(play->isEnabled(), device && media->mediaStatus() == QMediaPlayer::LoadedMedia);
    QVERIFY(!stop->isEnabled());
    if (play->isEnabled()) {
      play->click();
      QVERIFY(!play->isEnabled() && stop->isEnabled() && !remove->isEnabled());
      stop->click();
      QVERIFY(play->isEnabled() && !stop->isEnabled() && remove->isEnabled());
    }
    page.findChild<QTabWidget*>()->setCurrentIndex(1);
    SaveShot(page, QStringLiteral("setting-page-music"));

    // Remove clears the box; Cancel brings back the album's file.
    remove->click();
    QVERIFY(Child<QLineEdit>(page, "music")->text().isEmpty());
    QVERIFY(!play->isEnabled() && !stop->isEnabled() && !remove->isEnabled());
    Child<QPushButton>(page, "cancel")->click();
    QCOMPARE(Child<QLineEdit>(page, "music")->text(), QString::fromStdString(garbage));
  }
};

int main(int argc, char** argv) {
  return SetUpGuiTest(argc, argv, [&] {
    EffectSettingPagesTest test;
    return QTest::qExec(&test, argc, argv);
  });
}

#include "effect_setting_pages_test.moc"
