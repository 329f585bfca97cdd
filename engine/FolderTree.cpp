#include "engine/FolderTree.h"

#include "platform/FileSystem.h"
#include "platform/PathAccess.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace engine {

namespace {

bool Excluded(const std::string& path, const std::vector<std::string>& exclusions) {
    return std::any_of(exclusions.begin(), exclusions.end(),
                       [&](const std::string& e) { return platform::SamePath(e, path); });
}

// One folder as a walk found it.
struct ScannedFolder {
    int error = 0;  // errno of a failed open or status
    dev_t device = 0;
    ino_t inode = 0;
    platform::FileStatus status;  // of the folder itself
    bool listed = false;  // false where another path of the same folder was listed instead
    std::vector<std::string> subfolders;      // names, sorted; links are not folders here
    std::vector<platform::ListedFile> files;  // what else it holds, looked at
};

// Opens and looks at one folder; lists it, looking at its files when
// `lookAtFiles`, if `claim` agrees to this path listing it.
ScannedFolder ScanFolder(const std::string& path, bool followLink, bool lookAtFiles,
                         const std::function<bool(dev_t, ino_t)>& claim) {
    ScannedFolder s;
    const int fd = platform::OpenAnyLength(path, O_RDONLY | O_DIRECTORY | (followLink ? 0 : O_NOFOLLOW));
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        s.error = errno;
        if (fd >= 0) ::close(fd);
        return s;
    }
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.status = {static_cast<uint32_t>(st.st_mode), static_cast<uint64_t>(st.st_size), st.st_mtime, st.st_uid, st.st_gid};
    if (!claim(st.st_dev, st.st_ino)) {
        ::close(fd);
        return s;
    }
    s.listed = true;
    // The directory's records straight from the kernel: a DIR stream would
    // look at the folder and its descriptor again, for each of thousands.
    alignas(dirent64) char records[32768];
    ssize_t got;
    while ((got = ::getdents64(fd, records, sizeof records)) > 0) {
        // Room for the batch's files at once: the listing is kept as made.
        size_t files = 0;
        for (ssize_t at = 0; at < got;) {
            const auto* e = reinterpret_cast<const dirent64*>(records + at);
            at += e->d_reclen;
            files += e->d_type != DT_DIR;
        }
        if (s.files.size() + files > s.files.capacity())
            s.files.reserve(std::max(s.files.size() + files, 2 * s.files.capacity()));
        for (ssize_t at = 0; at < got;) {
            const auto* e = reinterpret_cast<const dirent64*>(records + at);
            at += e->d_reclen;
            const std::string_view name = e->d_name;
            if (name == "." || name == "..") continue;
            struct stat sub {};
            const bool looked = (e->d_type == DT_UNKNOWN || (lookAtFiles && e->d_type != DT_DIR)) &&
                                ::fstatat(fd, e->d_name, &sub, AT_SYMLINK_NOFOLLOW) == 0;
            const int error = looked ? 0 : errno;
            if (e->d_type == DT_DIR || (e->d_type == DT_UNKNOWN && looked && S_ISDIR(sub.st_mode))) {
                s.subfolders.emplace_back(name);
                continue;
            }
            platform::ListedFile file{std::string(name), {}, lookAtFiles ? error : -1};
            if (lookAtFiles && looked)
                file.status = {static_cast<uint32_t>(sub.st_mode), static_cast<uint64_t>(sub.st_size), sub.st_mtime,
                               sub.st_uid, sub.st_gid};
            s.files.push_back(std::move(file));
        }
    }
    if (got < 0) s.error = errno;
    ::close(fd);
    std::sort(s.subfolders.begin(), s.subfolders.end());
    // Sorted here, on the core that read the folder, not by the walk.
    std::sort(s.files.begin(), s.files.end(),
              [](const platform::ListedFile& a, const platform::ListedFile& b) { return a.name < b.name; });
    return s;
}

std::string Below(const std::string& folder, const std::string& name) {
    return (folder == "/" ? "" : folder) + "/" + name;
}

