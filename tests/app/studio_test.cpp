// The editor driven through its real widgets on Qt's offscreen platform:
// start-up state, the photo page's tiles and buttons, the slide strip's
// drops, moves and Delete, the file commands through real files and
// dialogs, the unsaved-changes question, the theme page, and screenshots of
// every page (build/test-output/studio/).
#include <QAbstractButton>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUndoStack>
#include <QUrl>
#include <cmath>
#include <deque>
#include <filesystem>
#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "album/album_model.h"
#include "album/project_file.h"
#include "app/pages/effect_page.h"
#include "app/pages/publish_page.h"
#include "app/pages/setting_page.h"
#include "app/pages/tile_view.h"
#include "app/player/flash_player.h"
#include "app/studio/about_box.h"
#include "app/studio/main_window.h"
#include "app/studio/photo_page.h"
#include "app/studio/picture_tile.h"
#include "app/studio/slide_strip.h"
#include "app/studio/studio_options.h"
#include "app/studio/theme_page.h"
#include "app/studio/thumbnails.h"
#include "app/studio/unattended_boxes.h"

using namespace yel;
using namespace yel::app;

namespace {

const std::string kProgramFolder = YEL_BINARY_DIR "/bin";

// Answers the modal dialogs that open, in order: each answer gets the
// dialog. Dialogs left unanswered when the test ends fail it.
class TDialogAnswers : public QObject {
 public:
  using Answer = std::function<void(QWidget*)>;
  TDialogAnswers() {
    timer_.setInterval(20);
    connect(&timer_, &QTimer::timeout, this, [this] {
      // Marked, not remembered by address: a later dialog may reuse it.
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || modal->property("answered").toBool() || answers_.empty()) return;
      modal->setProperty("answered", true);
      Answer answer = std::move(answers_.front());
      answers_.pop_front();
      ++answered_;
      answer(modal);
    });
    timer_.start();
  }
  void Then(Answer answer) { answers_.push_back(std::move(answer)); }
  int Answered() const { return answered_; }
  bool AllAnswered() const { return answers_.empty(); }

 private:
  QTimer timer_;
  std::deque<Answer> answers_;
  int answered_ = 0;
};

TDialogAnswers::Answer Press(QMessageBox::StandardButton which, QString* text = nullptr) {
  return [which, text](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    QVERIFY2(box, qPrintable(QString("expected a message box, got ") + modal->metaObject()->className()));
    if (text) *text = box->text() + "\n" + box->informativeText();
    box->button(which)->click();
  };
}

TDialogAnswers::Answer ChooseFile(const QString& path) {
  return [path](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    QVERIFY2(dialog, qPrintable(QString("expected a file dialog, got ") + modal->metaObject()->className()));
    // selectFile opens the path's folder but leaves the name box alone when
    // it has the focus (then the dialog's first name would be saved), so the
    // name is typed there too; the dialog must name the path before accepting.
    const QString wanted = QFileInfo(path).absoluteFilePath();
    QElapsedTimer clock;
    clock.start();
    do {
      dialog->selectFile(path);
      if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        name->setText(QFileInfo(path).fileName());
      if (dialog->selectedFiles().value(0) == wanted) break;
      QTest::qWait(20);
    } while (clock.elapsed() < 10000);
    if (dialog->selectedFiles().value(0) != wanted) {
      dialog->reject();  // a dialog left open would hang the test
      QFAIL(qPrintable("the file dialog names " + dialog->selectedFiles().value(0) + ", not " + wanted));
    }
    static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, as the Save/Open button
  };
}

TDialogAnswers::Answer CancelDialog(bool* seen = nullptr) {
  return [seen](QWidget* modal) {
    if (seen) *seen = true;
    qobject_cast<QDialog*>(modal)->reject();
  };
}

// A folder of small JPEG photos of different shapes, named in order.
QStringList MakePhotos(const QString& folder, int count) {
  QDir().mkpath(folder);
  QStringList files;
  for (int i = 0; i < count; ++i) {
    QImage image(i % 2 ? 160 : 120, i % 2 ? 120 : 160, QImage::Format_RGB32);
    image.fill(QColor::fromHsv((i * 47) % 360, 200, 220));
    const QString file = QStringLiteral("%1/photo%2.jpg").arg(folder).arg(i + 1, 2, 10, QLatin1Char('0'));
    image.save(file, "JPEG");
    files << file;
  }
  return files;
}

QStringList SlideFiles(TFlashAlbum& album) {
  QStringList files;
  for (std::size_t i = 0; i < album.SlideViews.Count(); ++i)
    files << QString::fromStdString(album.SlideViews[i].ImageFile);
  return files;
}

// Makes the photo page's tile area exactly `width` pixels wide.
void SetTileAreaWidth(TfrmPhoto& page, int width) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    const int now = page.TileArea()->viewport()->width();
    if (now == width) return;
    page.resize(page.width() + width - now, page.height());
    QApplication::processEvents();
  }
}

}  // namespace

class StudioTest : public QObject {
  Q_OBJECT

 public slots:
  void OpenUrl(const QUrl& url) { opened_ = url; }

 private slots:
  void initTestCase();
  void cleanup();
  void startUpState();
  void photoTilesFollowTheLayoutRule();
  void photoButtonsFollowTheAlbum();
  void thumbnailsArriveInTheBackground();
  void slideStripTakesDropsMovesAndDelete();
  void saveOpenAndSaveAsRoundTrip();
  void openingABadProjectShowsAnErrorAndKeepsTheAlbum();
  void unsavedChangesAreAskedAbout();
  void fileMenuShortcutsAboutAndInternet();
  void themePageChoosesForPublishing();
  void projectKeepsTheThemeAndMusic();
  void undoAndRedoEveryAlbumEdit();
  void installedUseWritesOnlyToTheUsersFolders();
  void unattendedBoxesAreWrittenAndClosed();
  void thumbnailsRefuseWhatIsNotARegularFile();
  void versionCaptionAndCommandLine();
  void closingDeletesTheStageFiles();
  void screenshotsOfEveryPage();
  void screenshotReplacesALinkNeverItsTarget();

