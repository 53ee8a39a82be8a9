// The player control: a WebEngine view on the player page, the URL scheme
// that serves the page, Ruffle and the movies, and the web channel bridge.
#include "app/player/flash_player.h"

#include <unistd.h>

#include <QBuffer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>
#include <QXmlStreamReader>
#include <QVBoxLayout>
#include <memory>
#include <vector>

#include "app/player/movie_bytes.h"

// The compiled-in page and Ruffle files of the static library (the macro
// must stand outside any namespace).
static void InitPlayerResources() {
  Q_INIT_RESOURCE(player_page);
  Q_INIT_RESOURCE(ruffle);
}

namespace yel::app {

namespace {

// yelplayer://player/<control id>/<file>: the page and its scripts,
// ruffle/<file> from the Ruffle resources, movie/<serial> the control's movie,
// file/<percent-encoded path> an SWF file on disk that the movie loads (the
// theme editor's stage loads its frame, shapes and pictures by path).
constexpr char kScheme[] = "yelplayer";

// The movies of the living controls, by control id.
QHash<int, QByteArray>& Movies() {
  static QHash<int, QByteArray> movies;
  return movies;
}

QString ContentType(const QString& file) {
  if (file.endsWith(QLatin1String(".html"))) return QStringLiteral("text/html");
  if (file.endsWith(QLatin1String(".js"))) return QStringLiteral("text/javascript");
  if (file.endsWith(QLatin1String(".wasm"))) return QStringLiteral("application/wasm");
  return QStringLiteral("application/octet-stream");
}

// Only regular files that are SWF movies (signature FWS or CWS) are served.
void ServeMovieFile(QWebEngineUrlRequestJob* job) {
  const QByteArray encoded = job->requestUrl().path(QUrl::FullyEncoded).toUtf8();
  const qsizetype at = encoded.indexOf("/file/");
  const QString path = at < 0 ? QString() : QUrl::fromPercentEncoding(encoded.mid(at + 6));
  auto* device = new QFile(path, job);
  char signature[3] = {};
  if (path.isEmpty() || !QFileInfo(path).isFile() || !device->open(QIODevice::ReadOnly) ||
      device->peek(signature, 3) != 3 || signature[1] != 'W' || signature[2] != 'S' ||
      (signature[0] != 'F' && signature[0] != 'C')) {
    job->fail(QWebEngineUrlRequestJob::UrlNotFound);
    return;
  }
  job->reply("application/x-shockwave-flash", device);
}

class TSchemeHandler : public QWebEngineUrlSchemeHandler {
 public:
  using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

  void requestStarted(QWebEngineUrlRequestJob* job) override {
    const QStringList parts = job->requestUrl().path().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    bool idOk = false;
    const int id = parts.isEmpty() ? 0 : parts[0].toInt(&idOk);
    if (!idOk || parts.size() < 2) {
      job->fail(QWebEngineUrlRequestJob::UrlNotFound);
      return;
    }
    const QString file = parts.mid(1).join(QLatin1Char('/'));
    if (parts[1] == QLatin1String("movie")) {
      // Only the movie the control shows now.
      if (parts.size() != 3 || !Movies().contains(id)) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
      }
      auto* buffer = new QBuffer(job);
      buffer->setData(Movies().value(id));
      job->reply("application/x-shockwave-flash", buffer);
      return;
    }
    if (parts[1] == QLatin1String("file")) {
      ServeMovieFile(job);
      return;
    }
    QString resource;
    if (file == QLatin1String("qwebchannel.js"))
      resource = QStringLiteral(":/qtwebchannel/qwebchannel.js");
    else if (parts[1] == QLatin1String("ruffle") && parts.size() == 3)
      resource = QStringLiteral(":/yel/ruffle/") + parts[2];
    else if (parts.size() == 2)
      resource = QStringLiteral(":/yel/player/") + parts[1];
    auto* device = new QFile(resource, job);
    if (resource.isEmpty() || !device->open(QIODevice::ReadOnly)) {
      job->fail(QWebEngineUrlRequestJob::UrlNotFound);
      return;
    }
    job->reply(ContentType(file).toUtf8(), device);
  }
};

void InstallSchemeHandler() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  InitPlayerResources();
  QWebEngineProfile* profile = QWebEngineProfile::defaultProfile();
  profile->installUrlSchemeHandler(kScheme, new TSchemeHandler(profile));
}

