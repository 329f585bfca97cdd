#pragma once

#include <QString>

namespace desktop {

// A page of the help, by its path below the help folder ("index.html",
// "Backup/OptionTabs/Tab_Backup.htm"): beside the program in a build tree,
// in the shared data folder once installed.
QString HelpPage(const QString& relative);

// Opens a help page with the desktop's browser.
bool ShowHelpPage(const QString& relative);

}  // namespace desktop