 private:
  QTemporaryDir dir_;
  QString seven_;
  QStringList seven_files_;
  QUrl opened_;
};

void StudioTest::initTestCase() {
  QStandardPaths::setTestModeEnabled(true);
  QApplication::setOrganizationName("Yel tests");
  QApplication::setApplicationName("studio_test");
  QSettings().clear();
  QVERIFY(dir_.isValid());
  seven_ = dir_.filePath("seven");
  seven_files_ = MakePhotos(seven_, 7);
}

void StudioTest::cleanup() {
  // Nothing remembered leaks from one test into the next.
  QSettings().clear();
}

void StudioTest::startUpState() {
  TfrmMain window(kProgramFolder);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QCOMPARE(int(window.Album().ActivePage), 0);
  QCOMPARE(window.ActivePage(), 0);
  QVERIFY(window.PageButton(0)->isChecked());
  QCOMPARE(window.PageButton(0)->text(), QString("  Photo"));
  QVERIFY(window.PhotoPage()->isVisible());
  QVERIFY(window.SlideStrip()->isVisible());
  QCOMPARE(window.SlideStrip()->height(), TfrmSlides::kHeight);
  QVERIFY(window.Album().SlideViews.Empty());
  QVERIFY(!window.IsModified());

  // Limited to the work area and maximised; a double click on the title
  // label restores it, another maximises it again.
  window.StartUp();
  QTRY_VERIFY(window.isMaximized());
  QCOMPARE(window.maximumSize(), window.screen()->availableGeometry().size());
  auto* title = window.findChild<QLabel*>("TitleLabel");
  // The band names the project and marks unsaved changes.
  QCOMPARE(title->text(), QStringLiteral("Untitled - ") + kApplicationTitle);
  window.SlideStrip()->AddPhotosAt({seven_files_[0]}, 0);
  QCOMPARE(title->text(), QStringLiteral("Untitled* - ") + kApplicationTitle);
  window.UndoStack().undo();
  QCOMPARE(title->text(), QStringLiteral("Untitled - ") + kApplicationTitle);
  QTest::mouseDClick(title, Qt::LeftButton);
  QTRY_VERIFY(!window.isMaximized());
  QTest::mouseDClick(title, Qt::LeftButton);
  QTRY_VERIFY(window.isMaximized());

  // The File menu opens below its button, 100 pixels to the left of it.
  window.ShowFileMenu();
  QTRY_VERIFY(window.FileMenu()->isVisible());
  auto* file = qobject_cast<QAbstractButton*>(window.FileMenu()->parentWidget()->findChild<QWidget*>("FileButton"));
  QVERIFY(file);
  // (moved left as far as needed to stay on the small test screen)
  const QPoint wanted = file->mapToGlobal(QPoint(-100, file->height()));
  const int screen_right = window.screen()->geometry().right() + 1;
  QCOMPARE(window.FileMenu()->pos(),
           QPoint(std::min(wanted.x(), screen_right - window.FileMenu()->width()), wanted.y()));
  window.FileMenu()->close();

  // The strip shows under Photo and Effect only; ActivePage follows the
  // buttons, which stay exclusive.
  const bool strip[] = {true, true, false, false, false};
  for (int page : {3, 1, 4, 2, 0}) {
    QTest::mouseClick(window.PageButton(page), Qt::LeftButton);
    QCOMPARE(window.ActivePage(), page);
    QCOMPARE(window.SlideStrip()->isVisible(), strip[page]);
    QVERIFY(window.Page(page)->isVisible());
    for (int other = 0; other < 5; ++other) QCOMPARE(window.PageButton(other)->isChecked(), other == page);
  }
}

void StudioTest::photoTilesFollowTheLayoutRule() {
  TFlashAlbum album(kProgramFolder);
  TThumbnails thumbnails;
  TfrmPhoto page(album, thumbnails);
  page.resize(1000, 600);
  page.show();
  QVERIFY(QTest::qWaitForWindowExposed(&page));
  SetTileAreaWidth(page, 560);
  QCOMPARE(page.TileArea()->viewport()->width(), 560);
  page.ShowFolder(seven_);
  QCOMPARE(page.TileCount(), std::size_t(7));
  const QPoint expected[] = {{4, 4}, {136, 4}, {268, 4}, {400, 4}, {4, 104}, {136, 104}, {268, 104}};
  for (std::size_t i = 0; i < 7; ++i) {
    QCOMPARE(page.Tile(i)->pos(), expected[i]);
    QCOMPARE(page.Tile(i)->size(), QSize(128, 96));
    QCOMPARE(page.Tile(i)->File(), seven_files_[int(i)]);
  }
  QCOMPARE(album.PhotoViews.Items.size(), std::size_t(7));

  // A wider area takes more tiles per row at once.
  SetTileAreaWidth(page, 661);
  QCOMPARE(page.Tile(4)->pos(), QPoint(532, 4));

  // The edges of the rule: a tile whose right edge reaches the area's width
  // starts a new row; a tile alone in a narrow row stays in the first row.
  struct Case {
    int width;
    std::vector<QPoint> positions;
  } cases[] = {{660, {{4, 4}, {136, 4}, {268, 4}, {400, 4}, {4, 104}}},
               {661, {{4, 4}, {136, 4}, {268, 4}, {400, 4}, {532, 4}}},
               {100, {{4, 4}, {4, 104}, {4, 204}}},
               {264, {{4, 4}, {4, 104}}},
               {265, {{4, 4}, {136, 4}}}};
  for (const Case& c : cases)
    QCOMPARE(PhotoTilePositions(c.positions.size(), c.width), c.positions);
}

