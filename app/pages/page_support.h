// What the editor's pages share: the application title of their message
// boxes, the error box, text conversions between the album's UTF-8 strings
// and Qt, and the look of the pages' section headings.
#pragma once

#include <QString>
#include <functional>
#include <string>

class QLabel;
class QWidget;

namespace yel::app {

// The application's display name, or the product name when none is set.
QString AppTitle();

// Shows message in an error box titled with the application title.
void ShowError(QWidget* parent, const QString& message);

// Runs action; an exception it throws is shown in an error box and false
// returned, so the window stays usable.
bool Guarded(QWidget* parent, const std::function<void()>& action);

inline QString ToQ(const std::string& text) { return QString::fromStdString(text); }
inline std::string FromQ(const QString& text) { return text.toStdString(); }

// A bold section heading of a page.
QLabel* NewHeading(const QString& text, QWidget* parent = nullptr);

}  // namespace yel::app
