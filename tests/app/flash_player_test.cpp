// The player control under QT_QPA_PLATFORM=offscreen: movies from bytes and
// from a path show their colours, Stop holds the frame and Play continues
// it, " " unloads, movie functions and variables go through the movie's
// ExternalInterface callbacks, fscommands reach the signal, broken movies
// are reported. Each check writes the control's picture into the build
// folder (test-output/player/).
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <cstdlib>

#include "app/player/flash_player.h"
#include "base/files.h"
#include "tests/app/player_movies.h"
#include "tests/testing/temp_dir.h"

using yel::app::TFlashPlayer;
using namespace yel::testing;

namespace {

constexpr int kW = 320, kH = 240;
const std::uint32_t kRed = Rgb(220, 30, 30), kGreen = Rgb(30, 200, 60), kBlue = Rgb(30, 60, 220);

QByteArray Bytes(const std::vector<std::uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

QColor Color(std::uint32_t rgb) { return QColor(rgb & 0xFF, rgb >> 8 & 0xFF, rgb >> 16 & 0xFF); }

bool Near(const QColor& a, const QColor& b, int tolerance = 24) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

QString Describe(const QColor& c) { return QStringLiteral("(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue()); }

}  // namespace

class FlashPlayerTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TFlashPlayer> player_;
  TempDir dir_;
  QString output_;

  // Waits (bounded) until the picture shows `color` at (x, y); saves it.
  bool ShowsColor(int x, int y, const QColor& color, const QString& shot, int timeoutMs = 15000) {
    QElapsedTimer clock;
    clock.start();
    QImage picture;
    do {
      picture = player_->CurrentPicture();
      if (Near(picture.pixelColor(x, y), color)) break;
      QTest::qWait(100);
    } while (clock.elapsed() < timeoutMs);
    picture.save(output_ + shot + QStringLiteral(".png"));
    if (!Near(picture.pixelColor(x, y), color)) {
      qWarning("%s: (%d, %d) shows %s, not %s", qPrintable(shot), x, y,
               qPrintable(Describe(picture.pixelColor(x, y))), qPrintable(Describe(color)));
      return false;
    }
    return true;
  }

  bool Load(const std::vector<std::uint8_t>& movie) {
    player_->LoadMovie(Bytes(movie), QStringLiteral("test movie"));
    return player_->WaitForMovie(60000);
  }

 private slots:
  void initTestCase() {
    output_ = QStringLiteral(YEL_BINARY_DIR "/test-output/player/");
    QDir().mkpath(output_);
    player_ = std::make_unique<TFlashPlayer>();
    player_->resize(kW, kH);
    player_->show();
  }

  void cleanupTestCase() { player_.reset(); }

  void loadsFromBytesAndFromAPath() {
    QVERIFY(Load(StageMovie(kW, kH, kRed)));
    QCOMPARE(player_->Movie(), QStringLiteral(" "));
    QVERIFY(ShowsColor(kW / 2, kH / 2, Color(kRed), QStringLiteral("bytes")));

    const std::string path = dir_ / "green.swf";
    yel::WriteFileAtomically(path, SolidClip(kW, kH, kGreen));
    QSignalSpy loaded(player_.get(), &TFlashPlayer::MovieLoaded);
    player_->SetMovie(QString::fromStdString(path));
    QCOMPARE(player_->Movie(), QString::fromStdString(path));
    QVERIFY(player_->WaitForMovie(60000));
    QCOMPARE(loaded.count(), 1);
    QVERIFY(ShowsColor(kW / 2, kH / 2, Color(kGreen), QStringLiteral("path")));
  }

  // The movie is scaled to fit the control, keeping its aspect ratio.
  void scalesTheMovieToTheControl() {
    QVERIFY(Load(TwoHalvesMovie(160, 120, kRed, kBlue)));
    QVERIFY(ShowsColor(kW / 4, kH / 2, Color(kRed), QStringLiteral("scaled-left")));
    QVERIFY(ShowsColor(kW * 3 / 4, kH / 2, Color(kBlue), QStringLiteral("scaled-right")));
  }

  void stopHoldsTheFramePlayContinues() {
    // Two colours alternating four times a second.
    QVERIFY(Load(AlternatingMovie(kW, kH, 4, 8, kRed, kGreen)));
    QVERIFY(player_->IsPlaying());
    // Once a frame shows (the first one is drawn a moment after the load).
    QElapsedTimer drawn;
    drawn.start();
    auto shown = [this] {
      const QColor c = player_->CurrentPicture().pixelColor(kW / 2, kH / 2);
      return Near(c, Color(kRed)) || Near(c, Color(kGreen));
    };
    while (!shown() && drawn.elapsed() < 15000) QTest::qWait(50);
    player_->Stop();
    QVERIFY(!player_->IsPlaying());
    QTest::qWait(300);  // the stop reaches the page
    const QColor held = player_->CurrentPicture().pixelColor(kW / 2, kH / 2);
    QVERIFY2(Near(held, Color(kRed)) || Near(held, Color(kGreen)), qPrintable(Describe(held)));
    for (int i = 0; i < 6; ++i) {
      QTest::qWait(250);
      const QColor now = player_->CurrentPicture().pixelColor(kW / 2, kH / 2);
      QVERIFY2(Near(now, held), qPrintable(QStringLiteral("stopped movie changed from %1 to %2")
                                               .arg(Describe(held), Describe(now))));
    }
    player_->Play();
    QVERIFY(player_->IsPlaying());
    const QColor other = Near(held, Color(kRed)) ? Color(kGreen) : Color(kRed);
    QVERIFY(ShowsColor(kW / 2, kH / 2, other, QStringLiteral("played"), 5000));
  }

  void unloadsAndLoadsTheSameBytesAgain() {
    const std::vector<std::uint8_t> movie = StageMovie(kW, kH, kBlue);
    QVERIFY(Load(movie));
    QVERIFY(ShowsColor(kW / 2, kH / 2, Color(kBlue), QStringLiteral("before-unload")));
    player_->SetMovie(QStringLiteral(" "));
    QVERIFY(!player_->IsMovieLoaded());
    QVERIFY(ShowsColor(kW / 2, kH / 2, Qt::white, QStringLiteral("unloaded")));
    QVERIFY(!player_->CallMovieFunction(QStringLiteral("add"), {1, 2}, 2000));
    QVERIFY(Load(movie));
    QVERIFY(ShowsColor(kW / 2, kH / 2, Color(kBlue), QStringLiteral("reloaded")));
  }

  void callsMovieFunctions() {
    QVERIFY(Load(StageMovie(kW, kH, kRed)));
    const auto sum = player_->CallFunction(QStringLiteral(
        "<invoke name=\"add\" returntype =\"xml\"><arguments><number>2</number><number>40.5</number>"
        "</arguments></invoke>"));
    QVERIFY(sum.has_value());
    QCOMPARE(sum->toDouble(), 42.5);
    const auto joined = player_->CallFunction(QStringLiteral(
        "<invoke name=\"add\" returntype =\"xml\"><arguments><string>a &amp; </string><string>b</string>"
        "</arguments></invoke>"));
    QVERIFY(joined.has_value());
    QCOMPARE(joined->toString(), QStringLiteral("a & b"));
    // What cannot be called gives nothing, and the caller goes on.
    QVERIFY(!player_->CallFunction(QStringLiteral("<invoke name=\"missing\"><arguments/></invoke>"), 5000));
    QVERIFY(!player_->CallFunction(QStringLiteral("<invoke name=\"add\"><arguments>"), 5000));
    QVERIFY(!player_->CallFunction(QStringLiteral("not an invoke string"), 5000));
  }

  void variablesRoundTripThroughTheMovie() {
    QVERIFY(Load(StageMovie(kW, kH, kRed)));
    QCOMPARE(player_->GetVariable(QStringLiteral("greeting")), std::optional<QString>(QStringLiteral("hello")));
    QVERIFY(player_->SetVariable(QStringLiteral("greeting"), QStringLiteral("bye \"now\"")));
    QCOMPARE(player_->GetVariable(QStringLiteral("greeting")), std::optional<QString>(QStringLiteral("bye \"now\"")));
    QVERIFY(player_->SetVariable(QStringLiteral("Left"), QStringLiteral("12.5")));
    QCOMPARE(player_->GetVariable(QStringLiteral("Left")), std::optional<QString>(QStringLiteral("12.5")));
    QCOMPARE(player_->GetVariable(QStringLiteral("unset")), std::optional<QString>(QString()));
    // A movie without the callbacks.
    QVERIFY(Load(SolidClip(kW, kH, kGreen)));
    QVERIFY(!player_->GetVariable(QStringLiteral("greeting"), 5000));
  }

  void fscommandReachesTheHandler() {
    QSignalSpy commands(player_.get(), &TFlashPlayer::FSCommand);
    QVERIFY(Load(StageMovie(kW, kH, kRed)));
    QVERIFY(commands.count() > 0 || commands.wait(10000));
    QCOMPARE(commands.at(0).at(0).toString(), QStringLiteral("ready"));
    QCOMPARE(commands.at(0).at(1).toString(), QStringLiteral("yes"));
  }

  void brokenMoviesAreReported() {
    std::vector<std::uint8_t> truncated = StageMovie(kW, kH, kRed);
    truncated.resize(truncated.size() / 2);
    std::vector<std::uint8_t> damaged = StageMovie(kW, kH, kRed);
    for (std::size_t i = 30; i < damaged.size(); ++i) damaged[i] ^= 0x5A;  // tags run past the end
    std::vector<std::uint8_t> packed = ShapeClip(kW, kH, kRed, true);
    for (std::size_t i = 14; i < packed.size(); ++i) packed[i] ^= 0x5A;  // the body no longer inflates
    const struct {
      const char* name;
      QByteArray bytes;
    } cases[] = {
        {"not a movie", QByteArray("hello, this is text")},
        {"empty", QByteArray()},
        {"truncated", Bytes(truncated)},
        {"damaged", Bytes(damaged)},
        {"damaged compressed", Bytes(packed)},
    };
    for (const auto& c : cases) {
      QSignalSpy failed(player_.get(), &TFlashPlayer::LoadFailed);
      player_->LoadMovie(c.bytes, QString::fromLatin1(c.name));
      QVERIFY2(!player_->WaitForMovie(30000), c.name);
      QVERIFY2(failed.count() == 1 || failed.wait(1000), c.name);
      QVERIFY2(failed.at(0).at(0).toString().contains(QString::fromLatin1(c.name)),
               qPrintable(failed.at(0).at(0).toString()));
    }
    QSignalSpy failed(player_.get(), &TFlashPlayer::LoadFailed);
    player_->SetMovie(QString::fromStdString(dir_ / "no such movie.swf"));
    QVERIFY(!player_->WaitForMovie(30000));
    QVERIFY(failed.count() == 1 && failed.at(0).at(0).toString().contains(QStringLiteral("no such movie.swf")));
    // The control still plays the next movie.
    QVERIFY(Load(StageMovie(kW, kH, kGreen)));
    QVERIFY(ShowsColor(kW / 2, kH / 2, Color(kGreen), QStringLiteral("after-failures")));
  }
};

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  yel::app::SetUpFlashPlayer();
  QApplication app(argc, argv);
  FlashPlayerTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "flash_player_test.moc"