// Reads every folder below a root on the other cores, ahead of the walk:
// each folder is listed once whatever number of paths lead to it. The walk
// takes folders as it needs them, reading one itself while it waits.
class ParallelScan {
public:
    ParallelScan(const std::string& root, bool lookAtFiles) : m_root(root), m_lookAtFiles(lookAtFiles), m_pending{root} {
        for (unsigned t = 1; t < std::max(1u, std::thread::hardware_concurrency()); ++t) {
            try {
                m_helpers.emplace_back([this] {
                    std::unique_lock<std::mutex> lock(m_mutex);
                    for (;;) {
                        m_changed.wait(lock, [&] { return m_stop || !m_pending.empty() || m_busy == 0; });
                        if (m_stop || m_pending.empty()) break;
                        ScanNext(lock);
                    }
                    m_changed.notify_all();
                });
            } catch (const std::system_error&) {
                break;  // the walk reads the folders itself
            }
        }
    }
    ~ParallelScan() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        for (auto& h : m_helpers) h.join();
    }
    ParallelScan(const ParallelScan&) = delete;
    ParallelScan& operator=(const ParallelScan&) = delete;

    // The folder as the scan found it, or null where the scan will not reach it.
    ScannedFolder* Await(const std::string& path) {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            const auto found = m_scanned.find(path);
            if (found != m_scanned.end()) return &found->second;
            if (!m_pending.empty())
                ScanNext(lock);
            else if (m_busy == 0)
                return nullptr;
            else
                m_changed.wait(lock);
        }
    }

private:
    // Under the lock, which it lets go of while it reads.
    void ScanNext(std::unique_lock<std::mutex>& lock) {
        const std::string path = std::move(m_pending.back());
        m_pending.pop_back();
        ++m_busy;
        lock.unlock();
        ScannedFolder s = ScanFolder(path, path == m_root, m_lookAtFiles, [&](dev_t device, ino_t inode) {
            std::lock_guard<std::mutex> claimLock(m_mutex);
            return m_claimed.emplace(device, inode).second;
        });
        lock.lock();
        --m_busy;
        for (auto it = s.subfolders.rbegin(); it != s.subfolders.rend(); ++it) m_pending.push_back(Below(path, *it));
        m_scanned.emplace(path, std::move(s));
        m_changed.notify_all();
    }

    const std::string& m_root;
    const bool m_lookAtFiles;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_pending;
    int m_busy = 0;
    bool m_stop = false;
    std::set<std::pair<dev_t, ino_t>> m_claimed;
    std::unordered_map<std::string, ScannedFolder> m_scanned;
    std::vector<std::thread> m_helpers;
};

}  // namespace

int ExpandFolderTree(const std::string& folder, bool addSelf, std::vector<std::string>& out,
                     const std::vector<std::string>& exclusions, const std::function<bool(const std::string&)>& visit,
                     const std::function<void(const std::string&, int)>& unreadable,
                     platform::FolderListingCache* listings) {
    int added = 0;
    if (addSelf) {
        out.push_back(folder);
        ++added;
    }
    ParallelScan scan(folder, listings != nullptr);
    // The scan's order is the threads'; the walk keeps its own: sorted,
    // depth first, every folder entered once.
    std::set<std::pair<dev_t, ino_t>> entered;
    auto enter = [&](dev_t device, ino_t inode) { return entered.emplace(device, inode).second; };
    std::vector<std::string> pending{folder};
    bool first = true;
    while (!pending.empty()) {
        const std::string current = std::move(pending.back());
        pending.pop_back();
        if (!first) {
            if (visit && !visit(current)) break;
            if (!Excluded(current, exclusions)) {
                out.push_back(current);
                ++added;
            }
        }
        // A folder the scan reached by another path is read again here.
        ScannedFolder* scanned = scan.Await(current);
        ScannedFolder again;
        if (!scanned || (!scanned->listed && !scanned->error && !entered.count({scanned->device, scanned->inode}))) {
            again = ScanFolder(current, first, listings != nullptr, enter);
            scanned = &again;
        } else if (!scanned->error && !(scanned->listed && enter(scanned->device, scanned->inode))) {
            continue;
        }
        first = false;
        if (scanned->error) {
            if (scanned->error != ENOENT && unreadable) unreadable(current, scanned->error);
            continue;
        }
        if (!scanned->listed) continue;
        if (listings) listings->Remember(current, scanned->status, std::move(scanned->files));
        for (auto it = scanned->subfolders.rbegin(); it != scanned->subfolders.rend(); ++it)
            pending.push_back(Below(current, *it));
    }
    return added;
}

}  // namespace engine
