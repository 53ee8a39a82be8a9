// The command line of yel-studio.
#pragma once

#include <QSize>
#include <QString>
#include <string>

class QImage;

namespace yel::app {

inline constexpr const char* kStudioUsage =
    "usage: yel-studio [FILE.yel] [--screenshot OUT.png [--page Photo|Effect|Theme|Setting|Publish]\n"
    "                  [--size WxH]] [--no-splash]\n"
    "\n"
    "Starts the album editor, opening FILE.yel when given.\n"
    "  --screenshot OUT.png  render the window into OUT.png without showing it, then exit\n"
    "  --page NAME           the page in front (default Photo)\n"
    "  --size WxH            the window's size for the screenshot (default 1280x800)\n"
    "  --no-splash           start without the splash window\n";

struct TStudioOptions {
  QString Project;
  QString Screenshot;
  int Page = 0;
  QSize Size{1280, 800};
  bool NoSplash = false;
  bool Help = false;
};

// False with a message in `problem` for a command line that does not parse.
bool ParseStudioOptions(int argc, const char* const* argv, TStudioOptions& options, std::string& problem);

// Writes the screenshot as a PNG under a temporary name renamed into place
// (a symbolic link of that name is replaced, never written through); false
// with a message in `problem` when it cannot.
bool WriteScreenshot(const QImage& picture, const QString& file, std::string& problem);

}  // namespace yel::app
