#include "app/studio/studio_options.h"

#include <QBuffer>
#include <QImage>
#include <QRegularExpression>
#include <QStringList>
#include <exception>
#include <string_view>

#include "base/files.h"

namespace yel::app {

bool ParseStudioOptions(int argc, const char* const* argv, TStudioOptions& options, std::string& problem) {
  static const QStringList kPages = {"Photo", "Effect", "Theme", "Setting", "Publish"};
  bool page_given = false, size_given = false;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    auto value = [&](QString& out) {
      if (i + 1 >= argc) {
        problem = arg.toStdString() + " needs a value";
        return false;
      }
      out = QString::fromLocal8Bit(argv[++i]);
      return true;
    };
    QString text;
    if (arg == "--help" || arg == "-h") {
      options.Help = true;
    } else if (arg == "--no-splash") {
      options.NoSplash = true;
    } else if (arg == "--screenshot") {
      if (!value(options.Screenshot)) return false;
    } else if (arg == "--page") {
      if (!value(text)) return false;
      const qsizetype page = kPages.indexOf(text, 0);
      if (page < 0) {
        problem = "--page takes Photo, Effect, Theme, Setting or Publish, not \"" + text.toStdString() + "\"";
        return false;
      }
      options.Page = int(page);
      page_given = true;
    } else if (arg == "--size") {
      if (!value(text)) return false;
      const auto match = QRegularExpression("^(\\d{2,5})x(\\d{2,5})$").match(text);
      const int w = match.hasMatch() ? match.captured(1).toInt() : 0;
      const int h = match.hasMatch() ? match.captured(2).toInt() : 0;
      if (w < 320 || h < 240 || w > 8192 || h > 8192) {
        problem = "--size takes WxH between 320x240 and 8192x8192, not \"" + text.toStdString() + "\"";
        return false;
      }
      options.Size = QSize(w, h);
      size_given = true;
    } else if (arg.startsWith("-")) {
      problem = "unknown option " + arg.toStdString();
      return false;
    } else if (options.Project.isEmpty()) {
      options.Project = arg;
    } else {
      problem = "one project at a time, not also " + arg.toStdString();
      return false;
    }
  }
  if ((page_given || size_given) && options.Screenshot.isEmpty()) {
    problem = "--page and --size go with --screenshot";
    return false;
  }
  return true;
}

bool WriteScreenshot(const QImage& picture, const QString& file, std::string& problem) {
  QByteArray png;
  QBuffer buffer(&png);
  if (picture.isNull() || !buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "PNG")) {
    problem = file.toStdString() + ": the window could not be drawn";
    return false;
  }
  try {
    WriteFileAtomically(file.toLocal8Bit().toStdString(), std::string_view(png.constData(), std::size_t(png.size())));
  } catch (const std::exception& error) {
    problem = error.what();
    return false;
  }
  return true;
}

}  // namespace yel::app