void StudioTest::photoButtonsFollowTheAlbum() {
  TfrmMain window(kProgramFolder);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  TfrmPhoto& photo = *window.PhotoPage();
  TFlashAlbum& album = window.Album();
  auto states = [&] {
    return QString("%1%2%3%4")
        .arg(int(photo.AddPhotoButton()->isEnabled()))
        .arg(int(photo.AddAllButton()->isEnabled()))
        .arg(int(photo.RemoveButton()->isEnabled()))
        .arg(int(photo.RemoveAllButton()->isEnabled()));
  };
  photo.ShowFolder(dir_.path());  // no photos here
  QCOMPARE(states(), QString("0000"));
  photo.ShowFolder(seven_);
  QCOMPARE(states(), QString("0100"));

  QTest::mouseClick(photo.Tile(2), Qt::LeftButton);
  QVERIFY(photo.Tile(2)->IsSelected());
  QCOMPARE(states(), QString("1100"));
  QTest::mouseClick(photo.AddPhotoButton(), Qt::LeftButton);
  QCOMPARE(SlideFiles(album), QStringList{seven_files_[2]});
  QCOMPARE(states(), QString("1111"));  // the first slide added is selected
  QCOMPARE(window.windowTitle(), QString("Untitled* - Yel Album Studio"));  // unsaved changes
  QCOMPARE(window.SlideStrip()->TileCount(), std::size_t(1));
  QVERIFY(window.SlideStrip()->Tile(0)->IsSelected());

  QTest::mouseClick(photo.AddAllButton(), Qt::LeftButton);
  QCOMPARE(album.SlideViews.Count(), std::size_t(8));
  QCOMPARE(SlideFiles(album).mid(1), seven_files_);
  QCOMPARE(window.SlideStrip()->TileCount(), std::size_t(8));
  QCOMPARE(window.SlideStrip()->Tile(7)->pos(), QPoint(TSlideViews::TileLeft(7), 4));

  // Selecting a slide in the strip, then Remove: the selection is gone.
  QTest::mouseClick(window.SlideStrip()->Tile(3), Qt::LeftButton);
  QCOMPARE(album.SlideViews.Selected(), &album.SlideViews[3]);
  QTest::mouseClick(photo.RemoveButton(), Qt::LeftButton);
  QCOMPARE(SlideFiles(album), QStringList{seven_files_[2]} + seven_files_.mid(0, 2) + seven_files_.mid(3));
  QCOMPARE(states(), QString("1101"));

  // A slide selected while another page is in front changes only the
  // selection; back on the Photo page the buttons agree with it.
  window.SetActivePage(TFlashAlbum::ThemePage);
  album.SelectSlide(album.SlideViews[0]);
  QCOMPARE(window.ActivePage(), int(TFlashAlbum::ThemePage));
  QCOMPARE(states(), QString("1101"));
  window.SetActivePage(TFlashAlbum::PhotoPage);
  QCOMPARE(states(), QString("1111"));

  QTest::mouseClick(photo.RemoveAllButton(), Qt::LeftButton);
  QVERIFY(album.SlideViews.Empty());
  QCOMPARE(window.SlideStrip()->TileCount(), std::size_t(0));
  QCOMPARE(states(), QString("1100"));

  // Another folder clears the photo selection.
  photo.ShowFolder(dir_.path());
  QVERIFY(album.PhotoViews.Selected == nullptr);
  QCOMPARE(states(), QString("0000"));
}

void StudioTest::thumbnailsArriveInTheBackground() {
  const QString folder = dir_.filePath("thumbs");
  const QStringList photos = MakePhotos(folder, 12);
  // A damaged photo gets a tile that says so.
  QFile broken(folder + "/zz-broken.jpg");
  QVERIFY(broken.open(QIODevice::WriteOnly));
  broken.write("\xFF\xD8\xFF\xE0 not really a JPEG");
  broken.close();

  TfrmMain window(kProgramFolder);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  window.PhotoPage()->ShowFolder(folder);
  QCOMPARE(window.PhotoPage()->TileCount(), std::size_t(13));
  QTRY_VERIFY_WITH_TIMEOUT(window.Thumbnails().WaitIdle(100), 20000);
  bool failed = true;
  const QImage first = window.Thumbnails().Get(photos[0], &failed);
  QVERIFY(!failed);
  QCOMPARE(first.size(), QSize(66, 88));  // 120 x 160 fitted into 120 x 88
  QVERIFY(window.Thumbnails().Get(photos[1]).size() == QSize(117, 88) ||
          window.Thumbnails().Get(photos[1]).size() == QSize(118, 88));
  QVERIFY(window.Thumbnails().Get(folder + "/zz-broken.jpg", &failed).isNull());
  QVERIFY(failed);
  // What a tile shows is the photo's colour, fitted with its margins.
  const QImage tile = window.PhotoPage()->Tile(0)->grab().toImage();
  const QColor seen = tile.pixelColor(64, 48), painted = QColor::fromHsv(0, 200, 220);
  QVERIFY(std::abs(seen.red() - painted.red()) < 16 && std::abs(seen.green() - painted.green()) < 16 &&
          std::abs(seen.blue() - painted.blue()) < 16);
}

