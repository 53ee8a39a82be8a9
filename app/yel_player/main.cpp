// yel-player: plays the movie appended to its own file (a published album
// executable: player, movie, marker 56 34 12 FA, the movie's length), or the
// SWF file given as its argument. With --snapshot it renders one frame of
// the movie into a PNG file without showing a window (thumbnails, scripts).
#include <unistd.h>

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/player/flash_player.h"
#include "app/player/movie_bytes.h"
#include "app/yel_player/player_window.h"
#include "app/yel_player/snapshot_limits.h"
#include "base/files.h"

namespace {

constexpr char kUsage[] =
    "usage: yel-player [MOVIE.swf] [--snapshot OUT.png [--frame N | --at-ms T] [--size WxH | --size N]\n"
    "                  [--time-limit S] [--memory-limit MB]]\n"
    "\n"
    "Plays the movie appended to this program (a published album) or MOVIE.swf.\n"
    "  --snapshot OUT.png  render one frame into OUT.png without showing a window\n"
    "  --frame N           the frame to render (1-based; default 1)\n"
    "  --at-ms T           render what shows T milliseconds after frame 1 runs\n"
    "  --size WxH          the picture's size (default: the movie's size);\n"
    "  --size N            the movie's size scaled so that its longer side is N\n"
    "  --time-limit S      stop a snapshot that takes longer than S seconds (default 120)\n"
    "  --memory-limit MB   stop a snapshot whose processes take more than MB megabytes\n"
    "                      (default 4096)\n"
    "Keys: Escape leaves full screen.\n";

struct TOptions {
  QString Movie;  // empty: the movie appended to this program
  QString Snapshot;
  int Frame = 0;
  int AtMs = -1;
  int Width = 0, Height = 0, Longest = 0;
  yel::app::TSnapshotLimits Limits;
  bool LimitsGiven = false;
};

[[noreturn]] void UsageError(const std::string& message) {
  std::fprintf(stderr, "yel-player: %s\n%s", message.c_str(), kUsage);
  std::exit(2);
}

int PositiveNumber(const char* text, const char* option) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > 100000000)
    UsageError(std::string(option) + " needs a positive whole number, not \"" + text + "\"");
  return static_cast<int>(value);
}

TOptions ParseArguments(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) UsageError(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else if (arg == "--snapshot") {
      options.Snapshot = QString::fromLocal8Bit(value());
    } else if (arg == "--frame") {
      options.Frame = PositiveNumber(value(), "--frame");
    } else if (arg == "--at-ms") {
      const char* text = value();
      options.AtMs = std::string(text) == "0" ? 0 : PositiveNumber(text, "--at-ms");
    } else if (arg == "--time-limit") {
      options.Limits.Seconds = PositiveNumber(value(), "--time-limit");
      options.LimitsGiven = true;
    } else if (arg == "--memory-limit") {
      options.Limits.Bytes = std::uint64_t(PositiveNumber(value(), "--memory-limit")) << 20;
      options.LimitsGiven = true;
    } else if (arg == "--size") {
      const std::string size = value();
      const std::size_t x = size.find('x');
      if (x == std::string::npos) {
        options.Longest = PositiveNumber(size.c_str(), "--size");
      } else {
        options.Width = PositiveNumber(size.substr(0, x).c_str(), "--size");
        options.Height = PositiveNumber(size.substr(x + 1).c_str(), "--size");
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      UsageError("unknown option " + arg);
    } else if (options.Movie.isEmpty()) {
      options.Movie = QString::fromLocal8Bit(argv[i]);
    } else {
      UsageError("give at most one movie");
    }
  }
  if (options.Snapshot.isEmpty() &&
      (options.Frame || options.AtMs >= 0 || options.Width || options.Longest || options.LimitsGiven))
    UsageError("--frame, --at-ms, --size, --time-limit and --memory-limit go with --snapshot");
  if (options.Frame && options.AtMs >= 0) UsageError("give either --frame or --at-ms");
  if (!options.Snapshot.isEmpty() && options.AtMs < 0 && !options.Frame) options.Frame = 1;
  return options;
}

// Shows the error in a box when a window could be shown, and on stderr.
int Failure(const QString& message, bool gui) {
  std::fprintf(stderr, "yel-player: %s\n", message.toLocal8Bit().constData());
  if (gui) QMessageBox::critical(nullptr, QStringLiteral("Yel Player"), message);
  return 1;
}

