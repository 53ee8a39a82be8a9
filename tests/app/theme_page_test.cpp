// The Theme page under QT_QPA_PLATFORM=offscreen, in the real main window
// with the real stage movies, on a copy of the installed themes: every
// template and loading bar loads onto the stage; colours show there; an
// adornment dropped from the resource tree is moved and resized by
// simulated mouse drags and by the spin boxes; a shape is deleted through
// the stage's menu; Save writes "Config.ini", "View.jpg" and the wrappers;
// `yel publish` with the saved template and loading bar shows them where
// the stage had them (yel-player snapshots of the loading and template
// frames compared with the stage's pictures); the file edge cases of the
// page. Screenshots of both modes go to test-output/studio/.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "album/album_model.h"
#include "album/ini_file.h"
#include "album/theme_catalogue.h"
#include "app/pages/tile_view.h"
#include "app/player/flash_player.h"
#include "app/studio/main_window.h"
#include "app/studio/theme_page.h"
#include "base/files.h"
#include "base/byte_stream.h"
#include "base/paths.h"
#include "swf/format/actions/action_records.h"
#include "swf/format/actions/do_action_tags.h"
#include "swf/format/swf_stream.h"
#include "swf/format/tag_codes.h"

using namespace yel;
using namespace yel::app;
namespace fs = std::filesystem;

namespace {

const QString kBin = QStringLiteral(YEL_BINARY_DIR "/bin/");
// How long the stage's commands may take to reach the page after a drag
// on a loaded machine.
constexpr int kCommandWait = 15000;

// Within the stage's rounding to the control's pixels.
bool Close(double a, double b) {
  if (std::abs(a - b) <= 1.5) return true;
  qWarning("%g is not %g", a, b);
  return false;
}

bool Near(const QColor& a, const QColor& b, int tolerance = 28) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}
QString Describe(const QColor& c) { return QStringLiteral("(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue()); }

// Answers every message box that opens (the next of Answers, else Yes,
// Discard or OK) and keeps its text.
class TBoxes : public QObject {
 public:
  QStringList Texts;
  QList<QMessageBox::StandardButton> Answers;
  TBoxes() {
    timer_.setInterval(30);
    connect(&timer_, &QTimer::timeout, this, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box || box->property("answered").toBool()) return;
      box->setProperty("answered", true);
      Texts << box->windowTitle() + ": " + box->text();
      if (!Answers.isEmpty() && box->button(Answers.first()))
        box->button(Answers.takeFirst())->click();
      else if (QAbstractButton* yes = box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes)
                                                                      : box->button(QMessageBox::Discard))
        yes->click();
      else
        box->accept();
    });
    timer_.start();
  }

 private:
  QTimer timer_;
};

}  // namespace

class ThemePageTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir app_;
  std::unique_ptr<TfrmMain> window_;
  TfrmTheme* page_ = nullptr;
  QString output_;
  TBoxes boxes_;

  TFlashAlbum& Album() { return window_->Album(); }
  TFlashPlayer& Stage() { return page_->Stage(); }
  std::string App() { return app_.path().toStdString() + "/"; }
  std::string TemplateDir(const std::string& name) { return App() + "Theme/Template/" + name + "/"; }

  QString Get(const QString& name) { return Stage().GetVariable(name).value_or(QStringLiteral("<failed>")); }

  // The stage's picture once it shows `color` at the stage point (or not,
  // with want false); saved under shot.
  bool StageShows(QPointF at, const QColor& color, const QString& shot, bool want = true) {
    const QPoint p = page_->ControlPoint(at);
    QElapsedTimer clock;
    clock.start();
    QImage picture;
    do {
      Stage().WaitForDrawing();
      picture = Stage().CurrentPicture();
      if (Near(picture.pixelColor(p), color) == want) break;
      QTest::qWait(100);
    } while (clock.elapsed() < 15000);
    picture.save(output_ + shot + QStringLiteral(".png"));
    if (Near(picture.pixelColor(p), color) != want)
      qWarning("%s: %s at (%g, %g)", qPrintable(shot), qPrintable(Describe(picture.pixelColor(p))), at.x(), at.y());
    return Near(picture.pixelColor(p), color) == want;
  }

  void Mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QWidget* input = Stage().InputWidget();
    const QPoint p = page_->ControlPoint(at);
    QMouseEvent event(type, p, input->mapToGlobal(p), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(input, &event);
    QTest::qWait(60);
  }
  // A drag on the stage in stage points.
  void Drag(QPointF from, QPointF to) {
    Mouse(QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton);
    Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (int step = 1; step <= 4; ++step)
      Mouse(QEvent::MouseMove, from + (to - from) * step / 4, Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  }

  QTreeWidgetItem* ResourceItem(const QString& name) {
    const auto found = page_->ResourceTree().findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
  }

  // A resource tree item dragged onto the stage point: enter, move, drop.
  void DropResource(const QString& name, QPointF at) {
    QTreeWidgetItem* item = ResourceItem(name);
    QVERIFY(item);
    page_->ResourceTree().setCurrentItem(item);
    QVERIFY(page_->Preview().WaitForMovie(60000));
    std::unique_ptr<QMimeData> data(page_->ResourceTree().model()->mimeData(
        {page_->ResourceTree().indexFromItem(item)}));
    QVERIFY(data);
    const QPoint dropAt = page_->ControlPoint(at);
    QDragEnterEvent enter(dropAt, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Stage().InputWidget(), &enter);
    QVERIFY(enter.isAccepted());
    QDragMoveEvent move(dropAt, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Stage().InputWidget(), &move);
    QDropEvent drop(dropAt, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(Stage().InputWidget(), &drop);
    QVERIFY(drop.isAccepted());
  }

  void ChooseTemplate(const std::string& name) {
    for (TTile* tile : page_->TemplateTiles().Tiles())
      if (tile->View().Name == name) tile->click();
    QCOMPARE(Album().Templates.Selected->Name, name);
  }

  // Runs a program; true when it ends with status 0.
  static bool Run(const QString& program, const QStringList& args) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, args);
    return process.waitForFinished(300000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
  }

  // Publishes an album of one photo with the theme and takes yel-player's
  // snapshot of the frame (1 the loading frame, 2 the template frame).
  QImage Published(const std::string& templ, const std::string& bar, int frame) {
    const QString dir = app_.filePath(QStringLiteral("album"));
    QDir().mkpath(dir + "/photos");
    QImage photo(160, 120, QImage::Format_RGB32);
    photo.fill(QColor(40, 200, 40));
    photo.save(dir + "/photos/a.jpg");
    const QString yel = kBin + "yel";
    if (!Run(yel, {"project", "new", "--photos", dir + "/photos", "-o", dir + "/a.yel"})) return {};
    if (!Run(yel, {"publish", dir + "/a.yel", "--swf", dir + "/a.swf", "--template", QString::fromStdString(templ),
                   "--loading-bar", QString::fromStdString(bar), "--app-folder", app_.path()}))
      return {};
    if (frame == 1) {
      // A movie that is all there leaves its loading frame at once: the
      // preloader becomes a stop, so that the frame can be looked at.
      swf::TSWFStreamReader reader((dir + "/a.swf").toStdString());
      reader.ParseTags(true, true);
      for (std::size_t i = 0; i < reader.TagCount(); ++i) {
        auto* actions = dynamic_cast<swf::TSWFDoAction*>(reader.TagInfo(i).TagObject);
        if (!actions) continue;
        actions->Actions().Clear();
        actions->Actions().Add(std::make_unique<swf::TSWFActionStop>());
        break;
      }
      reader.MakeStream();
      TMemoryStream out;
      reader.SaveToStream(out);
      WriteFileAtomically((dir + "/a.swf").toStdString(), std::vector<std::uint8_t>(out.Data(), out.Data() + out.Size()));
    }
    const QString shot = output_ + QStringLiteral("published-frame%1.png").arg(frame);
    if (!Run(kBin + "yel-player", {dir + "/a.swf", "--snapshot", shot, "--frame", QString::number(frame)})) return {};
    return QImage(shot);
  }

 private slots:
  void initTestCase() {
    output_ = QStringLiteral(YEL_BINARY_DIR "/test-output/theme/");
    QDir().mkpath(output_);
    fs::copy(kBin.toStdString() + "Theme", App() + "Theme", fs::copy_options::recursive);
    fs::copy(kBin.toStdString() + "YEL.dll", App() + "YEL.dll");
    window_ = std::make_unique<TfrmMain>(App());
    window_->resize(1280, 800);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    page_ = window_->ThemePage();
    window_->SetActivePage(TFlashAlbum::ThemePage);
    QVERIFY(page_->Mode());
    QVERIFY(Stage().WaitForMovie(60000));
  }

  void cleanupTestCase() { window_.reset(); }

  // Each installed template: its values in the spin boxes and the album's
  // record, its colour and shapes on the stage.
  void loadsEveryTemplate() {
    for (const auto& view : Album().Templates.Items) {
      const std::string name = view->Name;
      ChooseTemplate(name);
      const TTemplateConfig config = TTemplateConfig::Load(TemplateDir(name) + "config.ini");
      const TMFShape& shape = Album().Template.PhotoFrame.Shape;
      QCOMPARE(shape.Left, float(config.Left * 720));
      QCOMPARE(shape.Width, float(config.Width));
      QCOMPARE(Album().Template.PhotoFrame.Name, config.PhotoFrameName);
      QCOMPARE(Get("PTemplate.ShapeCount"), QString::number(config.Shapes.size()));
      if (config.BackgroundType == 1) {
        const TColor c = ParseHexColour(config.BackgroundColor);
        QVERIFY(StageShows({3, 3}, QColor(c & 0xFF, c >> 8 & 0xFF, c >> 16 & 0xFF),
                           QStringLiteral("template-%1").arg(QString::fromStdString(name))));
      } else {
        QCOMPARE(Album().Template.PhotoFrame.Background.FillType, std::uint8_t(2));
      }
    }
  }

  void editsTheStageAndSaves() {
    ChooseTemplate("Classic");
    const TMFShape frameBefore = Album().Template.PhotoFrame.Shape;
    page_->SetBackgroundColour(0x3050D0);  // platform colour: blue 0xD0
    QVERIFY(StageShows({3, 3}, QColor(0xD0, 0x50, 0x30), QStringLiteral("edit-colour")));
    QCOMPARE(Album().Template.PhotoFrame.Background.Color, TColor(0x3050D0));

    // An adornment dragged from the tree onto the stage.
    DropResource(QStringLiteral("Heart"), {330, 440});
    QCOMPARE(Get("PTemplate.ShapeCount"), QStringLiteral("5"));
    QCOMPARE(page_->Spin(TfrmTheme::LeftTag).value(), 330.0);
    const double width = page_->Spin(TfrmTheme::WidthTag).value();
    const double height = page_->Spin(TfrmTheme::HeightTag).value();
    QVERIFY(width > 10 && height > 10);
    QVERIFY(StageShows({330 + width / 2, 440 + height / 2}, QColor(0xD0, 0x50, 0x30), "edit-dropped", false));

    // Moved by the mouse: the spin boxes follow; no album record changes.
    Drag({330 + width / 2, 440 + height / 2}, {330 + width / 2 + 60, 440 + height / 2 - 40});
    QTRY_VERIFY_WITH_TIMEOUT(Close(page_->Spin(TfrmTheme::LeftTag).value(), 390), kCommandWait);
    QTRY_VERIFY_WITH_TIMEOUT(Close(page_->Spin(TfrmTheme::TopTag).value(), 400), kCommandWait);
    QCOMPARE(page_->PropertiesPage(), page_->ShapePage());
    QCOMPARE(Album().Template.PhotoFrame.Shape.Left, frameBefore.Left);
    QCOMPARE(Album().Template.PhotoFrame.Shape.Top, frameBefore.Top);
    // Resized by its bottom right handle.
    Drag({390 + width, 400 + height}, {390 + width + 20, 400 + height + 10});
    QTRY_VERIFY_WITH_TIMEOUT(Close(page_->Spin(TfrmTheme::WidthTag).value(), width + 20), kCommandWait);
    QTRY_VERIFY_WITH_TIMEOUT(Close(page_->Spin(TfrmTheme::HeightTag).value(), height + 10), kCommandWait);
    // Width by the spin box: the stage object follows.
    page_->Spin(TfrmTheme::WidthTag).setValue(120);
    page_->ApplySpin(TfrmTheme::WidthTag);
    Stage().SetVariable("PTemplate.Index", "4");
    QCOMPARE(Get("PTemplate.ShapeWidth"), QStringLiteral("120"));
    QVERIFY(StageShows({390 + 110, 400 + height / 2}, QColor(0xD0, 0x50, 0x30), "edit-wider", false));

    // The photo frame moved by the mouse changes the album's record.
    Drag({frameBefore.Left + 30, frameBefore.Top + 6}, {frameBefore.Left + 20, frameBefore.Top + 16});
    QCOMPARE(Get("PTemplate.SelectObject.IsPhotoFrame"), QStringLiteral("true"));
    QTRY_VERIFY_WITH_TIMEOUT(Close(Album().Template.PhotoFrame.Shape.Left, frameBefore.Left - 10), kCommandWait);
    QTRY_VERIFY_WITH_TIMEOUT(Close(Album().Template.PhotoFrame.Shape.Top, frameBefore.Top + 10), kCommandWait);

    // The first rosette deleted through the stage's menu: its file waits
    // for the save (the other three still use it).
    Mouse(QEvent::MouseMove, {75, 30}, Qt::NoButton, Qt::NoButton);
    Mouse(QEvent::MouseButtonPress, {75, 30}, Qt::RightButton, Qt::RightButton);
    Mouse(QEvent::MouseButtonRelease, {75, 30}, Qt::RightButton, Qt::NoButton);
    QTRY_VERIFY_WITH_TIMEOUT(page_->StageMenu()->isVisible(), 5000);
    page_->StageMenu()->actions().first()->trigger();
    page_->StageMenu()->hide();
    // The stage deletes on its own turn: a loaded machine may answer first.
    QTRY_COMPARE_WITH_TIMEOUT(Get("PTemplate.ShapeCount"), QStringLiteral("4"), kCommandWait);
    QCOMPARE(page_->PendingDeletions().size(), 1);

    // Another template would replace the edits: Cancel keeps them.
    QVERIFY(page_->HasStageEdit());
    boxes_.Texts.clear();
    boxes_.Answers = {QMessageBox::Cancel};
    page_->TemplateTiles().Tiles().back()->click();
    QCOMPARE(Album().Templates.Selected->Name, std::string("Classic"));
    QCOMPARE(boxes_.Texts, QStringList{"Theme: The template \"Classic\" has changes on the stage that are not saved."});
    QCOMPARE(Get("PTemplate.ShapeCount"), QStringLiteral("4"));

    // Save.
    QPointF heartAt(390, 400);
    const QImage stage = (Stage().WaitForDrawing(), Stage().CurrentPicture());
    stage.save(output_ + "saved-stage.png");
    boxes_.Texts.clear();
    page_->Save();
    QCOMPARE(boxes_.Texts, QStringList{"Information: Preservation complete!"});
    const std::string d = TemplateDir("Classic");
    QVERIFY(fs::exists(d + "Rosette.swf"));  // still used by three shapes
    const TIniFile ini = TIniFile::Load(ResolvePathIgnoreCase(d + "Config.ini"));
    QCOMPARE(ini.ReadString("System", "Name"), std::string("Classic"));
    QCOMPARE(ini.ReadString("Background", "Color"), std::string("0xD05030"));
    QCOMPARE(ini.ReadInteger("Shapes", "Count", 0), std::int64_t(4));
    QCOMPARE(ini.ReadString("PhotoFrame", "FileName"), std::string("PhotoFrame.swf"));
    QVERIFY(Close(ini.ReadFloat("Size", "Left", 0) * 720, frameBefore.Left - 10));
    QCOMPARE(ini.ReadString("Shape_4", "FileName"), std::string("Heart.swf"));
    QVERIFY(Close(ini.ReadFloat("Shape_4", "Left", 0) * 720, 390));
    QCOMPARE(ini.ReadFloat("Shape_4", "Width", 0), 120.0);
    QVERIFY(fs::exists(d + "Heart.swf"));
    const QImage view(QString::fromStdString(d + "View.jpg"));
    QCOMPARE(view.size(), QSize(80, 60));
    QVERIFY(Near(view.pixelColor(1, 1), QColor(0xD0, 0x50, 0x30), 40));

    // Published with the saved template: background, frame and shapes
    // where the stage showed them.
    const QImage published = Published("Classic", "Ocean", 2);
    QVERIFY(!published.isNull());
    const QImage shown = stage.scaled(720, 540, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Background, the heart, a rosette, the frame's top and left bands.
    const QPoint samples[] = {{3, 3},     {700, 520}, {int(heartAt.x()) + 60, int(heartAt.y()) + 20},
                              {646, 474}, {320, 50},  {int(frameBefore.Left) - 10 - 22, 240}};
    for (const QPoint& p : samples)
      QVERIFY2(Near(shown.pixelColor(p), published.pixelColor(p), 40),
               qPrintable(QStringLiteral("at (%1, %2) the stage shows %3, the album %4")
                              .arg(p.x())
                              .arg(p.y())
                              .arg(Describe(shown.pixelColor(p)), Describe(published.pixelColor(p)))));
  }

  // Wedding's two hearts share its own Heart.swf; the adornment "Heart"
  // (a different file of that name) dropped twice is saved once beside it.
  // Loading and choosing on the stage are no edits; a drop is, and another
  // template is then loaded only after Discard.
  void switchingTemplatesAsksAboutStageEdits() {
    ChooseTemplate("Classic");
    QVERIFY(!page_->HasStageEdit());
    const TMFShape frame = Album().Template.PhotoFrame.Shape;
    const QPointF onFrame(frame.Left + 30, frame.Top + 6);
    Mouse(QEvent::MouseMove, onFrame, Qt::NoButton, Qt::NoButton);
    Mouse(QEvent::MouseButtonPress, onFrame, Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, onFrame, Qt::LeftButton, Qt::NoButton);
    QTRY_COMPARE_WITH_TIMEOUT(page_->PropertiesPage(), page_->ShapePage(), kCommandWait);
    QTest::qWait(300);
    QVERIFY(!page_->HasStageEdit());
    const std::string other = Album().Templates.Items.back()->Name;
    ChooseTemplate(other);  // nothing to ask
    ChooseTemplate("Classic");
    DropResource(QStringLiteral("Heart"), {330, 440});
    QVERIFY(page_->HasStageEdit());
    boxes_.Texts.clear();
    boxes_.Answers = {QMessageBox::Discard};
    ChooseTemplate(other);
    QCOMPARE(boxes_.Texts.size(), 1);
    QVERIFY(!page_->HasStageEdit());
    QVERIFY(boxes_.Answers.isEmpty());
  }

  void droppedShapeKeepsTheTemplatesFile() {
    page_->ShowTemplateTab();
    ChooseTemplate("Wedding");
    const std::string d = TemplateDir("Wedding");
    page_->Save();  // the folder's own file as a save writes it
    const auto own = ReadFileBytes(d + "Heart.swf");
    DropResource(QStringLiteral("Heart"), {300, 420});
    DropResource(QStringLiteral("Heart"), {380, 420});
    boxes_.Texts.clear();
    page_->Save();
    QCOMPARE(boxes_.Texts, QStringList{"Information: Preservation complete!"});
    QCOMPARE(ReadFileBytes(d + "Heart.swf"), own);
    const TIniFile ini = TIniFile::Load(ResolvePathIgnoreCase(d + "Config.ini"));
    const std::int64_t count = ini.ReadInteger("Shapes", "Count", 0);
    QStringList files;
    for (std::int64_t i = 1; i <= count; ++i)
      files << QString::fromStdString(ini.ReadString("Shape_" + std::to_string(i), "FileName"));
    QCOMPARE(files, QStringList({"Heart.swf", "Heart.swf", "Rings.swf", "Heart_2.swf", "Heart_2.swf"}));
    QVERIFY(fs::exists(d + "Heart_2.swf"));
    QVERIFY(!fs::exists(d + "Heart_3.swf"));
  }

  // Every loading bar loads; one is moved and resized on the stage, saved
  // and published: the loading frame shows it there.
  void loadingBars() {
    page_->ShowLoadingBarTab();
    QVERIFY(!page_->Mode());
    QVERIFY(!page_->ResourcePanel()->isVisible());
    for (TTile* tile : page_->LoadingBarTiles().Tiles()) {
      tile->click();
      const TLoadingBarConfig config = TLoadingBarConfig::Load(
          App() + "Theme/LoadingBar/" + tile->View().Name + "/Config.ini");
      QCOMPARE(Album().Template.Loading.Name, tile->View().Name);
      QCOMPARE(page_->Spin(TfrmTheme::LeftTag).value(), std::round(config.Left * 720 * 100) / 100);
      QCOMPARE(Get("PLoadingBar.SelectObject.Width"), QString::number(config.Width));
    }
    page_->LoadingBarTiles().Tiles().front()->click();
    const std::string bar = Album().Template.Loading.Name;
    const TMFShape before = Album().Template.Loading.Shape;
    Drag({before.Left + 20, before.Top + before.Height / 2}, {before.Left - 80, before.Top + before.Height / 2 + 100});
    QTRY_VERIFY_WITH_TIMEOUT(Close(Album().Template.Loading.Shape.Left, before.Left - 100), kCommandWait);
    QTRY_VERIFY_WITH_TIMEOUT(Close(Album().Template.Loading.Shape.Top, before.Top + 100), kCommandWait);
    Drag({before.Left - 100 + before.Width, before.Top + 100 + before.Height},
         {before.Left - 100 + before.Width + 50, before.Top + 100 + before.Height + 10});
    QTRY_VERIFY_WITH_TIMEOUT(Close(Album().Template.Loading.Shape.Width, before.Width + 50), kCommandWait);
    QCOMPARE(page_->Spin(TfrmTheme::WidthTag).value(), double(Album().Template.Loading.Shape.Width));
    const QImage stage = (Stage().WaitForDrawing(), Stage().CurrentPicture());
    stage.save(output_ + "saved-bar-stage.png");
    boxes_.Texts.clear();
    page_->Save();
    QCOMPARE(boxes_.Texts, QStringList{"Information: Preservation complete!"});
    const TLoadingBarConfig saved = TLoadingBarConfig::Load(App() + "Theme/LoadingBar/" + bar + "/Config.ini");
    QCOMPARE(saved.Left, double(Album().Template.Loading.Shape.Left) / 720);
    QCOMPARE(saved.Width, double(Album().Template.Loading.Shape.Width));

    const QImage published = Published("Classic", bar, 1);
    QVERIFY(!published.isNull());
    const QImage shown = stage.scaled(720, 540, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const TMFShape& now = Album().Template.Loading.Shape;
    const QPoint samples[] = {{3, 3},
                              {int(now.Left + now.Width / 2), int(now.Top + now.Height / 2)},
                              {int(now.Left + 6), int(now.Top + now.Height / 2)},
                              {int(before.Left + before.Width - 5), int(before.Top + before.Height / 2)}};
    for (const QPoint& p : samples)
      QVERIFY2(Near(shown.pixelColor(p), published.pixelColor(p), 40),
               qPrintable(QStringLiteral("at (%1, %2) the stage shows %3, the album %4")
                              .arg(p.x())
                              .arg(p.y())
                              .arg(Describe(shown.pixelColor(p)), Describe(published.pixelColor(p)))));
    page_->ShowTemplateTab();
    QVERIFY(page_->Mode());
  }

  void fileEdgeCases() {
    page_->ShowTemplateTab();
    ChooseTemplate("Polaroid");
    const std::string d = TemplateDir("Polaroid");
    // A .swf picture becomes the background movie unchanged.
    const std::string swf = App() + "Theme/Resource/Background/" + "picture.swf";
    fs::copy(App() + "Theme/Template/Wedding/" + "Background.swf", swf);
    QVERIFY(page_->ChooseBackgroundPicture(swf));
    QCOMPARE(ReadFileBytes(Album().TempFolder + "Background.swf"), ReadFileBytes(swf));
    // The folder's own "Background.swf" is kept; the new one is saved
    // beside it and named in the configuration.
    const auto older = ReadFileBytes(d + "Background.swf");
    // One shape's file goes missing before the save: Count stays 2+, one
    // section fewer.
    const TTemplateConfig config = TTemplateConfig::Load(d + "config.ini");
    QVERIFY(config.Shapes.size() >= 2);
    fs::remove(d + config.Shapes[0].FileName);
    boxes_.Texts.clear();
    page_->Save();
    QCOMPARE(boxes_.Texts, QStringList{"Information: Preservation complete!"});
    QCOMPARE(ReadFileBytes(d + "Background.swf"), older);
    const TIniFile ini = TIniFile::Load(ResolvePathIgnoreCase(d + "Config.ini"));
    QCOMPARE(QString::fromStdString(ini.ReadString("Background", "Image")), QStringLiteral("Background_2.swf"));
    QCOMPARE(ReadFileBytes(d + "Background_2.swf"), ReadFileBytes(swf));
    QCOMPARE(ini.ReadInteger("Shapes", "Count", 0), std::int64_t(config.Shapes.size()));
    const std::size_t kept = std::count_if(config.Shapes.begin(), config.Shapes.end(), [&](const TTemplateShape& s) {
      return s.FileName != config.Shapes[0].FileName;
    });
    QVERIFY(ini.HasKey("Shape_" + std::to_string(kept), "FileName"));
    QVERIFY(!ini.HasKey("Shape_" + std::to_string(kept + 1), "FileName"));

    // "New Template" cancelled: a template named NewTemplate, on the stage;
    // asked again, the existing one is not overwritten.
    QTimer::singleShot(300, [] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
    });
    page_->NewTemplateClicked();
    QCOMPARE(Album().Templates.Selected->Name, std::string("NewTemplate"));
    QVERIFY(fs::exists(TemplateDir("NewTemplate") + "View.jpg"));
    QCOMPARE(ReadListFile(App() + "Theme/Template/Config.xml").back(), std::string("NewTemplate"));
    QVERIFY(StageShows({3, 3}, Qt::white, QStringLiteral("new-template")));
    boxes_.Texts.clear();
    page_->NewTemplate(QStringLiteral("NewTemplate"));
    QCOMPARE(boxes_.Texts, QStringList{"Information: This name already exists!"});
    // "Save as ..." of a name that exists, then of a new one.
    ChooseTemplate("Night");
    boxes_.Texts.clear();
    page_->SaveAs(QStringLiteral("Classic"));
    QCOMPARE(boxes_.Texts, QStringList{"Information: This name already exists!"});
    page_->SaveAs(QStringLiteral("  Night copy "));
    QCOMPARE(Album().Templates.Selected->Name, std::string("Night copy"));
    QVERIFY(fs::exists(TemplateDir("Night copy") + "PhotoFrame.swf"));

    // "Remove Template" on a right-clicked tile removes that one, whatever
    // is selected.
    ChooseTemplate("Night");
    TTile* copy = nullptr;
    for (TTile* tile : page_->TemplateTiles().Tiles())
      if (tile->View().Name == "Night copy") copy = tile;
    QVERIFY(copy);
    emit page_->TemplateTiles().customContextMenuRequested(
        copy->mapTo(&page_->TemplateTiles(), copy->rect().center()));
    QMenu* menu = page_->findChild<QMenu*>("TemplateMenu");
    QTRY_VERIFY(menu->isVisible());
    boxes_.Texts.clear();
    menu->actions().at(1)->trigger();
    menu->hide();
    QCOMPARE(boxes_.Texts,
             QStringList{"Remove Template: Are you sure you want to remove the \"Night copy\" template?"});
    QVERIFY(!fs::exists(TemplateDir("Night copy")));
    QCOMPARE(Album().Templates.Selected->Name, std::string("Night"));

    // Removing the selected template selects the first remaining one.
    ChooseTemplate("NewTemplate");
    page_->RemoveTemplate(true);
    QVERIFY(!fs::exists(TemplateDir("NewTemplate")));
    QCOMPARE(Album().Templates.Selected, Album().Templates.Items.front().get());
    QCOMPARE(Album().Templates.Selected->Name, ReadListFile(App() + "Theme/Template/Config.xml").front());
  }

  // The page in both modes as a user sees it.
  void screenshots() {
    const QString out = QStringLiteral(YEL_BINARY_DIR "/test-output/studio/");
    QDir().mkpath(out);
    ChooseTemplate("Classic");
    QVERIFY(window_->Screenshot(QSize(1280, 800)).save(out + "Theme-template-1280x800.png"));
    page_->ShowLoadingBarTab();
    QVERIFY(window_->Screenshot(QSize(1280, 800)).save(out + "Theme-loading-bar-1280x800.png"));
    page_->ShowTemplateTab();
  }
};

int main(int argc, char** argv) {
  SetUpFlashPlayer();
  QApplication application(argc, argv);
  ThemePageTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "theme_page_test.moc"