void StudioTest::slideStripTakesDropsMovesAndDelete() {
  TfrmMain window(kProgramFolder);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  TFlashAlbum& album = window.Album();
  TfrmSlides& strip = *window.SlideStrip();
  window.PhotoPage()->ShowFolder(seven_);
  album.AddSlide(seven_files_[0].toStdString());
  album.AddSlide(seven_files_[1].toStdString());
  strip.Rebuild();

  auto drop = [&](QMimeData* data, std::size_t before) {
    const QPoint at = strip.TileArea()->mapTo(&strip, QPoint(TSlideViews::TileLeft(before) - 2, 40));
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&strip, &enter);
    const bool accepted = enter.isAccepted();
    if (accepted) {
      QDropEvent event(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(&strip, &event);
    }
    delete data;
    return accepted;
  };

  // Files from a file manager: photos go in where they are dropped, other
  // files are left out, a folder brings its photos.
  QFile text(dir_.filePath("notes.txt"));
  QVERIFY(text.open(QIODevice::WriteOnly));
  text.close();
  auto* files = new QMimeData;
  files->setUrls({QUrl::fromLocalFile(seven_files_[5]), QUrl::fromLocalFile(text.fileName()),
                  QUrl::fromLocalFile(seven_files_[6])});
  QVERIFY(drop(files, 1));
  QCOMPARE(SlideFiles(album),
           (QStringList{seven_files_[0], seven_files_[5], seven_files_[6], seven_files_[1]}));
  QCOMPARE(strip.TileCount(), std::size_t(4));
  auto* only_text = new QMimeData;
  only_text->setUrls({QUrl::fromLocalFile(text.fileName())});
  QVERIFY(!drop(only_text, 0));
  QCOMPARE(album.SlideViews.Count(), std::size_t(4));
  const QString small = dir_.filePath("small");
  const QStringList small_files = MakePhotos(small, 2);
  auto* folder = new QMimeData;
  folder->setUrls({QUrl::fromLocalFile(small)});
  QVERIFY(drop(folder, 99));
  QCOMPARE(SlideFiles(album).mid(4), small_files);

  // A slide dragged within the strip moves there; numbers and places follow.
  album.SelectSlide(album.SlideViews[0]);
  auto* move = new QMimeData;
  move->setData(TfrmSlides::kSlideMimeType, "0");
  QVERIFY(drop(move, 3));
  QCOMPARE(SlideFiles(album).mid(0, 4),
           (QStringList{seven_files_[5], seven_files_[6], seven_files_[0], seven_files_[1]}));
  for (std::size_t i = 0; i < album.SlideViews.Count(); ++i) {
    QCOMPARE(album.SlideViews[i].SlideIndex, int(i + 1));
    QCOMPARE(strip.Tile(i)->pos().x(), TSlideViews::TileLeft(i));
  }
  QVERIFY(strip.Tile(2)->IsSelected());

  // Delete removes the selected slide; arrow keys move the selection.
  strip.setFocus();
  QTest::keyClick(&strip, Qt::Key_Right);
  QCOMPARE(album.SlideViews.Selected()->ImageFile, seven_files_[1].toStdString());
  QTest::keyClick(&strip, Qt::Key_Delete);
  QCOMPARE(album.SlideViews.Count(), std::size_t(5));
  QVERIFY(!SlideFiles(album).contains(seven_files_[1]));
  QCOMPARE(strip.TileCount(), std::size_t(5));
  QVERIFY(window.IsModified());
}

void StudioTest::saveOpenAndSaveAsRoundTrip() {
  TfrmMain window(kProgramFolder);
  window.show();
  window.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  TFlashAlbum& album = window.Album();
  for (int i : {3, 1, 4}) album.AddSlide(seven_files_[i].toStdString());
  album.SlideViews[1].Transition.Duration = 3.5f;
  album.Width = 800;
  album.Height = 600;
  QVERIFY(window.IsModified());

  const QString first = dir_.filePath("round/first.yel");
  QDir().mkpath(dir_.filePath("round"));
  TDialogAnswers answers;
  answers.Then(ChooseFile(first));
  QVERIFY(window.SaveAlbum(false));  // no file yet: asks for one
  QVERIFY(answers.AllAnswered());
  QVERIFY(QFileInfo(first).isFile());
  QCOMPARE(QString::fromStdString(album.ProjectFileName), first);
  QVERIFY(!window.IsModified());
  QCOMPARE(window.windowTitle(), QString("first.yel - Yel Album Studio"));

  // A second Save writes the same file without asking.
  album.AddSlide(seven_files_[0].toStdString());
  QVERIFY(window.SaveAlbum(false));
  QCOMPARE(answers.Answered(), 1);
  QVERIFY(!window.IsModified());

  // New: nothing to ask, the slides go, and the next Save asks again.
  QVERIFY(window.NewAlbum());
  QVERIFY(album.SlideViews.Empty());
  QVERIFY(album.ProjectFileName.empty());
  QCOMPARE(window.SlideStrip()->TileCount(), std::size_t(0));

  answers.Then(ChooseFile(first));
  QVERIFY(window.OpenAlbum());
  QCOMPARE(SlideFiles(album), (QStringList{seven_files_[3], seven_files_[1], seven_files_[4], seven_files_[0]}));
  QCOMPARE(album.SlideViews[1].Transition.Duration, 3.5f);
  QCOMPARE(album.Width, 800);
  QCOMPARE(window.SlideStrip()->TileCount(), std::size_t(4));
  QVERIFY(!window.IsModified());

  // Save as (Ctrl+Shift+S) writes a second file with the same content and
  // makes it the project's.
  const QString second = dir_.filePath("round/second.yel");
  answers.Then(ChooseFile(second));
  window.activateWindow();  // the dialogs had the focus
  QVERIFY(QTest::qWaitForWindowActive(&window));
  QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  QTRY_VERIFY(QFileInfo(second).isFile());
  QCOMPARE(QString::fromStdString(album.ProjectFileName), second);
  QFile a(first), b(second);
  QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
  QCOMPARE(a.readAll(), b.readAll());

  // Both are remembered as recent projects, the last first.
  const QStringList recent = QSettings().value("RecentProjects").toStringList();
  QCOMPARE(recent.mid(0, 2), (QStringList{second, first}));
}

void StudioTest::openingABadProjectShowsAnErrorAndKeepsTheAlbum() {
  TfrmMain window(kProgramFolder);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  const QString bad = dir_.filePath("bad.yel");
  QFile file(bad);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("<Document><Album><Width>wide</Width>");
  file.close();
  window.Album().AddSlide(seven_files_[0].toStdString());
  TDialogAnswers answers;
  QString message;
  answers.Then(Press(QMessageBox::Discard));
  answers.Then(Press(QMessageBox::Ok, &message));
  QVERIFY(!window.OpenAlbum(bad));
  QVERIFY2(message.contains("bad.yel"), qPrintable(message));
  QCOMPARE(window.Album().SlideViews.Count(), std::size_t(1));
  QVERIFY(window.isVisible());
}

