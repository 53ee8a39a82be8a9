// TFlashPlayer: the Flash player control of the editor and of yel-player.
// It is Ruffle (the self-hosted WebAssembly build, compiled into the program
// as Qt resources) in a Qt WebEngine view. The page, Ruffle's files and the
// movie bytes are served by the program's own URL scheme, never from a
// network; C++ and the page talk through a QWebChannel.
//
// Set-up: call SetUpFlashPlayer() in main() before the QApplication is
// created (WebEngine accepts URL schemes and its settings only then).
//
// Loading is asynchronous: LoadMovie() and SetMovie() return at once; the
// control emits MovieLoaded() when the movie runs or LoadFailed() with a
// message when it cannot. Calls made before the page or the movie is ready
// wait for it. CallFunction(), GetVariable() and SetVariable() look
// synchronous: they run a local event loop until the page answers or their
// time-out passes.
//
// Movie functions and variables. Ruffle has no GetVariable/SetVariable, so a
// movie that the editor drives registers ExternalInterface callbacks (SWF 8
// movies; the callbacks exist once frame 1 has run):
//   ExternalInterface.addCallback("<function>", null, f) for every function
//     named in invoke strings;
//   ExternalInterface.addCallback("GetVariable", null,
//     function(name) { return _root[name]; });
//   ExternalInterface.addCallback("SetVariable", null,
//     function(name, value) { _root[name] = value; });
// fscommand(command, args) in the movie reaches the FSCommand() signal.
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QImage>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <optional>

class QWebEngineView;
class QWebChannel;

namespace yel::app {

// Call once before the QApplication: registers the player's URL scheme;
// turns WebEngine's sandbox off when running as root (Chromium refuses to
// start its sandbox there), unless QTWEBENGINE_DISABLE_SANDBOX is set; and
// lets Chromium use WebGL on software or blocklisted GL drivers
// (--ignore-gpu-blocklist), because Ruffle's other renderer, the 2-D
// canvas, draws masks made of several figures or with holes wrongly (the
// album's transitions and template windows are such masks).
void SetUpFlashPlayer();

class TPlayerBridge;

class TFlashPlayer : public QWidget {
  Q_OBJECT

 public:
  // Time-out of the blocking calls unless one is given.
  static constexpr int kCallTimeoutMs = 10000;

  explicit TFlashPlayer(QWidget* parent = nullptr);
  ~TFlashPlayer() override;

  // The movie's path; setting " " (a single space) unloads the movie, any
  // other text loads that file. Movie() is the last path set (" " after an
  // unload or a load from memory).
  void SetMovie(const QString& movie);
  QString Movie() const { return movie_; }
  // Loads complete SWF file bytes (FWS or CWS); the movie replaces the
  // current one, scaled to the control, from frame 1. `name` names the
  // movie in messages.
  void LoadMovie(const QByteArray& bytes, const QString& name = QStringLiteral("movie"));
  void Unload() { SetMovie(QStringLiteral(" ")); }

  // Continues or halts the movie (its timeline, scripts and sound).
  void Play();
  void Stop();
  bool IsPlaying() const { return playing_; }

  // Draws the control again (after its page is shown or the window resized).
  void RecreateWindow();

  // Calls the movie function named in an invoke string
  //   <invoke name="f" returntype="xml"><arguments><number>1</number>
  //   <string>a</string></arguments></invoke>
  // and returns its result (invalid for undefined); nothing when the string
  // does not parse, no movie runs, the movie has no such function, the
  // function raised an error or the time-out passed.
  std::optional<QVariant> CallFunction(const QString& invoke, int timeoutMs = kCallTimeoutMs);
  // The same with the function's name and arguments.
  std::optional<QVariant> CallMovieFunction(const QString& name, const QVariantList& args,
                                            int timeoutMs = kCallTimeoutMs);
  // A root variable as text, through the movie's "GetVariable" callback.
  std::optional<QString> GetVariable(const QString& name, int timeoutMs = kCallTimeoutMs);
  // Sets a root variable through the movie's "SetVariable" callback; false
  // when the movie could not be reached.
  bool SetVariable(const QString& name, const QString& value, int timeoutMs = kCallTimeoutMs);

  // The control's current frame as a 24-bit image of the control's size.
  QImage CurrentPicture();
  // Waits until the page has drawn what the movie shows now (a busy
  // machine draws a moment after the movie's frame has run); false after
  // the time-out.
  bool WaitForDrawing(int timeoutMs = kCallTimeoutMs);

  // True while a loaded movie runs (after MovieLoaded, until the next load
  // or unload).
  bool IsMovieLoaded() const { return state_ == State::Running; }
  // Waits until the current load has ended; true when the movie runs.
  bool WaitForMovie(int timeoutMs = kCallTimeoutMs);

  // Parses an invoke string into the function name and its arguments
  // (<number> as a double, <string> as text, <true/>, <false/>, <null/>);
  // nothing when it is not one.
  static std::optional<std::pair<QString, QVariantList>> ParseInvoke(const QString& invoke);
  // The invoke string of a call: numbers (double, int) as <number> in
  // general decimal format, text as <string>, the XML escaped, so that any
  // file name passes.
  static QString InvokeString(const QString& function, const QVariantList& args);

  // The widget that receives the view's mouse and key input (the web
  // engine's own child), for event filters and simulated input.
  QWidget* InputWidget() const;

 signals:
  // fscommand(command, args) sent by the movie, on the GUI thread.
  void FSCommand(const QString& command, const QString& args);
  void MovieLoaded();
  // The movie could not be loaded; the message names it and says why.
  void LoadFailed(const QString& message);
  // trace() output of the movie.
  void Trace(const QString& text);

 private:
  friend class TPlayerBridge;
  enum class State { Empty, Loading, Running, Failed };

  void RunScript(const QString& script);
  void PageReady();
  void PageMovieLoaded(int serial);
  void PageLoadFailed(int serial, const QString& message);
  void PageDrawn(int serial) { drawn_ = std::max(drawn_, serial); }
  void Fail(const QString& message);
  // Runs the event loop until done() or the deadline; true when done.
  bool WaitUntil(const std::function<bool()>& done, const QElapsedTimer& clock, int timeoutMs);

  QWebEngineView* view_;
  QWebChannel* channel_;
  TPlayerBridge* bridge_;
  int id_;
  bool page_ready_ = false;
  QStringList pending_;  // scripts waiting for the page
  QString movie_ = QStringLiteral(" ");
  QString movie_name_;
  int serial_ = 0;
  State state_ = State::Empty;
  bool playing_ = false;
  QElapsedTimer loaded_clock_;
  int draw_requests_ = 0;
  int drawn_ = 0;
};

}  // namespace yel::app