// Arguments of a call as a JavaScript array literal.
QString ScriptArguments(const QVariantList& args) {
  QStringList items;
  for (const QVariant& arg : args) {
    if (arg.typeId() == QMetaType::Double || arg.typeId() == QMetaType::Int)
      items << QString::number(arg.toDouble(), 'g', 17);
    else if (arg.typeId() == QMetaType::Bool)
      items << (arg.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
    else if (!arg.isValid() || arg.isNull())
      items << QStringLiteral("null");
    else {
      QString text = arg.toString();
      QString quoted = QStringLiteral("\"");
      for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
          quoted += QLatin1Char('\\') + QString(c);
        else if (c.unicode() < 0x20 || c.unicode() == 0x2028 || c.unicode() == 0x2029)
          quoted += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
          quoted += c;
      }
      items << quoted + QLatin1Char('"');
    }
  }
  return QLatin1Char('[') + items.join(QLatin1Char(',')) + QLatin1Char(']');
}

}  // namespace

void SetUpFlashPlayer() {
  if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  if (!flags.contains("--ignore-gpu-blocklist")) {
    flags += flags.isEmpty() ? "--ignore-gpu-blocklist" : " --ignore-gpu-blocklist";
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
  }
  QWebEngineUrlScheme scheme(kScheme);
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
  scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalAccessAllowed |
                  QWebEngineUrlScheme::CorsEnabled);
  QWebEngineUrlScheme::registerScheme(scheme);
}

// The page's end of the web channel; its slots are called by player.js.
class TPlayerBridge : public QObject {
  Q_OBJECT

 public:
  explicit TPlayerBridge(TFlashPlayer* player) : QObject(player), player_(player) {}

 public slots:
  void pageReady() { player_->PageReady(); }
  void movieLoaded(int serial) { player_->PageMovieLoaded(serial); }
  void loadFailed(int serial, const QString& message) { player_->PageLoadFailed(serial, message); }
  void fsCommand(const QString& command, const QString& args) { emit player_->FSCommand(command, args); }
  void trace(const QString& text) { emit player_->Trace(text); }
  void drawn(int serial) { player_->PageDrawn(serial); }

 private:
  TFlashPlayer* player_;
};

TFlashPlayer::TFlashPlayer(QWidget* parent) : QWidget(parent) {
  static int lastId = 0;
  id_ = ++lastId;
  InstallSchemeHandler();

  view_ = new QWebEngineView(this);
  view_->setContextMenuPolicy(Qt::NoContextMenu);
  QWebEngineSettings* settings = view_->settings();
  settings->setAttribute(QWebEngineSettings::ShowScrollBars, false);
  settings->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
  settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);

  bridge_ = new TPlayerBridge(this);
  channel_ = new QWebChannel(this);
  channel_->registerObject(QStringLiteral("bridge"), bridge_);
  view_->page()->setWebChannel(channel_);
  // A page that fails to load (it is compiled in, so this means the
  // program is broken) fails the movie waiting for it.
  connect(view_, &QWebEngineView::loadFinished, this, [this](bool ok) {
    if (!ok && !page_ready_) Fail(QStringLiteral("the player page could not be loaded"));
  });
  view_->setUrl(QUrl(QStringLiteral("%1://player/%2/player.html").arg(kScheme).arg(id_)));
}

TFlashPlayer::~TFlashPlayer() { Movies().remove(id_); }

void TFlashPlayer::RunScript(const QString& script) {
  if (page_ready_)
    view_->page()->runJavaScript(script);
  else
    pending_ << script;
}

void TFlashPlayer::PageReady() {
  page_ready_ = true;
  const QStringList scripts = std::exchange(pending_, {});
  for (const QString& script : scripts) view_->page()->runJavaScript(script);
}

void TFlashPlayer::SetMovie(const QString& movie) {
  if (movie == QLatin1String(" ")) {
    movie_ = movie;
    ++serial_;
    Movies().remove(id_);
    state_ = State::Empty;
    playing_ = false;
    RunScript(QStringLiteral("yelUnload()"));
    return;
  }
  QFile file(movie);
  if (!file.open(QIODevice::ReadOnly)) {
    movie_ = QStringLiteral(" ");
    ++serial_;
    Movies().remove(id_);
    RunScript(QStringLiteral("yelUnload()"));
    state_ = State::Loading;
    movie_name_ = movie;
    Fail(QStringLiteral("%1: cannot open the movie: %2").arg(movie, file.errorString()));
    return;
  }
  LoadMovie(file.readAll(), movie);
  movie_ = movie;
}