void StudioTest::unsavedChangesAreAskedAbout() {
  const QString saved = dir_.filePath("unsaved/saved.yel");
  QDir().mkpath(dir_.filePath("unsaved"));
  {
    TFlashAlbum album(kProgramFolder);
    album.AddSlide(seven_files_[6].toStdString());
    SaveProjectFile(album, saved.toStdString());
  }
  TfrmMain window(kProgramFolder);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  TFlashAlbum& album = window.Album();
  TDialogAnswers answers;

  // New: Cancel keeps everything, Discard drops the changes.
  album.AddSlide(seven_files_[0].toStdString());
  answers.Then(Press(QMessageBox::Cancel));
  QVERIFY(!window.NewAlbum());
  QCOMPARE(album.SlideViews.Count(), std::size_t(1));
  answers.Then(Press(QMessageBox::Discard));
  QVERIFY(window.NewAlbum());
  QVERIFY(album.SlideViews.Empty());

  // Open: Save first asks where (a new album), saves, then opens.
  album.AddSlide(seven_files_[1].toStdString());
  const QString rescued = dir_.filePath("unsaved/rescued.yel");
  answers.Then(Press(QMessageBox::Save));
  answers.Then(ChooseFile(rescued));
  QVERIFY(window.OpenAlbum(saved));
  QVERIFY(answers.AllAnswered());
  TFlashAlbum check(kProgramFolder);
  OpenProjectFile(check, rescued.toStdString());
  QCOMPARE(SlideFiles(check), QStringList{seven_files_[1]});
  QCOMPARE(SlideFiles(album), QStringList{seven_files_[6]});

  // Save, then cancelling the file dialog: the command is not carried out.
  QVERIFY(window.NewAlbum());  // nothing changed since opening: no question
  album.AddSlide(seven_files_[2].toStdString());
  answers.Then(Press(QMessageBox::Save));
  answers.Then(CancelDialog());
  QVERIFY(!window.OpenAlbum(saved));
  QCOMPARE(album.SlideViews.Count(), std::size_t(1));

  // Exit (the close button, the menu's "Exit", closing the window).
  answers.Then(Press(QMessageBox::Cancel));
  QVERIFY(!window.close());
  QVERIFY(window.isVisible());
  answers.Then(Press(QMessageBox::Discard));
  QVERIFY(window.close());
  QVERIFY(answers.AllAnswered());

  // Nothing changed since opening: no question at all.
  TfrmMain quiet(kProgramFolder);
  quiet.show();
  QVERIFY(quiet.OpenAlbum(saved));
  QVERIFY(quiet.close());
  QCOMPARE(answers.Answered(), 8);
}

void StudioTest::fileMenuShortcutsAboutAndInternet() {
  TfrmMain window(kProgramFolder);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  window.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  QStringList items;
  for (QAction* action : window.FileMenu()->actions()) items << (action->isSeparator() ? "-" : action->text());
  QCOMPARE(items, (QStringList{"New", "Open", "Open Recent", "Save", "Save as...", "-", "Undo", "Redo", "-", "About",
                               "-", "Exit"}));

  // Ctrl+O asks for a project.
  TDialogAnswers answers;
  bool asked = false;
  answers.Then(CancelDialog(&asked));
  QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
  QVERIFY(asked);

  // About: the version as on the splash window; a click on the picture closes it.
  QString version;
  answers.Then([&version](QWidget* modal) {
    auto* about = qobject_cast<TAboutBox*>(modal);
    QVERIFY(about);
    version = about->findChild<QLabel*>("VersionLabel")->text();
    QDir().mkpath(YEL_BINARY_DIR "/test-output/studio");
    about->grab().save(YEL_BINARY_DIR "/test-output/studio/About.png");
    QTest::mouseClick(about->findChild<QLabel*>("VersionLabel")->parentWidget(), Qt::LeftButton);
  });
  window.ShowAbout();
  QCOMPARE(version, VersionCaption(FileVersion()));
  QVERIFY(version.startsWith("Ver: ") && version.size() > 5);

  // "Internet" opens the support page with the desktop's browser.
  QDesktopServices::setUrlHandler("https", this, "OpenUrl");
  window.OpenSupportPage();
  QDesktopServices::unsetUrlHandler("https");
  QCOMPARE(opened_, QUrl(SupportAddress()));
}

void StudioTest::themePageChoosesForPublishing() {
  TfrmMain window(kProgramFolder);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  TFlashAlbum& album = window.Album();
  TfrmTheme& theme = *window.ThemePage();
  QVERIFY(theme.TemplateTileCount() >= 2);
  QVERIFY(theme.LoadingBarTileCount() >= 2);
  // The first of each catalogue until another is chosen.
  QCOMPARE(album.Templates.Selected, album.Templates.Items[0].get());
  QCOMPARE(album.LoadingBars.Selected, album.LoadingBars.Items[0].get());
  window.SetActivePage(TFlashAlbum::ThemePage);
  theme.TemplateTiles().Tiles()[1]->click();
  QCOMPARE(album.Templates.Selected, album.Templates.Items[1].get());
  theme.ShowLoadingBarTab();
  theme.LoadingBarTiles().Tiles()[1]->click();
  QCOMPARE(album.LoadingBars.Selected, album.LoadingBars.Items[1].get());
  QCOMPARE(album.Template.Loading.Name, album.LoadingBars.Items[1]->Name);
  // The bar's place follows a new album size when the Publish page is shown.
  const float left = album.Template.Loading.Shape.Left;
  QVERIFY(left > 0);
  album.Width *= 2;
  window.SetActivePage(TFlashAlbum::PublishPage);
  QCOMPARE(album.Template.Loading.Shape.Left, left * 2);
  album.Width /= 2;
  // The choice is the album's: New asks about it, then keeps it.
  TDialogAnswers answers;
  answers.Then(Press(QMessageBox::Discard));
  QVERIFY(window.NewAlbum());
  QVERIFY(answers.AllAnswered());
  QCOMPARE(album.Templates.Selected->Name, album.Templates.Items[1]->Name);
  QCOMPARE(album.Template.Loading.Name, album.LoadingBars.Items[1]->Name);
}

