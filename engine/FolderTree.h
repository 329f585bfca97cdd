#pragma once

#include <functional>
#include <string>
#include <vector>

namespace engine {

// Appends the folder (when addSelf) and every folder below it, hidden ones
// included, to `out`; symbolic links to folders are not followed. Folders
// equal to an entry of `exclusions` are left out of `out` but still walked.
// `visit` is told each folder and answers false to stop (abort). Returns the
// number of folders appended.
int ExpandFolderTree(const std::string& folder, bool addSelf, std::vector<std::string>& out,
                     const std::vector<std::string>& exclusions,
                     const std::function<bool(const std::string&)>& visit = nullptr);

}  // namespace engine