void TFlashPlayer::LoadMovie(const QByteArray& bytes, const QString& name) {
  movie_ = QStringLiteral(" ");
  movie_name_ = name;
  const int serial = ++serial_;
  state_ = State::Loading;
  playing_ = false;
  try {
    // Our own reader checks the movie first, so that a damaged one is
    // reported with a clear message instead of leaving Ruffle half-started.
    ReadMovieInfo(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), name.toStdString());
  } catch (const std::exception& error) {
    Movies().remove(id_);
    RunScript(QStringLiteral("yelUnload()"));
    // The caller gets the signal after this call returns, as for the page's
    // own failures.
    QTimer::singleShot(0, this, [this, serial, message = QString::fromStdString(error.what())] {
      if (serial == serial_) Fail(message);
    });
    return;
  }
  Movies().insert(id_, bytes);
  RunScript(QStringLiteral("yelLoad(%1)").arg(serial));
}

void TFlashPlayer::PageMovieLoaded(int serial) {
  if (serial != serial_ || state_ != State::Loading) return;
  state_ = State::Running;
  playing_ = true;
  loaded_clock_.start();
  emit MovieLoaded();
}

void TFlashPlayer::PageLoadFailed(int serial, const QString& message) {
  if (serial != serial_ || state_ != State::Loading) return;
  Movies().remove(id_);
  Fail(movie_name_ + QStringLiteral(": ") + message);
}

void TFlashPlayer::Fail(const QString& message) {
  if (state_ != State::Loading) return;
  state_ = State::Failed;
  playing_ = false;
  emit LoadFailed(message);
}

void TFlashPlayer::Play() {
  if (state_ != State::Running) return;
  playing_ = true;
  RunScript(QStringLiteral("yelPlay()"));
}

void TFlashPlayer::Stop() {
  if (state_ != State::Running) return;
  playing_ = false;
  RunScript(QStringLiteral("yelStop()"));
}

void TFlashPlayer::RecreateWindow() {
  view_->resize(size());
  view_->update();
  if (QWidget* surface = view_->focusProxy()) surface->update();
}

bool TFlashPlayer::WaitUntil(const std::function<bool()>& done, const QElapsedTimer& clock, int timeoutMs) {
  if (done()) return true;
  QPointer<TFlashPlayer> self(this);
  QEventLoop loop;
  QTimer tick;
  tick.setInterval(10);
  QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
    if (!self || done() || clock.elapsed() >= timeoutMs) loop.quit();
  });
  tick.start();
  loop.exec();
  return self && done();
}

bool TFlashPlayer::WaitForMovie(int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  // (WaitUntil is false also when the control was deleted meanwhile.)
  return WaitUntil([this] { return state_ != State::Loading; }, clock, timeoutMs) && state_ == State::Running;
}

std::optional<QVariant> TFlashPlayer::CallMovieFunction(const QString& name, const QVariantList& args, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  if (!WaitUntil([this] { return state_ != State::Loading && page_ready_; }, clock, timeoutMs) ||
      state_ != State::Running)
    return std::nullopt;
  // The movie registers its callbacks when frame 1 runs, a moment after it
  // has loaded: a missing function is looked for again during that moment.
  constexpr qint64 kRegisterGraceMs = 3000;
  const QString script = QStringLiteral("yelCall(%1, %2)").arg(ScriptArguments({name}).mid(1).chopped(1),
                                                                  ScriptArguments(args));
  for (;;) {
    const int serial = serial_;
    // Shared with the callback, which may come after this call gave up.
    struct TAnswer {
      bool Answered = false;
      QVariantMap Result;
    };
    auto answer = std::make_shared<TAnswer>();
    view_->page()->runJavaScript(script, [answer](const QVariant& result) {
      answer->Result = result.toMap();
      answer->Answered = true;
    });
    if (!WaitUntil([answer] { return answer->Answered; }, clock, timeoutMs)) return std::nullopt;
    if (serial != serial_ || state_ != State::Running) return std::nullopt;
    if (answer->Result.value(QStringLiteral("ok")).toBool()) {
      const QVariant value = answer->Result.value(QStringLiteral("value"));
      return value.isNull() ? QVariant() : value;
    }
    if (!answer->Result.value(QStringLiteral("missing")).toBool() || loaded_clock_.elapsed() > kRegisterGraceMs ||
        clock.elapsed() >= timeoutMs)
      return std::nullopt;
    QElapsedTimer pause;
    pause.start();
    if (!WaitUntil([&pause] { return pause.elapsed() >= 50; }, pause, 100)) return std::nullopt;
  }
}