// The chosen template, loading bar and music are saved with the project and
// come back in another session; a theme no longer installed gives way to
// the first, with a message naming it.
void StudioTest::projectKeepsTheThemeAndMusic() {
  const QString project = dir_.filePath("themed/themed.yel");
  const QString music = dir_.filePath("themed/song.wav");
  QDir().mkpath(dir_.filePath("themed"));
  QFile(music).open(QIODevice::WriteOnly);
  std::string templateName, barName;
  {
    TfrmMain window(kProgramFolder);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    TFlashAlbum& album = window.Album();
    TfrmTheme& theme = *window.ThemePage();
    window.SetActivePage(TFlashAlbum::ThemePage);
    theme.TemplateTiles().Tiles()[1]->click();
    QVERIFY(window.IsModified());
    theme.ShowLoadingBarTab();
    theme.LoadingBarTiles().Tiles()[1]->click();
    templateName = album.Templates.Items[1]->Name;
    barName = album.LoadingBars.Items[1]->Name;
    window.SetActivePage(TFlashAlbum::SettingPage);
    window.SettingPage()->SetMusicFile(music);
    window.SettingPage()->findChild<QPushButton*>("ok")->click();
    QCOMPARE(album.MusicFile, music.toStdString());
    TDialogAnswers answers;
    answers.Then(ChooseFile(project));
    QVERIFY(window.SaveAlbum(false));
    QVERIFY(answers.AllAnswered());
  }
  TfrmMain window(kProgramFolder);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  TFlashAlbum& album = window.Album();
  QCOMPARE(album.Templates.Selected, album.Templates.Items[0].get());
  QVERIFY(window.OpenAlbum(project));
  QCOMPARE(album.Templates.Selected->Name, templateName);
  QCOMPARE(album.LoadingBars.Selected->Name, barName);
  QCOMPARE(album.Template.Loading.Name, barName);
  QCOMPARE(album.MusicFile, music.toStdString());
  window.SetActivePage(TFlashAlbum::SettingPage);
  QCOMPARE(window.SettingPage()->findChild<QLineEdit*>("music")->text(), music);
  QVERIFY(!window.IsModified());

  // A template that is gone.
  TFlashAlbum gone(kProgramFolder);
  gone.TemplateName = "Gone Template";
  const QString goneFile = dir_.filePath("themed/gone.yel");
  SaveProjectFile(gone, goneFile.toStdString());
  TDialogAnswers answers;
  QString message;
  answers.Then(Press(QMessageBox::Ok, &message));
  QVERIFY(window.OpenAlbum(goneFile));
  QVERIFY(answers.AllAnswered());
  QVERIFY2(message.contains("\"Gone Template\" is not installed"), qPrintable(message));
  QCOMPARE(album.Templates.Selected, album.Templates.Items[0].get());
  QCOMPARE(album.TemplateName, album.Templates.Items[0]->Name);
  QCOMPARE(album.LoadingBars.Selected->Name, barName);  // the file names none: kept
  QVERIFY(album.MusicFile.empty());
}

// Every album edit is one step that Ctrl+Z takes back and Ctrl+Shift+Z
// makes again; the unsaved-changes mark follows.
void StudioTest::undoAndRedoEveryAlbumEdit() {
  TfrmMain window(kProgramFolder);
  window.show();
  window.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  TFlashAlbum& album = window.Album();
  QUndoStack& history = window.UndoStack();
  auto undo = [&] { QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier); };
  auto redo = [&] { QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); };
  auto transitions = [&] {
    QList<QPair<int, float>> all;
    for (std::size_t i = 0; i < album.SlideViews.Count(); ++i)
      all << qMakePair(int(album.SlideViews[i].Transition.EntryEffect), album.SlideViews[i].Transition.Speed);
    return all;
  };

  QCOMPARE(window.SlideStrip()->AddPhotosAt({seven_files_[0], seven_files_[1], seven_files_[2]}, 0), 3);
  QCOMPARE(history.count(), 1);
  QCOMPARE(history.undoText(), QString("Add Slides"));

  // Apply to All replaces every transition; Ctrl+Z brings each back.
  window.SetActivePage(TFlashAlbum::EffectPage);
  album.SelectSlide(album.SlideViews[0]);
  TfrmEffect& effect = *window.EffectPage();
  // The slide's random transition may be Blinds1 already: then Blinds2 is the change.
  for (const char* name : {"Blinds1", "Blinds2"}) {
    for (TTile* tile : effect.Tiles().Tiles())
      if (tile->View().Name == name) QTest::mouseClick(tile, Qt::LeftButton);
    if (history.count() == 2) break;
  }
  QCOMPARE(history.count(), 2);
  const auto before = transitions();
  effect.findChildren<QDoubleSpinBox*>().at(0)->setValue(1.5);
  effect.findChild<QPushButton*>("applyAll")->click();
  const auto applied = transitions();
  QVERIFY(applied != before);
  QCOMPARE(history.undoText(), QString("Change Transitions"));
  undo();
  QCOMPARE(transitions(), before);
  redo();
  QCOMPARE(transitions(), applied);

  // Moving and deleting slides.
  const QStringList order = SlideFiles(album);
  window.SlideStrip()->MoveSlide(0, 3);
  QCOMPARE(SlideFiles(album), (QStringList{order[1], order[2], order[0]}));
  undo();
  QCOMPARE(SlideFiles(album), order);
  QCOMPARE(window.SlideStrip()->TileCount(), std::size_t(3));
  album.SelectSlide(album.SlideViews[1]);
  window.SlideStrip()->setFocus();
  QTest::keyClick(window.SlideStrip(), Qt::Key_Delete);
  QCOMPARE(album.SlideViews.Count(), std::size_t(2));
  undo();
  QCOMPARE(SlideFiles(album), order);
  QCOMPARE(transitions(), applied);
  QCOMPARE(album.SlideViews.Selected(), &album.SlideViews[1]);

  // Settings, through the page's OK; the page shows the restored size.
  window.SetActivePage(TFlashAlbum::SettingPage);
  TfrmSetting& setting = *window.SettingPage();
  setting.findChild<QRadioButton*>("customSize")->click();
  setting.findChild<QSpinBox*>("width")->setValue(800);
  setting.findChild<QPushButton*>("ok")->click();
  QCOMPARE(album.Width, 800);
  undo();
  QCOMPARE(album.Width, 720);
  QVERIFY(setting.findChild<QRadioButton*>("defaultSize")->isChecked());
  QCOMPARE(setting.findChild<QSpinBox*>("width")->value(), 720);

  // The theme choice.
  window.SetActivePage(TFlashAlbum::ThemePage);
  window.ThemePage()->TemplateTiles().Tiles()[1]->click();
  QCOMPARE(album.Templates.Selected, album.Templates.Items[1].get());
  QCOMPARE(history.undoText(), QString("Choose Theme"));
  undo();
  QCOMPARE(album.Templates.Selected, album.Templates.Items[0].get());
  QCOMPARE(album.TemplateName, album.Templates.Items[0]->Name);

  // Back to the start, nothing is unsaved; a saved album undone is.
  while (history.canUndo()) undo();
  QVERIFY(album.SlideViews.Empty());
  QVERIFY(!window.IsModified());
  QVERIFY(!window.windowTitle().contains('*'));
  redo();
  QVERIFY(window.IsModified());
  QVERIFY(window.windowTitle().contains('*'));
  QStringList menu;
  for (QAction* action : window.FileMenu()->actions()) menu << action->text();
  QVERIFY2(menu.contains("Undo Add Slides") && menu.contains("Redo Change Transitions"), qPrintable(menu.join('|')));
  // New starts a new history.
  TDialogAnswers answers;
  answers.Then(Press(QMessageBox::Discard));
  QVERIFY(window.NewAlbum());
  QCOMPARE(history.count(), 0);
}

