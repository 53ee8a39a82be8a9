// The theme editor's stage movies ("YEL.dll") in the real player control
// under QT_QPA_PLATFORM=offscreen: every function of the stage contract is
// called through invoke strings, every variable read and set through the
// movie's callbacks, and simulated mouse presses and drags on the view
// select, move and resize objects and send the stage's commands. A shape
// whose file name holds quotes, <, & and non-ASCII letters passes the
// invoke string intact. Pictures go to test-output/stage/.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>

#include "app/player/flash_player.h"
#include "publish/theme_movies.h"
#include "tests/testing/temp_dir.h"

using yel::app::TFlashPlayer;
using namespace yel::testing;

namespace {

constexpr int kW = 720, kH = 540;
const QString kBin = QStringLiteral(YEL_BINARY_DIR "/bin/");

bool Near(const QColor& a, const QColor& b, int tolerance = 24) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

}  // namespace

class StageMovieTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TFlashPlayer> player_;
  TempDir dir_;
  QString output_;
  QList<QPair<QString, QString>> commands_;

  QString Call(const QString& function, const QVariantList& args) {
    const auto value = player_->CallFunction(TFlashPlayer::InvokeString(function, args));
    return value ? value->toString() : QStringLiteral("<failed>");
  }
  QString Get(const QString& name) { return player_->GetVariable(name).value_or(QStringLiteral("<failed>")); }

  bool LoadStage(const char* resource) {
    const std::string file = dir_ / (std::string(resource) + ".swf");
    if (!yel::BuildStageMovie((kBin + "YEL.dll").toStdString(), resource, kW, kH, 24, file)) return false;
    player_->SetMovie(QStringLiteral(" "));
    player_->SetMovie(QString::fromStdString(file));
    return player_->WaitForMovie(60000);
  }

  // Waits (bounded) until (x, y) shows the colour; saves the picture.
  bool Shows(int x, int y, const QColor& color, const QString& shot, bool want = true) {
    QElapsedTimer clock;
    clock.start();
    QImage picture;
    do {
      picture = player_->CurrentPicture();
      if (Near(picture.pixelColor(x, y), color) == want) break;
      QTest::qWait(100);
    } while (clock.elapsed() < 15000);
    picture.save(output_ + shot + QStringLiteral(".png"));
    return Near(picture.pixelColor(x, y), color) == want;
  }

  // The last value a command brought, once it is `expected` or the wait
  // is over: a drag sends the starting place on the press and the new one
  // on each move, and a loaded machine may deliver them late.
  QString Command(const QString& name, const QString& expected, int timeoutMs = 15000) {
    QElapsedTimer clock;
    clock.start();
    QString last = QStringLiteral("<none>");
    do {
      for (auto it = commands_.crbegin(); it != commands_.crend(); ++it)
        if (it->first == name) {
          last = it->second;
          break;
        }
      if (last == expected) break;
      QTest::qWait(50);
    } while (clock.elapsed() < timeoutMs);
    return last;
  }

  void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QWidget* input = player_->InputWidget();
    QMouseEvent event(type, at, input->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(input, &event);
    QTest::qWait(60);
  }
  void DragBy(QPoint from, QPoint by) {
    Mouse(QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton);
    Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (int step = 1; step <= 4; ++step)
      Mouse(QEvent::MouseMove, from + by * step / 4, Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, from + by, Qt::LeftButton, Qt::NoButton);
  }

 private slots:
  void initTestCase() {
    output_ = QStringLiteral(YEL_BINARY_DIR "/test-output/stage/");
    QDir().mkpath(output_);
    player_ = std::make_unique<TFlashPlayer>();
    player_->resize(kW, kH);
    player_->show();
    connect(player_.get(), &TFlashPlayer::FSCommand, this,
            [this](const QString& command, const QString& args) { commands_ << qMakePair(command, args); });
  }

  void cleanupTestCase() { player_.reset(); }

  void invokeStringsEscapeAnyFileName() {
    const QString name = QStringLiteral("/tmp/It's \"a\" <b> & ü\\x.swf");
    const QString invoke = TFlashPlayer::InvokeString(QStringLiteral("Create_Shape"), {name, 1.5, 20, 0.25});
    QVERIFY(invoke.startsWith(QStringLiteral("<invoke name=\"Create_Shape\" returntype =\"xml\"><arguments>")));
    const auto parsed = TFlashPlayer::ParseInvoke(invoke);
    QVERIFY(parsed);
    QCOMPARE(parsed->second, (QVariantList{name, 1.5, 20.0, 0.25}));
    // Colours go as "0x" and hexadecimal digits.
    const auto colour = TFlashPlayer::ParseInvoke(QStringLiteral(
        "<invoke name=\"Background_FillColor\" returntype =\"xml\"><arguments><number>0x00FF80</number>"
        "</arguments></invoke>"));
    QVERIFY(colour);
    QCOMPARE(colour->second.value(0).toDouble(), double(0x00FF80));
  }

  void templateStageAnswersItsContract() {
    QVERIFY(LoadStage("YEL_Template"));
    QCOMPARE(Get(QStringLiteral("PTemplate.ShapeCount")), QStringLiteral("0"));
    Call(QStringLiteral("Background_FillColor"), {double(0x2040C0)});
    QVERIFY(Shows(10, 10, QColor(0x20, 0x40, 0xC0), QStringLiteral("template-colour")));

    // The photo frame: the wrapper of an installed one at 300 × 200.
    const std::string frame = dir_ / "PhotoFrame.swf";
    yel::MakePhotoFrameWrapper((kBin + "Theme/Template/Classic/PhotoFrame.swf").toStdString(), frame, "Gold",
                               300, 200, 24);
    Call(QStringLiteral("Create_PhotoFrame"), {QString::fromStdString(frame), 100, 80, 300, 200});
    QCOMPARE(Get(QStringLiteral("PTemplate.SelectObject.IsPhotoFrame")), QStringLiteral("true"));
    QCOMPARE(Get(QStringLiteral("PTemplate.SelectObject.Width")), QStringLiteral("300"));
    // The window inside the frame shows the stage's grey; the frame's edge
    // is drawn.
    QVERIFY(Shows(250, 180, QColor(0x80, 0x80, 0x80), QStringLiteral("template-frame")));
    QVERIFY(Shows(101, 180, QColor(0x20, 0x40, 0xC0), QStringLiteral("template-frame-edge"), false));

    // A shape whose name needs escaping in the invoke string.
    const std::string shape = dir_ / "It's \"a\" <b> & ü.swf";
    std::filesystem::copy_file((kBin + "Theme/Resource/Adornment/Love/Heart.swf").toStdString(), shape);
    const QString shapeName = QString::fromStdString(shape);
    Call(QStringLiteral("Create_Shape"), {shapeName, 500, 300, 80, 60});
    QCOMPARE(Get(QStringLiteral("PTemplate.ShapeCount")), QStringLiteral("1"));
    QCOMPARE(Get(QStringLiteral("PTemplate.SelectObject.IsPhotoFrame")), QStringLiteral("false"));
    QCOMPARE(Get(QStringLiteral("PTemplate.SelectObject.FileName")), shapeName);
    QCOMPARE(Get(QStringLiteral("PTemplate.SelectObject.Index")), QStringLiteral("0"));
    QVERIFY(player_->SetVariable(QStringLiteral("PTemplate.Index"), QStringLiteral("0")));
    QCOMPARE(Get(QStringLiteral("PTemplate.ShapeFileName")), shapeName);
    QCOMPARE(Get(QStringLiteral("PTemplate.ShapeLeft")), QStringLiteral("500"));
    QCOMPARE(Get(QStringLiteral("PTemplate.ShapeTop")), QStringLiteral("300"));
    QCOMPARE(Get(QStringLiteral("PTemplate.ShapeWidth")), QStringLiteral("80"));
    QCOMPARE(Get(QStringLiteral("PTemplate.ShapeHeight")), QStringLiteral("60"));
    // The shape's file loaded and shows inside its rectangle.
    QVERIFY(Shows(540, 330, QColor(0x20, 0x40, 0xC0), QStringLiteral("template-shape"), false));

    // Setting the selected object's variables moves and resizes it.
    QVERIFY(player_->SetVariable(QStringLiteral("PTemplate.SelectObject.Left"), QStringLiteral("560")));
    QVERIFY(player_->SetVariable(QStringLiteral("PTemplate.SelectObject.Width"), QStringLiteral("120")));
    player_->SetVariable(QStringLiteral("PTemplate.Index"), QStringLiteral("0"));
    QCOMPARE(Get(QStringLiteral("PTemplate.ShapeLeft")), QStringLiteral("560"));
    QCOMPARE(Get(QStringLiteral("PTemplate.ShapeWidth")), QStringLiteral("120"));
    QVERIFY(Shows(520, 330, QColor(0x20, 0x40, 0xC0), QStringLiteral("template-shape-moved")));

    // The mouse: a press on the shape selects it; a drag moves it.
    commands_.clear();
    DragBy(QPoint(600, 330), QPoint(-40, -20));
    QCOMPARE(Command(QStringLiteral("CMD_MENU"), QStringLiteral("1")), QStringLiteral("1"));
    QCOMPARE(Command(QStringLiteral("CMD_ShapeMove_Left"), QStringLiteral("520")), QStringLiteral("520"));
    QCOMPARE(Command(QStringLiteral("CMD_ShapeMove_Top"), QStringLiteral("280")), QStringLiteral("280"));
    // The bottom right handle resizes it.
    commands_.clear();
    DragBy(QPoint(520 + 120, 280 + 60), QPoint(30, 20));
    QCOMPARE(Command(QStringLiteral("CMD_Shape_Width"), QStringLiteral("150")), QStringLiteral("150"));
    QCOMPARE(Command(QStringLiteral("CMD_Shape_Height"), QStringLiteral("80")), QStringLiteral("80"));
    player_->SetVariable(QStringLiteral("PTemplate.Index"), QStringLiteral("0"));
    QCOMPARE(Get(QStringLiteral("PTemplate.ShapeWidth")), QStringLiteral("150"));
    // A press on the background: CMD_MENU 0.
    commands_.clear();
    DragBy(QPoint(20, 520), QPoint(0, 0));
    QCOMPARE(Command(QStringLiteral("CMD_MENU"), QStringLiteral("0")), QStringLiteral("0"));
    // The right button on the frame selects it and sends CMD_MENU 1.
    commands_.clear();
    Mouse(QEvent::MouseMove, QPoint(110, 90), Qt::NoButton, Qt::NoButton);
    Mouse(QEvent::MouseButtonPress, QPoint(110, 90), Qt::RightButton, Qt::RightButton);
    Mouse(QEvent::MouseButtonRelease, QPoint(110, 90), Qt::RightButton, Qt::NoButton);
    QCOMPARE(Command(QStringLiteral("CMD_MENU"), QStringLiteral("1")), QStringLiteral("1"));
    QCOMPARE(Get(QStringLiteral("PTemplate.SelectObject.IsPhotoFrame")), QStringLiteral("true"));

    // The background picture, then the shape deleted.
    Call(QStringLiteral("Background_FillImage"),
         {kBin + QStringLiteral("Theme/Template/Polaroid/Background.swf")});
    QVERIFY(Shows(10, 10, QColor(0x20, 0x40, 0xC0), QStringLiteral("template-image"), false));
    Call(QStringLiteral("Delete_Shape"), {0});
    QCOMPARE(Get(QStringLiteral("PTemplate.ShapeCount")), QStringLiteral("0"));
  }

  void loadingBarStageAnswersItsContract() {
    QVERIFY(LoadStage("YEL_LoadingBar"));
    Call(QStringLiteral("Background_FillColor"), {double(0x102030)});
    Call(QStringLiteral("AddLoadingBar"), {kBin + QStringLiteral("Theme/LoadingBar/Ocean/Ocean.swf"), 260, 260, 20});
    QVERIFY(Shows(10, 10, QColor(0x10, 0x20, 0x30), QStringLiteral("bar-colour")));
    QVERIFY(Shows(300, 270, QColor(0x10, 0x20, 0x30), QStringLiteral("bar"), false));
    QCOMPARE(Get(QStringLiteral("PLoadingBar.SelectObject.Left")), QStringLiteral("260"));
    QVERIFY(player_->SetVariable(QStringLiteral("PLoadingBar.SelectObject.Width"), QStringLiteral("300")));
    QCOMPARE(Get(QStringLiteral("PLoadingBar.SelectObject.Width")), QStringLiteral("300"));
    commands_.clear();
    DragBy(QPoint(300, 270), QPoint(-100, 50));
    QCOMPARE(Command(QStringLiteral("CMD_ShapeMove_Left"), QStringLiteral("160")), QStringLiteral("160"));
    QCOMPARE(Command(QStringLiteral("CMD_ShapeMove_Top"), QStringLiteral("310")), QStringLiteral("310"));
    QCOMPARE(Get(QStringLiteral("PLoadingBar.SelectObject.Top")), QStringLiteral("310"));
    QVERIFY(Shows(200, 320, QColor(0x10, 0x20, 0x30), QStringLiteral("bar-moved"), false));
  }
};

int main(int argc, char** argv) {
  yel::app::SetUpFlashPlayer();
  QApplication app(argc, argv);
  StageMovieTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "stage_movie_test.moc"
