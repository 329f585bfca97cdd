#pragma once

#include <QIcon>
#include <QStyle>

#include <string>

namespace desktop {

// A command's icon from the desktop's icon theme, or the style's own.
QIcon CommandIcon(const char* themeName, QStyle::StandardPixmap fallback);

// Opens a file or folder with the desktop's application for it. "" when it
// opened, else why not (the system's text for a missing path).
std::string OpenWithDesktop(const std::string& path);

// Opens a run's RTF log; a failure is told in a stop-icon box captioned
// `caption`.
void ViewLog(const std::string& logFile, const std::string& caption);

}  // namespace desktop