// The stage movies go to a folder of the user's own (mode 0700, outside the
// program's folder, removed with the window), never into the program's
// folder, which an installation leaves read-only.
void StudioTest::installedUseWritesOnlyToTheUsersFolders() {
  const QString app = dir_.filePath("installed");
  QDir().mkpath(app);
  std::filesystem::copy(kProgramFolder + "/Theme", (app + "/Theme").toStdString(),
                        std::filesystem::copy_options::recursive);
  std::filesystem::copy(kProgramFolder + "/YEL.dll", (app + "/YEL.dll").toStdString());
  std::filesystem::remove_all((app + "/Theme/Temp").toStdString());
  QString temp;
  {
    TUnattendedBoxes boxes;
    TfrmMain window(app.toStdString());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    temp = QString::fromStdString(window.Album().TempFolder);
    QVERIFY2(!temp.startsWith(app), qPrintable(temp));
    // Read, write and enter for the owner; nothing for the group or others.
    QCOMPARE(int(QFileInfo(temp).permissions() & 0x7777), 0x7700);
    window.SetActivePage(TFlashAlbum::ThemePage);
    QVERIFY(window.ThemePage()->Stage().WaitForMovie(60000));
    QVERIFY(QFileInfo(temp + "/~Template.swf").isFile());
    QVERIFY2(boxes.Errors().isEmpty(), qPrintable(boxes.Errors().join('\n')));
  }
  QVERIFY(!QFileInfo::exists(temp));
  QVERIFY(!QFileInfo::exists(app + "/Theme/Temp"));
}

// Nobody answers in screenshot mode: a box is written out and closed at
// once, and an error among them is kept for the exit status.
void StudioTest::unattendedBoxesAreWrittenAndClosed() {
  TfrmMain window(kProgramFolder);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  const QString bad = dir_.filePath("unattended.yel");
  QFile file(bad);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("<Document><Album><Width>wide</Width></Album></Document>");
  file.close();
  TUnattendedBoxes boxes;
  QVERIFY(!window.OpenAlbum(bad));
  QCOMPARE(boxes.Errors().size(), 1);
  QVERIFY2(boxes.Errors()[0].contains("unattended.yel") && boxes.Errors()[0].contains("wide"),
           qPrintable(boxes.Errors()[0]));
  // A question is closed as Cancel.
  window.Album().AddSlide(seven_files_[0].toStdString());
  QVERIFY(!window.NewAlbum());
  QCOMPARE(window.Album().SlideViews.Count(), std::size_t(1));
  QCOMPARE(boxes.Errors().size(), 2);
}

// A named pipe among the photos would hold a decoding thread in open() for
// ever, and a huge file is not read: both fail at once.
void StudioTest::thumbnailsRefuseWhatIsNotARegularFile() {
  const QString pipe = dir_.filePath("pipe.jpg");
  QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
  const QString huge = dir_.filePath("huge.jpg");
  {
    QFile file(huge);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(qint64(700) << 20));  // sparse
  }
  TThumbnails thumbnails;
  for (const QString& file : {pipe, huge, seven_files_[0]}) thumbnails.Get(file);
  const bool idle = thumbnails.WaitIdle(10000);
  // A reader still waiting in open() is let go before the check fails.
  const int writer = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
  if (writer >= 0) ::close(writer);
  QVERIFY(idle);
  bool failed = false;
  QVERIFY(thumbnails.Get(pipe, &failed).isNull() && failed);
  QVERIFY(thumbnails.Get(huge, &failed).isNull() && failed);
  QVERIFY(!thumbnails.Get(seven_files_[0], &failed).isNull() && !failed);
  QFile::remove(huge);
}

