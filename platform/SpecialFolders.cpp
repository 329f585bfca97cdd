#include "platform/SpecialFolders.h"

#include <QDir>
#include <QStandardPaths>

namespace platform {

namespace {

std::string Location(QStandardPaths::StandardLocation location) {
    return QStandardPaths::writableLocation(location).toStdString();
}

}  // namespace

std::string GetPersonalFolder() { return Location(QStandardPaths::DocumentsLocation); }

std::string GetHomeFolder() { return QDir::homePath().toStdString(); }

bool GetAppDataFolder(std::string& folder) {
    std::string base = Location(QStandardPaths::GenericDataLocation);
    if (base.empty()) {
        folder.clear();
        return false;
    }
    folder = base + "/Vellora Ltd/Vellora";
    return true;
}

std::string GetMusicFolder() { return Location(QStandardPaths::MusicLocation); }
std::string GetVideosFolder() { return Location(QStandardPaths::MoviesLocation); }
std::string GetDesktopFolder() { return Location(QStandardPaths::DesktopLocation); }

}  // namespace platform
