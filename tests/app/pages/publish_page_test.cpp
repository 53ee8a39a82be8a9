// The Publish page on real widgets: the buttons follow the slides; every
// output writes its files through the real dialogs (answered by the test);
// a cancelled dialog writes nothing and keeps the remembered answers; the
// progress window keeps repainting while a 100-photo album is built on the
// worker thread, and its Cancel leaves no file; the slides' form (lossless or
// JPEG) reaches the movie and is remembered.
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPointer>
#include <QPushButton>
#include <QComboBox>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "app/pages/convert_window.h"
#include "app/pages/publish_dialogs.h"
#include "app/pages/publish_page.h"
#include "app/player/movie_bytes.h"
#include "swf/format/swf_stream.h"
#include "swf/format/tag_codes.h"
#include "tests/app/pages/page_test_support.h"
#include "tests/testing/temp_dir.h"

using namespace yel;
using namespace yel::testing;
using yel::app::TfrmPublish;
namespace fs = std::filesystem;

namespace {

// Answers the next save dialog with file, typed as a user would (selectFile
// leaves a focused name box alone), again until the dialog has closed.
void AnswerSaveDialog(const std::string& file, const std::function<void(QFileDialog*)>& also = {}) {
  auto* timer = new QTimer(qApp);  // freed with the application if no dialog comes
  auto answering = std::make_shared<QPointer<QFileDialog>>();
  auto taken = std::make_shared<bool>(false);
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(timer, &QTimer::timeout, [=] {
    // One dialog only: the first one found that no other answer has taken.
    if (!*taken) {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog && dialog->isVisible() && !dialog->property("answered").toBool()) {
        dialog->setProperty("answered", true);
        *answering = dialog;
        *taken = true;
      }
    }
    QFileDialog* dialog = answering->data();
    if (*taken && dialog && dialog->isVisible()) {
      if (also) also(dialog);
      if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        name->setText(QString::fromStdString(file));
      else
        dialog->selectFile(QString::fromStdString(file));
      static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept checks the name
    } else if (*taken || clock->elapsed() > 60000) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start(100);
}

void Reject(QDialog* dialog) { dialog->reject(); }

std::vector<std::string> FilesUnder(const std::string& folder) {
  std::vector<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), folder).string());
  std::sort(files.begin(), files.end());
  return files;
}

// The one-minute load average over the number of cores.
double LoadPerCore() {
  double load = 0;
  if (FILE* file = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(file, "%lf", &load) != 1) load = 0;
    std::fclose(file);
  }
  return load / std::max(1u, std::thread::hardware_concurrency());
}

// Records the times the watched widget paints.
class TPaintClock : public QObject {
 public:
  std::vector<qint64> Times;
  QElapsedTimer Clock;
  TPaintClock() { Clock.start(); }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) Times.push_back(Clock.elapsed());
    return false;
  }
};

}  // namespace

class PublishPageTest : public QObject {
  Q_OBJECT

 private:
  TempDir dir_;
  std::unique_ptr<TFlashAlbum> album_;
  std::unique_ptr<TfrmPublish> page_;

  void NewPage(int slides, int w = 96, int h = 72) {
    page_.reset();
    album_ = NewAlbum();
    const QColor colours[] = {QColor(200, 40, 40), QColor(40, 160, 60), QColor(40, 70, 200)};
    for (int i = 0; i < slides; ++i) {
      const std::string photo = dir_ / ("photo" + std::to_string(i) + "-" + std::to_string(w) + ".bmp");
      if (!fs::exists(photo)) WritePhoto(photo, w, h, colours[i % 3]);
      TSlideView& slide = album_->AddSlide(photo);
      slide.Transition.Speed = 0.5f;
      slide.Transition.Duration = 0.5f;
    }
    page_ = std::make_unique<TfrmPublish>(*album_);
    page_->resize(1000, 640);
    page_->show();
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
  }

  QPushButton& Button(TfrmPublish::Button button) { return page_->ButtonOf(button); }

 private slots:
  void ButtonsNeedSlides() {
    NewPage(0);
    for (int b = 0; b < 5; ++b) QVERIFY(!Button(TfrmPublish::Button(b)).isEnabled());
    album_->AddSlide(WritePhoto(dir_ / "one.bmp", 32, 24, Qt::red));
    page_->RefreshButtons();
    for (int b = 0; b < 5; ++b) QVERIFY(Button(TfrmPublish::Button(b)).isEnabled());
  }