void StudioTest::versionCaptionAndCommandLine() {
  const std::pair<const char*, const char*> versions[] = {
      {"1.2.3.4", "Ver: 1.2.3"}, {"0.1.0.0", "Ver: 0.1.0"}, {"7", "Ver: "}, {"", "Ver: "}};
  for (const auto& [version, caption] : versions) QCOMPARE(VersionCaption(version), QString(caption));

  // The splash window shows the same caption; a click closes it early.
  TSplashWindow splash;
  QCOMPARE(splash.size(), QSize(400, 300));
  QCOMPARE(splash.findChild<QLabel*>("VersionLabel")->text(), VersionCaption(FileVersion()));
  TDialogAnswers answers;
  answers.Then([](QWidget* modal) { QTest::mouseClick(modal, Qt::LeftButton, {}, QPoint(10, 10)); });
  QCOMPARE(splash.exec(), int(QDialog::Accepted));
  QVERIFY(answers.AllAnswered());

  struct Case {
    std::vector<const char*> args;
    bool ok;
    int page;
    QSize size;
  } cases[] = {
      {{"a.yel"}, true, 0, {1280, 800}},
      {{"a.yel", "--screenshot", "o.png", "--page", "Publish", "--size", "1920x1080"}, true, 4, {1920, 1080}},
      {{"--screenshot", "o.png", "--page", "Theme"}, true, 2, {1280, 800}},
      {{"a.yel", "--page", "Theme"}, false, 0, {}},                    // --page without --screenshot
      {{"--screenshot", "o.png", "--page", "photo"}, false, 0, {}},     // names as written
      {{"--screenshot", "o.png", "--size", "100x100"}, false, 0, {}},  // too small
      {{"--screenshot", "o.png", "--size", "wide"}, false, 0, {}},
      {{"--screenshot"}, false, 0, {}},
      {{"a.yel", "b.yel"}, false, 0, {}},
      {{"--bogus"}, false, 0, {}},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"yel-studio"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    TStudioOptions options;
    std::string problem;
    const bool ok = ParseStudioOptions(int(argv.size()), argv.data(), options, problem);
    QCOMPARE(ok, c.ok);
    QCOMPARE(problem.empty(), c.ok);
    if (ok) {
      QCOMPARE(options.Page, c.page);
      QCOMPARE(options.Size, c.size);
    }
  }
}

// A screenshot named by a symbolic link replaces the link: the file it
// leads to keeps its bytes.
void StudioTest::screenshotReplacesALinkNeverItsTarget() {
  QTemporaryDir dir;
  const QString victim = dir.filePath("victim.txt");
  {
    QFile file(victim);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
  }
  const QString link = dir.filePath("shot.png");
  QVERIFY(QFile::link(victim, link));
  QImage picture(40, 30, QImage::Format_RGB32);
  picture.fill(Qt::red);
  std::string problem;
  QVERIFY2(WriteScreenshot(picture, link, problem), problem.c_str());
  QFile kept(victim);
  QVERIFY(kept.open(QIODevice::ReadOnly));
  QCOMPARE(kept.readAll(), QByteArray("not a picture"));
  QVERIFY(!QFileInfo(link).isSymLink());
  QCOMPARE(QImage(link).size(), QSize(40, 30));
}

void StudioTest::closingDeletesTheStageFiles() {
  // The stage files are written to the user's own folder, which goes with
  // the window; files in a program folder's "Theme/Temp" (an older
  // version's) are not the editor's to touch.
  QTemporaryDir app;
  QDir().mkpath(app.filePath("Theme/Temp"));
  const QStringList stage = {"~LoadingBar.swf", "~Template.swf", "Background.swf", "PhotoFrame.swf"};
  for (const QString& name : stage) {
    QFile file(app.filePath("Theme/Temp/" + name));
    QVERIFY(file.open(QIODevice::WriteOnly));
  }
  QString temp;
  {
    TfrmMain window(app.path().toStdString());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.ThemePage()->TemplateTileCount(), std::size_t(0));  // no themes here: nothing breaks
    temp = QString::fromStdString(window.Album().TempFolder);
    for (const QString& name : stage) {
      QFile file(temp + name);
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
  }
  QVERIFY(!QFileInfo::exists(temp));
  for (const QString& name : stage) QVERIFY2(QFileInfo::exists(app.filePath("Theme/Temp/" + name)), qPrintable(name));
}

void StudioTest::screenshotsOfEveryPage() {
  const QString out = QStringLiteral(YEL_BINARY_DIR "/test-output/studio");
  QDir().mkpath(out);
  const char* const names[] = {"Photo", "Effect", "Theme", "Setting", "Publish"};
  for (const QSize size : {QSize(1280, 800), QSize(1920, 1080)}) {
    TfrmMain window(kProgramFolder);
    window.PhotoPage()->SetRememberFolder(false);
    QVERIFY(window.OpenAlbum(YEL_BINARY_DIR "/demo/demo.yel"));
    window.PhotoPage()->ShowFolder(
        QFileInfo(QString::fromStdString(window.Album().SlideViews[0].ImageFile)).absolutePath());
    window.Album().SelectSlide(window.Album().SlideViews[1]);
    for (int page = 0; page < 5; ++page) {
      window.SetActivePage(page);
      const QImage image = window.Screenshot(size);
      QCOMPARE(image.size(), size);
      const QString file = QStringLiteral("%1/%2-%3x%4.png").arg(out, names[page]).arg(size.width()).arg(size.height());
      QVERIFY(image.save(file));
      // The band is dark, the page's button is the accent colour, nothing
      // of the band is cut off at this width (the close button shows).
      QVERIFY(image.pixelColor(size.width() / 2, 2).lightness() < 80);
      QAbstractButton* button = window.PageButton(page);
      const QPoint centre = button->mapTo(&window, QPoint(4, button->height() / 2));
      QCOMPARE(image.pixelColor(centre), QColor(0x25, 0x63, 0xEB));
      QAbstractButton* close = window.findChild<QAbstractButton*>("CloseButton");
      QVERIFY(close->isVisible());
      QVERIFY(close->mapTo(&window, QPoint(close->width(), 0)).x() <= size.width());
      if (page == 1 || page == 4) {
        // The page's player shows its movie in the picture, not an empty area.
        const QWidget* pageWidget = page == 1 ? static_cast<QWidget*>(window.EffectPage()) : window.PublishPage();
        const TFlashPlayer* player = pageWidget->findChild<TFlashPlayer*>();
        QVERIFY(player);
        const QPoint middle = player->mapTo(&window, QPoint(player->width() / 2, player->height() / 2));
        QVERIFY2(image.pixelColor(middle) != QColor(Qt::white), names[page]);
      }
      if (page <= 1) {
        // The slide strip shows the demo's slides with their pictures.
        QCOMPARE(window.SlideStrip()->TileCount(), std::size_t(5));
        QVERIFY(window.SlideStrip()->Tile(1)->IsSelected());
      }
    }
  }
}

int main(int argc, char** argv) {
  SetUpFlashPlayer();
  QApplication application(argc, argv);
  StudioTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "studio_test.moc"
