// The progress window of publishing.
#include "app/pages/convert_window.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <thread>

#include "app/pages/window_frame.h"

namespace yel::app {

// The worker's side: reports go to the window through queued calls, one at
// a time (a report made while one is waiting replaces it); while the cancel
// question is open the build waits for its answer.
class TfrmConvert::TBridge : public publish::TfrmConvert {
 public:
  explicit TBridge(app::TfrmConvert& window) : w_(window) {}

  void Show(const std::string& title) override {
    std::lock_guard lock(w_.mutex_);
    w_.report_title_ = title;
    Post();
  }

  bool ConvertProgress(const std::string& message, int percent) override {
    std::unique_lock lock(w_.mutex_);
    w_.report_message_ = message;
    w_.report_percent_ = percent;
    Post();
    w_.answered_.wait(lock, [this] { return !w_.asking_; });
    return !w_.cancelled_;
  }

  void Close() override {}

 private:
  // Called with the mutex held.
  void Post() {
    if (w_.report_posted_) return;
    w_.report_posted_ = true;
    app::TfrmConvert* window = &w_;
    QMetaObject::invokeMethod(window, [window] { window->ShowReport(); }, Qt::QueuedConnection);
  }

  app::TfrmConvert& w_;
};

TActivityStripe::TActivityStripe(QWidget* parent) : QWidget(parent) {
  setFixedHeight(4);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TActivityStripe::SetRunning(bool running) {
  if (running && !timer_) {
    clock_.start();
    timer_ = startTimer(30);
  } else if (!running && timer_) {
    killTimer(timer_);
    timer_ = 0;
  }
  update();
}

void TActivityStripe::timerEvent(QTimerEvent*) { update(); }

void TActivityStripe::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QColor base = palette().color(QPalette::Window);
  p.fillRect(rect(), base);
  if (!timer_) return;
  // A highlight that sweeps across once every 1.6 seconds.
  const double phase = double(clock_.elapsed() % 1600) / 1600.0;
  const int span = std::max(40, width() / 4);
  const int x = int(phase * (width() + span)) - span;
  QLinearGradient gradient(x, 0, x + span, 0);
  const QColor accent = palette().color(QPalette::Highlight);
  gradient.setColorAt(0, base);
  gradient.setColorAt(0.5, accent);
  gradient.setColorAt(1, base);
  p.fillRect(QRect(x, 0, span, height()), gradient);
}

TfrmConvert::TfrmConvert(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("convertWindow"));
  setWindowModality(Qt::ApplicationModal);
  setStyleSheet(QStringLiteral("#convertWindow { background: palette(base); border: 1px solid palette(mid); }"));
  title_ = new TTitleLabel(this);
  QFont font = title_->font();
  font.setBold(true);
  title_->setFont(font);
  message_ = new QLabel(QStringLiteral("Processing [1/4]..."), this);
  message_->setObjectName(QStringLiteral("message"));
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  bar_->setTextVisible(true);
  stripe_ = new TActivityStripe(this);
  stripe_->setObjectName(QStringLiteral("activity"));
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("cancel"));
  cancel_->setMinimumWidth(96);
  connect(cancel_, &QPushButton::clicked, this, &TfrmConvert::CancelClicked);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 14, 20, 16);
  layout->setSpacing(10);
  layout->addWidget(title_);
  layout->addWidget(message_);
  layout->addWidget(bar_);
  layout->addWidget(stripe_);
  layout->addLayout(buttons);
  setFixedSize(420, 170);
  ApplyCutCornerShape(*this);
}

TfrmConvert::~TfrmConvert() = default;

QString TfrmConvert::Message() const { return message_->text(); }
int TfrmConvert::Percent() const { return bar_->value(); }

void TfrmConvert::Run(const QString& title, const std::function<void(publish::TfrmConvert&)>& work) {
  {
    std::lock_guard lock(mutex_);
    asking_ = false;
    cancelled_ = false;
    report_posted_ = false;
    report_title_.clear();
  }
  title_->setText(title);
  setWindowTitle(title);
  message_->setText(QStringLiteral("Processing [1/4]..."));
  bar_->setValue(0);
  cancel_->setEnabled(true);
  stripe_->SetRunning(true);
  if (parentWidget()) move(parentWidget()->window()->geometry().center() - rect().center());
  show();
  raise();

  QEventLoop loop;
  std::exception_ptr error;
  TBridge bridge(*this);
  std::thread worker([&] {
    // The build yields to the window: a lower priority for this thread and
    // the helper threads it starts keeps the window painting on a busy
    // machine.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
    try {
      work(bridge);
    } catch (...) {
      error = std::current_exception();
    }
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  stripe_->SetRunning(false);
  hide();
  if (error) std::rethrow_exception(error);
}

void TfrmConvert::ShowReport() {
  std::string message, title;
  int percent;
  {
    std::lock_guard lock(mutex_);
    report_posted_ = false;
    message = report_message_;
    percent = report_percent_;
    title.swap(report_title_);
  }
  if (!title.empty()) {
    title_->setText(QString::fromStdString(title));
    setWindowTitle(title_->text());
  }
  message_->setText(QString::fromStdString(message));
  bar_->setValue(std::clamp(percent, 0, 100));
  message_->repaint();
  bar_->repaint();
}

void TfrmConvert::CancelClicked() {
  {
    std::lock_guard lock(mutex_);
    if (asking_ || cancelled_) return;
    asking_ = true;
  }
  const bool quit = QMessageBox::question(this, QStringLiteral("Confirmation"), QStringLiteral("Quit the publish now?"),
                                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
  {
    std::lock_guard lock(mutex_);
    asking_ = false;
    cancelled_ = quit;
  }
  answered_.notify_all();
  if (quit) {
    cancel_->setEnabled(false);
    message_->setText(QStringLiteral("Cancelling..."));
  }
}

void TfrmConvert::reject() { CancelClicked(); }

}  // namespace yel::app