  void EveryTargetWritesItsFiles() {
    NewPage(3);
    const std::string out = dir_ / "out";
    fs::create_directories(out);

    // Showing the page builds the preview into the player.
    page_->PageShown();
    QVERIFY(page_->Player().WaitForMovie(60000));
    QTest::qWait(1500);  // past the loading frame
    page_->Player().WaitForDrawing();
    SaveShot(*page_, QStringLiteral("publish-page"));

    AnswerSaveDialog(out + "/album.swf");
    QTest::mouseClick(&Button(TfrmPublish::SwfButton), Qt::LeftButton);
    const std::vector<std::uint8_t> swf = ReadFileBytes(out + "/album.swf");
    QCOMPARE(app::ReadMovieInfo(swf, "album.swf").Width, 720);

    // The HTML page that carries the player; then, with the dialog's check
    // box, a plain page, which the dialog then offers again. The CD and
    // e-mail outputs below carry the page too.
    fs::create_directories(dir_ / "player");
    WriteFileAtomically(dir_ / "player/ruffle.js", std::string("// player"));
    WriteFileAtomically(dir_ / "player/core.wasm", std::string("wasm"));
    qputenv("YEL_RUFFLE_DIR", QByteArray::fromStdString(dir_ / "player"));
    bool offered = true;
    auto plainBox = [&](bool check) {
      return [&offered, check](QFileDialog* dialog) {
        auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("htmlPlain"));
        offered = box && box->isVisible() && !box->isChecked();
        if (box) box->setChecked(check);
        if (!check) SaveShot(*dialog, QStringLiteral("publish-html-dialog"));
      };
    };
    AnswerSaveDialog(out + "/show.html", plainBox(false));
    QTest::mouseClick(&Button(TfrmPublish::HtmlButton), Qt::LeftButton);
    QVERIFY(offered);
    QVERIFY(ReadFileText(out + "/show.html").find("src=\"show.swf\"") != std::string::npos);
    QVERIFY(ReadFileText(out + "/show.html").find("// player") != std::string::npos);
    QVERIFY(!fs::exists(out + "/ruffle"));
    app::ReadMovieInfo(ReadFileBytes(out + "/show.swf"), "show.swf");
    AnswerSaveDialog(out + "/plain/show.html", plainBox(true));
    fs::create_directories(out + "/plain");
    QTest::mouseClick(&Button(TfrmPublish::HtmlButton), Qt::LeftButton);
    QCOMPARE(FilesUnder(out + "/plain"), (std::vector<std::string>{"show.html", "show.swf"}));
    QVERIFY(album_->Publish.HtmlPlain);
    AnswerModal<QFileDialog>([&](QFileDialog* dialog) {
      auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("htmlPlain"));
      offered = box && box->isChecked();
      dialog->reject();
    });
    QTest::mouseClick(&Button(TfrmPublish::HtmlButton), Qt::LeftButton);
    QVERIFY2(offered, "the check box was not remembered");

    AnswerModal<app::TfrmExe>([&](app::TfrmExe* dialog) {
      SaveShot(*dialog, QStringLiteral("create-executable-dialog"));
      dialog->FileName().setText(QStringLiteral("trip"));
      dialog->Folder().setText(QString::fromStdString(out + "/cd"));
      dialog->CreateCdFiles().setChecked(true);
      QTest::mouseClick(&dialog->OkButton(), Qt::LeftButton);
    });
    fs::create_directories(out + "/cd");
    QTest::mouseClick(&Button(TfrmPublish::ExeButton), Qt::LeftButton);
    QCOMPARE(FilesUnder(out + "/cd"),
             (std::vector<std::string>{"Shell.ico", "autorun.inf", "trip.exe", "trip.html"}));
    QVERIFY(app::HasAppendedMovie(out + "/cd/trip.exe"));
    QCOMPARE(ReadFileText(out + "/cd/autorun.inf"), std::string("[AutoRun]\r\nOpen=trip.exe\r\nIcon=shell.ico\r\n"));
    QCOMPARE(album_->Publish.Name, std::string("trip"));
    QCOMPARE(album_->Publish.Folder, out + "/cd/");
    QVERIFY(album_->Publish.Exe.CreateCDFiles);

    // The mail program is a script that records its arguments.
    const std::string mailLog = dir_ / "mail.log";
    const std::string mailer = dir_ / "mailer.sh";
    WriteFileAtomically(mailer, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + mailLog + "'\n");
    fs::permissions(mailer, fs::perms::owner_all);
    qputenv("YEL_MAIL_PROGRAM", QByteArray::fromStdString(mailer));
    AnswerModal<app::TfrmEMail>([&](app::TfrmEMail* dialog) {
      QCOMPARE(dialog->FileName().text(), QStringLiteral("trip"));  // remembered from the executable
      SaveShot(*dialog, QStringLiteral("send-via-email-dialog"));
      dialog->FileName().setText(QStringLiteral("my Album"));
      dialog->Folder().setText(QString::fromStdString(out));
      QTest::mouseClick(&dialog->OkButton(), Qt::LeftButton);
    });
    QTest::mouseClick(&Button(TfrmPublish::EMailButton), Qt::LeftButton);
    QCOMPARE(FilesUnder(out + "/my Album"),
             (std::vector<std::string>{"my Album.html", "my Album.swf", "my Album.zip"}));
    QTRY_VERIFY_WITH_TIMEOUT(fs::exists(mailLog), 10000);
    const std::string args = ReadFileText(mailLog);
    QVERIFY(args.find("--subject\nmy Album\n") != std::string::npos);
    QVERIFY(args.find("my Album/my Album.zip") != std::string::npos);
    QCOMPARE(album_->Publish.Folder, out + "/my Album/");
    qunsetenv("YEL_MAIL_PROGRAM");
    qunsetenv("YEL_RUFFLE_DIR");

    // The player shows the last movie built.
    QVERIFY(page_->Player().WaitForMovie(60000));
  }

  void CancelledDialogsWriteNothing() {
    NewPage(1);
    const std::string out = dir_ / "cancelled";
    fs::create_directories(out);
    album_->Publish.Folder = out + "/";
    const TPublish before = album_->Publish;
    AnswerModal<QFileDialog>(Reject);
    QTest::mouseClick(&Button(TfrmPublish::SwfButton), Qt::LeftButton);
    AnswerModal<QFileDialog>(Reject);
    QTest::mouseClick(&Button(TfrmPublish::HtmlButton), Qt::LeftButton);
    AnswerModal<app::TfrmExe>([](app::TfrmExe* d) {
      d->FileName().setText(QStringLiteral("changed"));
      d->reject();
    });
    QTest::mouseClick(&Button(TfrmPublish::ExeButton), Qt::LeftButton);
    AnswerModal<app::TfrmEMail>(Reject);
    QTest::mouseClick(&Button(TfrmPublish::EMailButton), Qt::LeftButton);
    QVERIFY(FilesUnder(out).empty());
    QCOMPARE(album_->Publish.Name, before.Name);
    QCOMPARE(album_->Publish.Folder, before.Folder);
  }

  void ProgressWindowRepaintsAndCancels() {
    NewPage(100, 320, 240);
    app::TfrmConvert& window = page_->ConvertWindow();
    QWidget* stripe = window.findChild<QWidget*>(QStringLiteral("activity"));
    QVERIFY(stripe);
    TPaintClock paints;
    stripe->installEventFilter(&paints);
    const std::string out = dir_ / "big";
    fs::create_directories(out);

    // A whole build: the window paints at least every 100 ms throughout.
    AnswerSaveDialog(out + "/hundred.swf");
    QTest::mouseClick(&Button(TfrmPublish::SwfButton), Qt::LeftButton);
    QVERIFY(fs::exists(out + "/hundred.swf"));
    QVERIFY2(paints.Times.size() > 20, "the progress window hardly painted");
    qint64 longest = 0;
    for (std::size_t i = 1; i < paints.Times.size(); ++i) longest = std::max(longest, paints.Times[i] - paints.Times[i - 1]);
    qInfo("%zu paints over %lld ms, longest gap %lld ms", paints.Times.size(),
          static_cast<long long>(paints.Times.back() - paints.Times.front()), static_cast<long long>(longest));
    // On a machine loaded far beyond its cores (other builds, fuzzers) the
    // scheduler alone delays the window by more than 100 ms now and then;
    // there the bound is 500 ms, which still fails a window that waits for
    // the build (a 100-photo build takes seconds).
    const double loadPerCore = LoadPerCore();
    const qint64 bound = loadPerCore > 2 ? 500 : 100;
    QVERIFY2(longest <= bound, qPrintable(QStringLiteral("longest gap between paints: %1 ms (load per core %2)")
                                               .arg(longest)
                                               .arg(loadPerCore)));

    // "No" to the question goes on; "Yes" stops the build and writes nothing.
    int questions = 0;
    bool screenshot = false;
    QTimer canceller;
    connect(&canceller, &QTimer::timeout, [&] {
      if (!screenshot && window.isVisible() && window.Message().startsWith(QStringLiteral("Processing [2/4]"))) {
        SaveShot(window, QStringLiteral("progress-window"));
        screenshot = true;
      }
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        QCOMPARE(box->windowTitle(), QStringLiteral("Confirmation"));
        QCOMPARE(box->text(), QStringLiteral("Quit the publish now?"));
        box->button(++questions == 1 ? QMessageBox::No : QMessageBox::Yes)->click();
      } else if (window.isVisible() && window.Percent() >= 20 + 10 * questions && questions < 2 &&
                 window.CancelButton().isEnabled()) {
        QMetaObject::invokeMethod(&window.CancelButton(), &QPushButton::click, Qt::QueuedConnection);
      }
    });
    canceller.start(30);
    AnswerSaveDialog(out + "/cancelled.swf");
    QTest::mouseClick(&Button(TfrmPublish::SwfButton), Qt::LeftButton);
    canceller.stop();
    QCOMPARE(questions, 2);
    QVERIFY(!window.isVisible());
    QCOMPARE(FilesUnder(out), std::vector<std::string>{"hundred.swf"});
  }

  // The slides' form goes into the album's publish settings and the movie,
  // and a new page starts with the remembered choice.
  void SlideFormatIsRememberedAndUsed() {
    QStandardPaths::setTestModeEnabled(true);
    QSettings().clear();
    NewPage(2, 320, 240);
    QCOMPARE(page_->SlideFormat().currentIndex(), 0);
    QVERIFY(!page_->JPEGQuality().isEnabled());
    QCOMPARE(page_->JPEGQuality().value(), 85);
    page_->SlideFormat().setCurrentIndex(1);
    page_->JPEGQuality().setValue(60);
    QVERIFY(page_->JPEGQuality().isEnabled());
    QVERIFY(album_->Publish.JPEGSlides);
    QCOMPARE(album_->Publish.JPEGQuality, 60);
    SaveShot(*page_, QStringLiteral("publish-page-jpeg-slides"));

    const std::string out = dir_ / "jpeg";
    fs::create_directories(out);
    AnswerSaveDialog(out + "/small.swf");
    QTest::mouseClick(&Button(TfrmPublish::SwfButton), Qt::LeftButton);
    swf::TSWFStreamReader movie(out + "/small.swf");
    movie.ParseTags(false);
    int jpegs = 0, lossless = 0;
    for (std::size_t i = 0; i < movie.TagCount(); ++i) {
      jpegs += movie.TagInfo(i).TagID == swf::tag::DefineBitsJPEG2;
      lossless += movie.TagInfo(i).TagID == swf::tag::DefineBitsLossless || movie.TagInfo(i).TagID == swf::tag::DefineBitsLossless2;
    }
    QCOMPARE(jpegs, 2);
    QCOMPARE(lossless, 0);

    NewPage(1);
    QCOMPARE(page_->SlideFormat().currentIndex(), 1);
    QCOMPARE(page_->JPEGQuality().value(), 60);
    QVERIFY(album_->Publish.JPEGSlides);
    QCOMPARE(album_->Publish.JPEGQuality, 60);
    QSettings().clear();
  }
};

int main(int argc, char** argv) {
  return SetUpGuiTest(argc, argv, [&] {
    PublishPageTest test;
    return QTest::qExec(&test, argc, argv);
  });
}

#include "publish_page_test.moc"
