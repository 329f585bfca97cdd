#pragma once

#include <string>

namespace platform {

// The user's documents folder; empty when it cannot be determined.
std::string GetPersonalFolder();
std::string GetHomeFolder();

// The per-user application folder (data location + "/Vellora Ltd/Vellora").
// False when the system has no data location.
bool GetAppDataFolder(std::string& folder);

std::string GetMusicFolder();
std::string GetVideosFolder();
std::string GetDesktopFolder();

}  // namespace platform