std::optional<std::pair<QString, QVariantList>> TFlashPlayer::ParseInvoke(const QString& invoke) {
  QXmlStreamReader xml(invoke);
  if (!xml.readNextStartElement() || xml.name() != QLatin1String("invoke")) return std::nullopt;
  const QString name = xml.attributes().value(QLatin1String("name")).toString();
  if (name.isEmpty()) return std::nullopt;
  QVariantList args;
  while (xml.readNextStartElement()) {
    if (xml.name() != QLatin1String("arguments")) {
      xml.skipCurrentElement();
      continue;
    }
    while (xml.readNextStartElement()) {
      const QString kind = xml.name().toString();
      if (kind == QLatin1String("number")) {
        // General decimal format, or "0x" and hexadecimal digits as colours
        // are sent.
        bool ok = false;
        const QString text = xml.readElementText().trimmed();
        const bool hex = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive);
        const double value = hex ? double(text.mid(2).toUInt(&ok, 16)) : text.toDouble(&ok);
        args << (ok ? QVariant(value) : QVariant());
      } else if (kind == QLatin1String("string")) {
        args << xml.readElementText();
      } else if (kind == QLatin1String("true") || kind == QLatin1String("false")) {
        args << QVariant(kind == QLatin1String("true"));
        xml.skipCurrentElement();
      } else {
        args << QVariant();  // null, undefined and what we do not know
        xml.skipCurrentElement();
      }
    }
  }
  if (xml.hasError()) return std::nullopt;
  return std::make_pair(name, args);
}

QString TFlashPlayer::InvokeString(const QString& function, const QVariantList& args) {
  QString text = QStringLiteral("<invoke name=\"") + function.toHtmlEscaped() +
                 QStringLiteral("\" returntype =\"xml\"><arguments>");
  for (const QVariant& arg : args) {
    if (arg.typeId() == QMetaType::Double || arg.typeId() == QMetaType::Int)
      text += QStringLiteral("<number>") + QString::number(arg.toDouble(), 'g', 15) + QStringLiteral("</number>");
    else
      text += QStringLiteral("<string>") + arg.toString().toHtmlEscaped() + QStringLiteral("</string>");
  }
  return text + QStringLiteral("</arguments></invoke>");
}

QWidget* TFlashPlayer::InputWidget() const { return view_->focusProxy() ? view_->focusProxy() : view_; }

std::optional<QVariant> TFlashPlayer::CallFunction(const QString& invoke, int timeoutMs) {
  const auto call = ParseInvoke(invoke);
  if (!call) return std::nullopt;
  return CallMovieFunction(call->first, call->second, timeoutMs);
}

std::optional<QString> TFlashPlayer::GetVariable(const QString& name, int timeoutMs) {
  const auto value = CallMovieFunction(QStringLiteral("GetVariable"), {name}, timeoutMs);
  if (!value) return std::nullopt;
  if (!value->isValid()) return QString();
  if (value->typeId() == QMetaType::Double) return QString::number(value->toDouble(), 'g', 15);
  return value->toString();
}

bool TFlashPlayer::SetVariable(const QString& name, const QString& value, int timeoutMs) {
  return CallMovieFunction(QStringLiteral("SetVariable"), {name, value}, timeoutMs).has_value();
}

bool TFlashPlayer::WaitForDrawing(int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  const int request = ++draw_requests_;
  RunScript(QStringLiteral("yelAfterDrawing(%1)").arg(request));
  return WaitUntil([this, request] { return drawn_ >= request; }, clock, timeoutMs);
}

QImage TFlashPlayer::CurrentPicture() {
  return view_->grab().toImage().convertToFormat(QImage::Format_RGB888);
}

}  // namespace yel::app

#include "flash_player.moc"
