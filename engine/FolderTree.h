#pragma once

#include "platform/FileStatusCache.h"

#include <functional>
#include <string>
#include <vector>

namespace engine {

// Appends the folder (when addSelf) and every folder below it, hidden ones
// included, to `out`, in sorted depth-first order. The folder itself is
// followed when it is a symbolic link (it was picked by name); links below
// it are never walked, and no folder is entered twice. Folders equal to an
// entry of `exclusions` are left out of `out` but still walked.
// `visit` is told each folder and answers false to stop (abort);
// `unreadable` is told each folder that cannot be listed, with the errno.
// `listings`, when given, keeps what each listed folder holds besides
// subfolders, each looked at (links not followed). Folders are read on all
// cores; `visit` is still told each one on the caller's thread, in order.
// Returns the number of folders appended.
int ExpandFolderTree(const std::string& folder, bool addSelf, std::vector<std::string>& out,
                     const std::vector<std::string>& exclusions,
                     const std::function<bool(const std::string&)>& visit = nullptr,
                     const std::function<void(const std::string&, int)>& unreadable = nullptr,
                     platform::FolderListingCache* listings = nullptr);

}  // namespace engine