int Snapshot(yel::app::TPlayerWindow& window, const TOptions& options, const std::vector<std::uint8_t>& movie,
             const yel::app::TMovieInfo& info, const QString& name) {
  yel::app::TFlashPlayer& player = window.Player();
  QSize size(info.Width, info.Height);
  if (options.Width) size = QSize(options.Width, options.Height);
  if (options.Longest) size = size.scaled(options.Longest, options.Longest, Qt::KeepAspectRatio);
  window.setFixedSize(size.expandedTo(QSize(1, 1)));
  window.setAttribute(Qt::WA_DontShowOnScreen);
  window.show();

  // The movie tells when it gets to the frame (and stops there), or, for a
  // time, when its first frame runs: the time counts from then.
  std::vector<std::uint8_t> bytes;
  try {
    bytes = yel::app::MarkFrame(movie, options.Frame ? options.Frame : 1, options.Frame != 0, name.toStdString());
  } catch (const std::exception& error) {
    return Failure(QString::fromStdString(error.what()), false);
  }
  bool reached = false;
  QString failure;
  QObject::connect(&player, &yel::app::TFlashPlayer::FSCommand, [&](const QString& command, const QString&) {
    if (command == QLatin1String(yel::app::kFrameReachedCommand)) reached = true;
  });
  QObject::connect(&player, &yel::app::TFlashPlayer::LoadFailed, [&](const QString& message) { failure = message; });
  player.LoadMovie(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())),
                   name);
  if (!player.WaitForMovie(60000))
    return Failure(failure.isEmpty() ? name + QStringLiteral(": the movie did not start within 60 s") : failure,
                   false);

  // Waits on the event loop until done() or the time.
  auto wait = [](const std::function<bool()>& done, qint64 ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
  };
  // The frame comes after its time at the frame rate; slow machines (a
  // software GL driver draws every frame) get generous room.
  const int frame = options.Frame ? options.Frame : 1;
  const double rate = info.FrameRate > 0 ? info.FrameRate : 12;
  const qint64 limit = 120000 + static_cast<qint64>(10000.0 * frame / rate);
  if (!wait([&] { return reached; }, limit))
    return Failure(name + QStringLiteral(": frame %1 was not reached within %2 s (the movie may stop earlier)")
                              .arg(frame)
                              .arg(limit / 1000),
                   false);
  if (!options.Frame) wait([] { return false; }, options.AtMs);
  // The frame is drawn a moment after it runs, later on a busy machine.
  player.WaitForDrawing(60000);
  wait([] { return false; }, 100);
  QImage picture = window.Player().CurrentPicture();
  // Written under a temporary name and renamed into place: a symbolic link
  // named as the picture is replaced, never written through.
  QByteArray png;
  QBuffer buffer(&png);
  if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG"))
    return Failure(options.Snapshot + QStringLiteral(": cannot make the picture"), false);
  try {
    yel::WriteFileAtomically(options.Snapshot.toLocal8Bit().toStdString(),
                             std::string_view(png.constData(), std::size_t(png.size())));
  } catch (const std::exception& error) {
    return Failure(QString::fromStdString(error.what()), false);
  }
  return 0;
}

}  // namespace

// A snapshot shows no window. With a display the window is made but never
// put on screen, and the movie is drawn with WebGL as on the desktop.
// Without one, yel-player runs itself under xvfb-run when that is
// installed, for the same drawing; otherwise it draws on Qt's offscreen
// platform, where Ruffle falls back to its canvas renderer, which draws
// masks made of several figures (transitions, template windows) wrongly.
void ChooseSnapshotDisplay(char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") || std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY")) return;
  if (!std::getenv("YEL_PLAYER_NO_XVFB")) {
    setenv("YEL_PLAYER_NO_XVFB", "1", 1);  // once
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    self[length > 0 ? length : 0] = '\0';
    std::vector<char*> args = {const_cast<char*>("xvfb-run"), const_cast<char*>("-a"), const_cast<char*>("-s"),
                               const_cast<char*>("-screen 0 1920x1200x24"), self};
    for (char** arg = argv + 1; *arg; ++arg) args.push_back(*arg);
    args.push_back(nullptr);
    if (length > 0) execvp("xvfb-run", args.data());  // returns only when it cannot run
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

int main(int argc, char** argv) {
  const TOptions options = ParseArguments(argc, argv);
  const bool snapshot = !options.Snapshot.isEmpty();
  if (snapshot) {
    yel::app::SuperviseSnapshot(
        options.Limits, options.Movie.isEmpty() ? std::string(argv[0]) : options.Movie.toLocal8Bit().toStdString());
    ChooseSnapshotDisplay(argv);
  }
  yel::app::SetUpFlashPlayer();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("yel-player"));
  const bool gui = !snapshot && QGuiApplication::platformName() != QLatin1String("offscreen");

  // The movie: the argument, else the one appended to this program.
  const QString source = options.Movie.isEmpty() ? QCoreApplication::applicationFilePath() : options.Movie;
  std::vector<std::uint8_t> movie;
  yel::app::TMovieInfo info;
  try {
    if (options.Movie.isEmpty()) {
      if (!yel::app::HasAppendedMovie(source.toStdString()))
        return Failure(source + QStringLiteral(": no movie is appended to this program; give a movie to play:\n") +
                           QString::fromLatin1(kUsage),
                       gui);
      movie = yel::app::ReadAppendedMovie(source.toStdString());
    } else {
      movie = yel::ReadFileBytes(source.toStdString());
    }
    info = yel::app::ReadMovieInfo(movie, source.toStdString());
  } catch (const std::exception& error) {
    return Failure(QString::fromStdString(error.what()), gui);
  }

  yel::app::TPlayerWindow window(QFileInfo(source).completeBaseName());
  if (snapshot) return Snapshot(window, options, movie, info, source);

  // The album's size, smaller when the screen is.
  QSize size(info.Width, info.Height);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QSize room = screen->availableSize() * 0.95;
    if (size.width() > room.width() || size.height() > room.height())
      size = size.scaled(room, Qt::KeepAspectRatio);
  }
  window.resize(size);
  QObject::connect(&window.Player(), &yel::app::TFlashPlayer::LoadFailed, &app, [&](const QString& message) {
    Failure(message, gui);
    QCoreApplication::exit(1);
  });
  window.Player().LoadMovie(
      QByteArray(reinterpret_cast<const char*>(movie.data()), static_cast<qsizetype>(movie.size())), source);
  window.show();
  return QApplication::exec();
}
