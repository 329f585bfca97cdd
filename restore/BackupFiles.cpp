#include "restore/BackupFiles.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <chrono>
#include <dirent.h>

namespace restore {

namespace {

time_t Seconds(const std::optional<platform::TimePoint>& t) {
    return t ? std::chrono::system_clock::to_time_t(*t) : 0;
}

BackupFileEntry Entry(const std::string& path, std::string text) {
    const platform::FileTimes times = platform::GetFileTimes(path);
    return {path, std::move(text), Seconds(times.creation), Seconds(times.lastWrite)};
}

}  // namespace

std::vector<BackupFileEntry> ListBackupFiles(const std::string& backupFile) {
    const std::string folder = platform::FolderPart(backupFile);
    const std::string name = platform::FileNamePart(backupFile);
    const size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    const std::string prefix = stem + "_Archived_";
    std::vector<BackupFileEntry> archives;
    if (DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str())) {
        while (dirent* e = ::readdir(dir)) {
            const std::string file = e->d_name;
            if (file.size() < prefix.size() + extension.size() || file.compare(0, prefix.size(), prefix) != 0 ||
                file.compare(file.size() - extension.size(), extension.size(), extension) != 0)
                continue;
            archives.push_back(Entry(folder + "/" + file, file.substr(0, file.size() - extension.size())));
        }
        ::closedir(dir);
    }
    // Newest first, by when each was written: an archive zip is written once.
    std::sort(archives.begin(), archives.end(), [](const BackupFileEntry& a, const BackupFileEntry& b) {
        return a.lastWrite != b.lastWrite ? a.lastWrite > b.lastWrite : a.text > b.text;
    });
    archives.insert(archives.begin(), Entry(backupFile, backupFile));
    return archives;
}

}  // namespace restore
