#include "zipcomponent/XceedZip.h"

#include "platform/FileSystem.h"
#include "platform/MessagePump.h"
#include "platform/PathAccess.h"
#include "platform/Volumes.h"
#include "zipcomponent/ArchiveSource.h"
#include "zipcomponent/DirectoryIndex.h"
#include "zipcomponent/EntryFields.h"
#include "zipcomponent/FileSource.h"
#include "zipcomponent/PackingPipeline.h"
#include "zipcomponent/Progress.h"
#include "zipcomponent/NewArchiveWriter.h"
#include "zipcomponent/EntryPatterns.h"
#include "zipcomponent/CentralDirectory.h"
#include "zipcomponent/SplitArchive.h"

#include <zip.h>

#include <algorithm>
#include <climits>
#include <chrono>
#include <deque>
#include <dirent.h>
#include <filesystem>
#include <fcntl.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unordered_set>
#include <unistd.h>

namespace zipcomponent {

namespace {

constexpr uint32_t kFolderAttribute = 16;

class ActiveScope {
public:
    ActiveScope(int& field, int value, std::function<void()> atEnd = nullptr)
        : m_field(field), m_atEnd(std::move(atEnd)) {
        m_field = value;
    }
    ~ActiveScope() {
        m_field = kIdle;
        if (m_atEnd) m_atEnd();
    }

private:
    int& m_field;
    std::function<void()> m_atEnd;
};

std::vector<std::string> SplitLines(const std::string& list) {
    std::vector<std::string> out;
    std::istringstream in(list);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) out.push_back(line);
    return out;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& l : lines) out += (out.empty() ? "" : "\n") + l;
    return out;
}

int OpenResult(int zipError) {
    switch (zipError) {
        case ZIP_ER_NOENT:
        case ZIP_ER_OPEN:
        case ZIP_ER_READ: return kResultCannotOpen;
        case ZIP_ER_MULTIDISK: return kResultUnsupported;
        case ZIP_ER_NOZIP:
        case ZIP_ER_INCONS:
        case ZIP_ER_SEEK: return kResultDamaged;
        case ZIP_ER_MEMORY: return kResultInternal;
        default: return kResultCannotOpen;
    }
}

// Opens a plain or split archive for reading.
zip_t* OpenForReading(const std::string& path, int& result, int flags = ZIP_RDONLY) {
    int error = 0;
    zip_t* za = path.empty() ? nullptr : zip_open(path.c_str(), flags, &error);
    result = za ? kResultSuccess : (path.empty() ? kResultCannotOpen : OpenResult(error));
    if (za || error != ZIP_ER_MULTIDISK) return za;
    zip_source_t* joined = CreateJoinedSource(path, result);
    if (!joined) return nullptr;
    zip_error_t zerr;
    zip_error_init(&zerr);
    za = zip_open_from_source(joined, flags, &zerr);
    if (!za) {
        zip_source_free(joined);
        result = kResultDamaged;
    }
    zip_error_fini(&zerr);
    return za;
}

constexpr uint64_t kMinimumPartSize = 65536;
constexpr size_t kMaxNameLength = 65535;  // the name field of a zip header

// The entry name of a path without the folder's "/": the path relative to "/".
std::string_view EntryNameStem(std::string_view absolutePath) {
    while (!absolutePath.empty() && absolutePath.front() == '/') absolutePath.remove_prefix(1);
    while (!absolutePath.empty() && absolutePath.back() == '/') absolutePath.remove_suffix(1);
    return absolutePath;
}

std::string EntryNameFor(std::string_view absolutePath, bool isFolder) {
    std::string name(EntryNameStem(absolutePath));
    if (isFolder && !name.empty()) name += '/';
    return name;
}

bool IsFolderName(const std::string& name) { return !name.empty() && name.back() == '/'; }

// An entry name that would leave the extraction folder.
bool IsUnsafeName(const std::string& name) {
    if (name.empty() || name.front() == '/') return true;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0 && end - start == 2) return true;
        start = end + 1;
    }
    return false;
}

// Whether a folder on the way from root to relative's file is a symbolic
// link: writing through it could land outside the extraction folder.
bool ThroughLink(const std::string& root, const std::string& relative) {
    std::string path = root == "/" ? "" : root;
    size_t start = 0;
    for (size_t slash; (slash = relative.find('/', start)) != std::string::npos; start = slash + 1) {
        if (slash == start) continue;
        path += "/" + relative.substr(start, slash - start);
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return false;  // the rest is made fresh
        if (S_ISLNK(st.st_mode)) return true;
    }
    return false;
}

// Whether target lies below a link this extraction placed.
bool BelowPlacedLink(const std::unordered_set<std::string>& placed, const std::string& target) {
    for (size_t slash = target.find('/', 1); slash != std::string::npos; slash = target.find('/', slash + 1))
        if (placed.count(target.substr(0, slash))) return true;
    return false;
}

// Makes a symbolic link beside target and renames it into place.
bool PlaceLink(const std::string& linkTarget, const std::string& target) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = platform::FolderPart(target) + "/." + platform::FileNamePart(target) + ".link" +
                                 std::to_string(::getpid()) + "-" + std::to_string(attempt);
        if (::symlink(linkTarget.c_str(), temp.c_str()) != 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        if (::rename(temp.c_str(), target.c_str()) == 0) return true;
        ::unlink(temp.c_str());
        return false;
    }
    return false;
}

// Whether a failed write failed writing (a full or lost disk) rather than
// reading the old backup, which then cannot be updated.
bool WriteSideError(int zipError) {
    switch (zipError) {
        case ZIP_ER_WRITE:
        case ZIP_ER_TMPOPEN:
        case ZIP_ER_RENAME:
        case ZIP_ER_CLOSE:
        case ZIP_ER_REMOVE:
        case ZIP_ER_MEMORY:
        case ZIP_ER_INTERNAL: return true;
        default: return false;
    }
}

std::string LastComponent(const std::string& name) {
    std::string n = name;
    while (!n.empty() && n.back() == '/') n.pop_back();
    const size_t slash = n.rfind('/');
    return slash == std::string::npos ? n : n.substr(slash + 1);
}

bool EntryEncrypted(const zip_stat_t& st) {
    return (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE;
}

bool EntryReadable(const zip_stat_t& st) {
    const bool methodOk = !(st.valid & ZIP_STAT_COMP_METHOD) || zip_compression_method_supported(st.comp_method, 0);
    const bool cryptOk =
        !EntryEncrypted(st) || zip_encryption_method_supported(static_cast<zip_uint16_t>(st.encryption_method), 0);
    return methodOk && cryptOk;
}

}  // namespace

std::string CXceedZip::Candidate::Name() const { return EntryNameFor(path, isFolder); }

std::string CXceedZip::GetFileSpecList() const { return JoinLines(m_fileSpecs); }
void CXceedZip::SetFileSpecList(const std::string& list) {
    m_fileSpecs = SplitLines(list);
    m_linkSpecs.clear();
}
std::string CXceedZip::GetExcludeSpecList() const { return JoinLines(m_excludeSpecs); }
void CXceedZip::SetExcludeSpecList(const std::string& list) { m_excludeSpecs = SplitLines(list); }
void CXceedZip::AddFileSpec(const std::string& spec, bool followLink) {
    if (spec.empty()) return;
    m_fileSpecs.push_back(spec);
    if (!followLink) m_linkSpecs.insert(spec);
}
void CXceedZip::AddExcludeSpec(const std::string& spec) {
    if (!spec.empty()) m_excludeSpecs.push_back(spec);
}

int64_t CXceedZip::GetOption(int id) const {
    auto it = m_options.find(id);
    return it == m_options.end() ? 0 : it->second;
}

bool CXceedZip::CheckAbort() {
    platform::PumpMessages();
    return m_bAbortRequest;
}

bool CXceedZip::IsExcluded(const std::string& absolutePath) const {
    for (const auto& spec : m_excludeSpecs)
        if (MatchExclusion(spec, absolutePath)) return true;
    return false;
}

namespace {

// prefix + "/" + name, made in one allocation for each of many files.
std::string PathBelow(std::string_view prefix, std::string_view name) {
    std::string path;
    path.reserve(prefix.size() + 1 + name.size());
    path.append(prefix).append(1, '/').append(name);
    return path;
}

// A folder opened for looking at its files only once one needs looking at.
class LazyFolder {
public:
    explicit LazyFolder(const std::string& path) : m_path(path) {}
    ~LazyFolder() {
        if (m_fd >= 0) ::close(m_fd);
    }
    LazyFolder(const LazyFolder&) = delete;
    LazyFolder& operator=(const LazyFolder&) = delete;
    int Fd() {
        if (!m_tried) m_fd = platform::OpenAnyLength(m_path, O_PATH | O_DIRECTORY);
        m_tried = true;
        return m_fd;
    }

private:
    const std::string& m_path;
    int m_fd = -1;
    bool m_tried = false;
};

}  // namespace

void CXceedZip::CollectCandidates(std::vector<Candidate>& out, std::vector<CollectFailure>& failures,
                                  const platform::FileStatusCache* known,
                                  const platform::FolderListingCache* listings) const {
    // Names are unique within a folder's listing: only a folder listed
    // twice, or a path named on its own, can repeat one. Until that
    // happens no set of names is kept, which a large tree would pay for.
    std::unordered_set<std::string> seen;
    std::unordered_set<std::string_view> listedFolders;
    bool checkingNames = false;
    auto checkNames = [&] {
        if (checkingNames) return;
        checkingNames = true;
        seen.reserve(out.size());
        for (const auto& c : out) seen.insert(c.Name());
    };
    // A path named by a file spec is followed when it is a link (unless it
    // was added to be kept as a link); what a folder listing finds is not.
    // `within` and `name` let a folder's files be looked at without walking
    // the whole path for each.
    auto add = [&](std::string path, bool listed, bool follow, LazyFolder* within = nullptr,
                   const char* name = nullptr, const platform::FileStatus* looked = nullptr) {
        const platform::FileStatus* status = looked ? looked : known ? known->Find(path) : nullptr;
        // A folder the walk listed was looked at then, its link followed.
        if (!status && follow && listings)
            if (const auto* listed = listings->Find(path)) status = &listed->self;
        platform::FileStatus lookedNow;
        if (!status) {
            struct stat st {};
            const int dirFd = within ? within->Fd() : -1;
            const int looking = dirFd >= 0 ? ::fstatat(dirFd, name, &st, follow ? 0 : AT_SYMLINK_NOFOLLOW)
                                           : platform::StatAnyLength(path, st, follow);
            if (looking != 0) {
                // Gone since the folder was listed: nothing to store or report.
                if (!listed || errno != ENOENT) failures.push_back({path, kFailCannotOpen, errno});
                return;
            }
            lookedNow = {static_cast<uint32_t>(st.st_mode), static_cast<uint64_t>(st.st_size), st.st_mtime,
                         st.st_uid, st.st_gid};
            status = &lookedNow;
        }
        const bool folder = S_ISDIR(status->mode);
        if (folder && listed) return;
        const size_t stemLength = EntryNameStem(path).size();
        if (stemLength == 0 || (checkingNames && !seen.insert(EntryNameFor(path, folder)).second)) return;
        Candidate c{std::move(path), folder ? 0 : status->size, status->modified, status->mode, status->owner,
                    status->group,   folder,
                    !folder && !S_ISREG(status->mode) && !S_ISLNK(status->mode), nullptr};
        if (c.IsLink()) {
            std::string target;
            if (int err = platform::ReadLinkAnyLength(c.path, target)) {
                failures.push_back({c.path, kFailCannotOpen, err});
                return;
            }
            c.size = target.size();
            c.linkTarget = std::make_unique<const std::string>(std::move(target));
        }
        if (stemLength + (folder ? 1 : 0) > kMaxNameLength) {
            failures.push_back({c.path, kFailNameTooLong, 0});
            return;
        }
        out.push_back(std::move(c));
    };
    auto addFolderFiles = [&](const std::string& folder, std::string_view pattern,
                              const platform::FolderListingCache::Listing* listed) {
        LazyFolder opened{folder};
        const std::string_view prefix = folder == "/" ? std::string_view() : std::string_view(folder);
        if (listed) {
            for (const auto& f : listed->files)
                if (pattern.empty() || MatchPathPattern(pattern, f.name))
                    add(PathBelow(prefix, f.name), true, false, &opened, f.name.c_str(),
                        f.error == 0 ? &f.status : nullptr);
            return;
        }
        const int fd = platform::OpenAnyLength(folder, O_RDONLY | O_DIRECTORY);
        DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (!dir) {
            const int err = errno;
            if (fd >= 0) ::close(fd);
            if (err != ENOENT) failures.push_back({folder, kFailCannotList, err});
            return;
        }
        std::vector<std::string> names;
        while (dirent* e = ::readdir(dir)) {
            const std::string n = e->d_name;
            // Folders have their own specifications; readdir's type saves a stat.
            if (e->d_type == DT_DIR) continue;
            if (n != "." && n != ".." && (pattern.empty() || MatchPathPattern(pattern, n))) names.push_back(n);
        }
        ::closedir(dir);
        std::sort(names.begin(), names.end());
        for (const auto& n : names) add(PathBelow(prefix, n), true, false, &opened, n.c_str());
    };
    // The listings tell how many candidates there will be at most: the list
    // is made once, not grown through copies of itself.
    if (listings) out.reserve(out.size() + m_fileSpecs.size() + listings->FileCount());
    for (const auto& spec : m_fileSpecs) {
        const size_t slash = spec.rfind('/');
        const std::string_view last = std::string_view(spec).substr(slash == std::string::npos ? 0 : slash + 1);
        if (slash == std::string::npos || !HasWildcards(last)) {
            checkNames();
            add(spec, false, !m_linkSpecs.count(spec));
            continue;
        }
        const std::string folder = slash == 0 ? "/" : spec.substr(0, slash);
        if (!listedFolders.insert(std::string_view(spec).substr(0, std::max<size_t>(slash, 1))).second) checkNames();
        // The walk looked at the folder itself when it listed it.
        const platform::FolderListingCache::Listing* listed = listings ? listings->Find(folder) : nullptr;
        // The folder's own entry brings empty folders back.
        if (last == "*") add(folder, false, true, nullptr, nullptr, listed ? &listed->self : nullptr);
        addFolderFiles(folder, last == "*" ? std::string_view() : last, listed);
    }
}

int CXceedZip::SurveyFiles(bool) {
    ActiveScope active(m_nActiveOperation, kSurveying);
    m_survey.clear();
    m_surveyFailures.clear();
    std::vector<Candidate>& candidates = m_survey;
    CollectCandidates(candidates, m_surveyFailures, m_pKnownFiles, m_pKnownListings);
    m_surveySpecs = GetFileSpecList();
    uint64_t bytes = 0;
    uint32_t files = 0;
    for (const auto& c : candidates) {
        if (c.isFolder || c.special || IsExcluded(c.path)) continue;
        bytes += c.size;
        ++files;
    }
    m_events->OperationTotals(files, bytes);
    return candidates.empty() ? kResultNothingToDo : kResultSuccess;
}

int CXceedZip::WriteArchive() {
    ActiveScope active(m_nActiveOperation, kWriting);
    if (m_strArchivePath.empty()) return kResultCannotOpen;
    // A survey of the same specifications just walked the files.
    std::vector<Candidate> candidates;
    std::vector<CollectFailure> failures;
    if ((!m_survey.empty() || !m_surveyFailures.empty()) && m_surveySpecs == GetFileSpecList()) {
        candidates.swap(m_survey);
        failures.swap(m_surveyFailures);
    } else {
        CollectCandidates(candidates, failures, nullptr, nullptr);
    }
    m_survey.clear();
    m_surveyFailures.clear();
    int fileErrors = 0;
    for (const auto& f : failures) {
        m_events->FileFailed({f.path, f.path, f.reason, f.systemError});
        ++fileErrors;
    }
    if (candidates.empty()) return fileErrors ? kResultFileErrors : kResultNothingToDo;

    const bool existed = platform::PathExists(m_strArchivePath);
    if (existed && CountDisks(m_strArchivePath) > 1) return kResultSplitNotUpdatable;
    std::string tempFolder;
    if (m_bUseTempArchive)
        tempFolder = m_strTempArchiveFolder.empty() ? platform::GetWindowsTempFolder() : m_strTempArchiveFolder;
    // With a part size limit, or across disks, the zip is first built whole
    // (off the disk when spanning), then laid out in parts.
    const bool spanning = Spanning();
    const std::string wholeFolder = spanning ? platform::GetWindowsTempFolder()
                                    : tempFolder.empty() ? platform::FolderPart(m_strArchivePath)
                                                         : tempFolder;
    const std::string linearPath = m_nPartSizeLimit || spanning
                                       ? wholeFolder + "/." + platform::FileNamePart(m_strArchivePath) + ".whole"
                                       : m_strArchivePath;
    // An update that finds nothing to write never needs libzip's open.
    // The archive step may just have listed the same, unchanged file.
    std::shared_ptr<const DirectoryIndex> stored = existed ? m_listed.Find(m_strArchivePath) : nullptr;
    if (stored && !stored->Directory().updatable) stored = nullptr;
    if (!stored && existed) {
        CentralDirectory readNow;
        if (ReadCentralDirectory(m_strArchivePath, readNow))
            stored = std::make_shared<const DirectoryIndex>(std::move(readNow));
    }
    const bool quick = stored != nullptr;
    const std::string storedComment = quick ? stored->Directory().comment : std::string();
    zip_t* za = nullptr;
    auto openArchive = [&]() -> int {
        zip_error_t error;
        zip_error_init(&error);
        zip_source_t* source = CreateArchiveSource({m_strArchivePath, linearPath, tempFolder}, &error);
        // Every local header is held against the directory: a damaged
        // backup is replaced rather than copied on.
        za = source ? zip_open_from_source(source, ZIP_CREATE | ZIP_CHECKCONS, &error) : nullptr;
        const int openError = zip_error_code_zip(&error);
        zip_error_fini(&error);
        if (za) return kResultSuccess;
        if (source) zip_source_free(source);
        if (openError == ZIP_ER_MULTIDISK) return kResultSplitNotUpdatable;
        if (openError == ZIP_ER_NOZIP || openError == ZIP_ER_INCONS || openError == ZIP_ER_SEEK)
            return kResultMustRecreate;
        return kResultCannotOpen;
    };
    auto discard = [&] {
        if (za) zip_discard(za);
    };
    if (!quick)
        if (int result = openArchive()) return result;
    // The files come in the order the backup stored them, unless they changed.
    size_t expected = 0;
    auto locate = [&](const Candidate& c) -> zip_int64_t {
        if (!quick) return zip_name_locate(za, c.Name().c_str(), ZIP_FL_ENC_RAW);
        // A file's name is its path without the leading "/": no copy to look it up.
        const std::string folderName = c.isFolder ? c.Name() : std::string();
        const int64_t found =
            stored->FirstOf(c.isFolder ? std::string_view(folderName) : EntryNameStem(c.path), expected);
        if (found >= 0) expected = static_cast<size_t>(found) + 1;
        return found;
    };
    auto entryTime = [&](zip_int64_t index) {
        return quick ? stored->Directory().entries[static_cast<size_t>(index)].modified
                     : GetEntryTime(za, static_cast<zip_uint64_t>(index));
    };

    // First pass: what will be written, so the totals come before the work.
    struct Planned {
        const Candidate* candidate;
        zip_int64_t existing;
        bool skipped;
        int reason;
    };
    std::vector<Planned> plan;
    plan.reserve(candidates.size());
    uint64_t totalBytes = 0;
    uint32_t totalFiles = 0;
    for (const auto& c : candidates) {
        Planned p{&c, locate(c), false, kSkipNotNewer};
        if (platform::SamePath(c.path, m_strArchivePath)) {
            p.skipped = true;
            p.reason = kSkipArchiveItself;
        } else if (c.special) {
            p.skipped = true;
            p.reason = kSkipSpecialFile;
        } else if (IsExcluded(c.path)) {
            p.skipped = true;
            p.reason = kSkipExcluded;
        } else if (c.isFolder && p.existing >= 0) {
            p.skipped = true;
            p.reason = kSkipUnchanged;
        } else if (m_bSkipExistingTargets && p.existing >= 0) {
            p.skipped = true;
            p.reason = kSkipTargetExists;
        } else if (m_bSkipMissingTargets && p.existing < 0) {
            p.skipped = true;
            p.reason = kSkipTargetMissing;
        } else if (m_bSkipNotNewer && p.existing >= 0 &&
                   StorableTime(c.mtime) <= entryTime(p.existing)) {
            p.skipped = true;
            p.reason = kSkipNotNewer;
        }
        if (!p.skipped && !c.isFolder) {
            totalBytes += c.size;
            ++totalFiles;
        }
        plan.push_back(p);
    }
    m_events->OperationTotals(totalFiles, totalBytes);

    std::deque<FileReadState> reads;
    CPackingPipeline* packing = nullptr;
    bool changed = false;
    // Adds an entry for libzip to write; false when it could not.
    auto addEntry = [&](const Candidate& c, const std::string& base, bool replaced) {
        zip_int64_t index;
        const std::string name = c.Name();
        const zip_flags_t encoding = NameEncoding(name);
        if (c.isFolder) {
            std::string dirName = name.substr(0, name.size() - 1);
            index = zip_dir_add(za, dirName.c_str(), encoding);
        } else {
            zip_source_t* data;
            if (c.IsLink()) {
                data = zip_source_buffer(za, c.Data().data(), c.Data().size(), 0);
            } else {
                reads.push_back({c.path, reads.size(), c.size, c.mtime});
                reads.back().replaced = replaced;
                data = CreateFileSource(za, &reads.back(), &m_readObserver, &packing);
            }
            index = data ? zip_file_add(za, name.c_str(), data, ZIP_FL_OVERWRITE | encoding) : -1;
            if (index < 0) {
                if (data) zip_source_free(data);
                if (!c.IsLink()) reads.pop_back();
                return false;
            }
            if (!c.IsLink()) reads.back().entryIndex = static_cast<size_t>(index);
            const zip_int32_t method = m_nPackingLevel == 0 || c.IsLink() ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
            zip_set_file_compression(za, static_cast<zip_uint64_t>(index), method,
                                     static_cast<zip_uint32_t>(std::clamp(m_nPackingLevel, 0, 9)));
            if (!m_strArchivePassword.empty())
                zip_file_set_encryption(za, static_cast<zip_uint64_t>(index), ZIP_EM_AES_256,
                                        m_strArchivePassword.c_str());
        }
        if (index < 0) return false;
        const auto i = static_cast<zip_uint64_t>(index);
        SetEntryTime(za, i, c.mtime);
        SetBasePath(za, i, base);
        SetUnixAttributes(za, i, c.mode);
        SetOwner(za, i, c.owner, c.group);
        return true;
    };
    // A new archive is written front to back by our own writer, packed on
    // every core; libzip writes what it must encrypt or update.
    const bool writingNew = !existed && m_strArchivePassword.empty() && m_nPackingLevel > 0;
    std::vector<NewArchiveEntry> fresh;
    std::vector<std::string> bases;
    Throttle pumping;
    // One set of arguments for every file: its strings keep their room.
    PrepareFileArgs args;
    const std::string rootBase = "/";
    for (const auto& p : plan) {
        const Candidate& c = *p.candidate;
        args.basePath.clear();
        args.path.assign(c.path);
        args.attributes = platform::AttributesFromMode(c.mode, c.path);
        args.skipped = p.skipped;
        args.skipReason = p.reason;
        args.entryExists = p.existing >= 0;
        m_events->PrepareFile(args);
        if (args.skipped) continue;
        if ((pumping.Due() && CheckAbort()) || m_bAbortRequest) {
            discard();
            return kResultAborted;
        }
        // Entry names are relative to "/", the base path unless the handler gave one.
        const std::string& base = args.basePath.empty() ? rootBase : args.basePath;
        if (writingNew) {
            const auto baseIndex = static_cast<size_t>(std::find(bases.begin(), bases.end(), base) - bases.begin());
            if (baseIndex == bases.size()) bases.push_back(base);
            fresh.push_back({&c, static_cast<uint32_t>(baseIndex)});
            changed = true;
            continue;
        }
        if (!za)
            if (int result = openArchive()) return result;
        if (!addEntry(c, base, p.existing >= 0)) {
            m_events->FileFailed({c.path, c.path, kFailCannotWrite});
            ++fileErrors;
            continue;
        }
        changed = true;
    }
    std::vector<Planned>().swap(plan);

    std::string comment;
    m_events->DescriptionQuery(comment);
    if (comment.size() > 65535) comment.resize(65535);
    if (writingNew && (changed || !comment.empty())) {
        if (std::unique_ptr<CPackingPipeline> pipeline = StartNewPacking(fresh)) {
            // A handler that throws fails the write, as it does while libzip writes.
            try {
                return WriteNewArchive(*pipeline, fresh, bases, comment, {m_strArchivePath, linearPath, tempFolder},
                                       totalFiles, totalBytes, fileErrors);
            } catch (...) {
                return kResultCannotWrite;
            }
        }
        // No thread to spare: libzip packs on this thread.
        if (int result = openArchive()) return result;
        for (const auto& e : fresh) {
            if (addEntry(*e.candidate, bases[e.basePath], false)) continue;
            m_events->FileFailed({e.candidate->path, e.candidate->path, kFailCannotWrite});
            ++fileErrors;
        }
    }
    if (!za && storedComment != comment)
        if (int result = openArchive()) return result;
    int commentLength = 0;
    const char* oldComment = za ? zip_get_archive_comment(za, &commentLength, 0) : nullptr;
    if (za && std::string(oldComment ? oldComment : "", static_cast<size_t>(commentLength)) != comment) {
        zip_set_archive_comment(za, comment.data(), static_cast<zip_uint16_t>(comment.size()));
        changed = true;
    }
    if (!changed) {
        discard();
        if (!existed) return fileErrors ? kResultFileErrors : kResultNothingToDo;
        return fileErrors ? kResultFileErrors : kResultUnchanged;
    }

    // Byte-accurate progress: the file sources report what they hand out.
    uint64_t processed = 0;
    Throttle throttle;
    m_readObserver = [&](size_t entryIndex, uint64_t bytes) {
        processed += bytes;
        if (!throttle.Due()) return true;
        for (const auto& r : reads) {
            if (r.entryIndex == entryIndex) {
                m_events->FileProgress(r.path, Percent(r.done, r.size));
                break;
            }
        }
        m_events->OverallProgress({totalBytes, processed, Percent(processed, totalBytes), totalFiles, 0,
                                   Percent(processed, totalBytes)});
        return !CheckAbort();
    };
    zip_register_cancel_callback_with_state(
        za, [](zip_t*, void* self) { return static_cast<CXceedZip*>(self)->CheckAbort() ? 1 : 0; }, nullptr, this);

    for (size_t attempt = 0; attempt <= reads.size(); ++attempt) {
        processed = 0;
        std::unique_ptr<CPackingPipeline> pipeline = StartPacking(reads);
        packing = pipeline.get();
        const int closed = zip_close(za);
        pipeline.reset();
        packing = nullptr;
        if (closed == 0) {
            m_readObserver = nullptr;
            if (linearPath != m_strArchivePath)
                if (int result = PlaceLinearArchive(linearPath)) return result;
            int warnings = 0;
            for (const auto& r : reads) {
                if (!r.changed || r.path.empty()) continue;
                m_events->WarningRaised(r.path, kWarnFileChanged);
                ++warnings;
            }
            m_events->OverallProgress({totalBytes, totalBytes, 100, totalFiles, totalFiles, 100});
            return fileErrors ? kResultFileErrors : warnings ? kResultWarnings : kResultSuccess;
        }
        const int code = zip_error_code_zip(zip_get_error(za));
        bool cancelled = m_bAbortRequest || code == ZIP_ER_CANCELLED;
        bool failed = false;
        for (auto& r : reads) {
            cancelled = cancelled || r.cancelled;
            failed = failed || r.failure;
        }
        if (cancelled || !failed) {
            zip_discard(za);
            m_readObserver = nullptr;
            if (cancelled) return kResultAborted;
            return WriteSideError(code) ? kResultCannotWrite : kResultMustRecreate;
        }
        // A file that vanished, could not be read, or is no longer a regular
        // file: leave it out and write the rest, keeping any stored copy it
        // had. Files the failed pass did not reach are looked at now, so
        // one more pass does for all of them.
        for (auto& r : reads) {
            if (r.opened || r.failure || r.path.empty()) continue;
            struct stat st {};
            const int fd = platform::OpenRegularFile(r.path, st);
            if (fd >= 0) {
                ::close(fd);
                continue;
            }
            r.failure = errno;
            r.special = st.st_mode != 0;
        }
        for (auto& r : reads) {
            if (!r.failure) continue;
            const int reason = r.special ? kSkipSpecialFile : r.opened ? kFailCannotRead : kFailCannotOpen;
            m_events->FileFailed({r.path, r.path, reason, r.special ? 0 : r.failure});
            if (!r.special) ++fileErrors;
            if (r.replaced)
                zip_unchange(za, r.entryIndex);
            else
                zip_delete(za, r.entryIndex);
            r.failure = 0;
            r.path.clear();
        }
        zip_error_clear(za);
    }
    zip_discard(za);
    m_readObserver = nullptr;
    return kResultCannotWrite;
}

// Packing on every core ahead of libzip, for the files still to be written
// in the order libzip writes them; null where libzip stores them itself.
std::unique_ptr<CPackingPipeline> CXceedZip::StartPacking(std::deque<FileReadState>& reads) const {
    if (m_nPackingLevel <= 0) return nullptr;
    std::vector<FileReadState*> order;
    for (auto& r : reads)
        if (!r.path.empty()) order.push_back(&r);
    if (order.empty()) return nullptr;
    std::sort(order.begin(), order.end(),
              [](const FileReadState* a, const FileReadState* b) { return a->entryIndex < b->entryIndex; });
    std::vector<std::string_view> paths;
    paths.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        order[i]->packIndex = i;
        paths.push_back(order[i]->path);
    }
    return CPackingPipeline::Start(std::move(paths), m_nPackingLevel);
}

namespace {

constexpr int kDiskRefused = -1;   // a disk request was answered with "abort"
constexpr int kDiskNotEmpty = -2;  // a disk that holds files, and the rule says abort
constexpr uint64_t kDiskMargin = 4096;

bool VolumeHoldsFiles(const std::string& root) {
    std::error_code ec;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root, ec))
        if (!e.is_directory(ec)) return true;
    return false;
}

}  // namespace

// Parts on removable disks, one per disk: a full disk asks for the next one.
class CXceedZip::DiskPartSink : public IPartSink {
public:
    DiskPartSink(CXceedZip& zip, std::string archive) : m_zip(zip), m_archive(std::move(archive)) {}
    ~DiskPartSink() override { Discard(); }

    // Waits for a disk the rules let us write on: asks for disks after the
    // first, and for another one while the rules want an empty disk.
    int Accept(int number) {
        for (bool first = true;; first = false) {
            if (number > 1 || !first) {
                bool goOn = false;
                m_zip.m_events->DiskRequest(number, goOn);
                if (!goOn || m_zip.m_bAbortRequest) return kDiskRefused;
            }
            platform::VolumeInfo volume;
            if (platform::GetVolumeInfo(m_archive, volume) != 0) continue;
            if (VolumeHoldsFiles(volume.root)) {
                int action = 3;
                m_zip.m_events->DiskNotEmpty(action);
                if (action == 2) continue;
                if (action != 1) return kDiskNotEmpty;
            }
            platform::CreateFolderPath(platform::FolderPart(m_archive));
            m_accepted = number;
            return 0;
        }
    }
    int Open(int number) override {
        if (m_accepted != number)
            if (int err = Accept(number)) return err;
        m_temp = platform::FolderPart(m_archive) + "/." + platform::FileNamePart(m_archive) + ".part.XXXXXX";
        m_fd = ::mkostemp(m_temp.data(), O_CLOEXEC);
        if (m_fd < 0) return errno;
        ::fchmod(m_fd, 0644);
        m_number = number;
        return 0;
    }
    uint64_t Capacity(int) override {
        platform::VolumeInfo volume;
        platform::GetVolumeInfo(m_archive, volume);
        return volume.freeBytes > kDiskMargin ? volume.freeBytes - kDiskMargin : 0;
    }
    int Write(const char* data, size_t length) override {
        return platform::WriteAll(m_fd, std::string_view(data, length));
    }
    int Close() override {
        int err = ::fsync(m_fd) == 0 ? 0 : errno;
        if (::close(m_fd) != 0 && !err) err = errno;
        m_fd = -1;
        const std::string part = PartPath(m_archive, m_number, m_number + 1);
        if (!err && ::rename(m_temp.c_str(), part.c_str()) != 0) err = errno;
        if (!err) m_placed.push_back(part);
        m_temp.clear();
        return err;
    }
    // A backup given up half way: the parts it left on the disk in the
    // drive (the user did not change it) are of no use.
    void RemovePlaced() {
        for (const auto& part : m_placed) ::unlink(part.c_str());
        m_placed.clear();
    }
    // The disk in the drive holds the last part, which takes the archive's name.
    int Finish(int total) override {
        return ::rename(PartPath(m_archive, total, total + 1).c_str(), m_archive.c_str()) == 0 ? 0 : errno;
    }
    void Discard() override {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
        if (!m_temp.empty()) ::unlink(m_temp.c_str());
        m_temp.clear();
    }

private:
    CXceedZip& m_zip;
    std::string m_archive;
    std::string m_temp;
    int m_fd = -1;
    int m_number = 0;
    int m_accepted = 0;  // the disk Accept took last
    std::vector<std::string> m_placed;
};

zip_t* CXceedZip::OpenArchive(int& result, bool checked) {
    const int flags = ZIP_RDONLY | (checked ? ZIP_CHECKCONS : 0);
    zip_t* za = OpenForReading(m_strArchivePath, result, flags);
    if (za || result != kResultMissingPart || !OnRemovableMedia()) return za;
    // A backup across disks: each disk's part is copied aside as the user
    // inserts it, the last one first, and the copies are read as one.
    const int total = CountDisks(m_strArchivePath);
    std::string folder = platform::GetWindowsTempFolder() + "/vellora-disks-XXXXXX";
    if (!::mkdtemp(folder.data())) return nullptr;
    m_gatheredParts = folder;
    const std::string gathered = folder + "/" + platform::FileNamePart(m_strArchivePath);
    if (platform::CopyFileAtomically(m_strArchivePath, gathered) != 0) return nullptr;
    for (int part = 1; part < total; ++part) {
        const std::string wanted = PartPath(m_strArchivePath, part, total);
        while (!platform::PathExists(wanted)) {
            bool goOn = false;
            m_events->DiskRequest(part, goOn);
            if (!goOn || m_bAbortRequest) {
                result = kResultDiskAborted;
                return nullptr;
            }
        }
        if (platform::CopyFileAtomically(wanted, PartPath(gathered, part, total)) != 0) return nullptr;
    }
    // The last disk may no longer be in the drive when statistics are asked for.
    DirectoryTotals totals;
    if (ReadDirectoryTotals(gathered, totals)) m_spannedTotals = {m_strArchivePath, totals};
    return OpenForReading(gathered, result, flags);
}

void CXceedZip::ForgetGatheredParts() {
    if (m_gatheredParts.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(m_gatheredParts, ec);
    m_gatheredParts.clear();
}

bool CXceedZip::OnRemovableMedia() const {
    platform::VolumeInfo volume;
    platform::GetVolumeInfo(m_strArchivePath, volume);
    return volume.type == platform::DriveType::Removable || volume.type == platform::DriveType::CdRom;
}

bool CXceedZip::Spanning() const { return m_nSpanningMode != 0 && OnRemovableMedia(); }

int CXceedZip::PlaceLinearArchive(const std::string& linearPath) {
    if (Spanning()) {
        DiskPartSink sink(*this, m_strArchivePath);
        // The first disk is held to the same rules whether or not one will do.
        int err = sink.Accept(1);
        // What fits on the disk in the drive is written as one plain zip.
        struct stat whole {};
        platform::VolumeInfo volume;
        if (!err && ::stat(linearPath.c_str(), &whole) == 0 && platform::GetVolumeInfo(m_strArchivePath, volume) == 0 &&
            static_cast<uint64_t>(whole.st_size) + kDiskMargin <= volume.freeBytes) {
            err = platform::CopyFileAtomically(linearPath, m_strArchivePath);
            ::unlink(linearPath.c_str());
            return err ? kResultCannotWrite : kResultSuccess;
        }
        int parts = 0;
        if (!err) err = WriteSplitArchive(linearPath, sink, parts);
        ::unlink(linearPath.c_str());
        if (err) sink.RemovePlaced();
        if (err == kDiskRefused) return kResultDiskAborted;
        if (err == kDiskNotEmpty) return kResultDiskNotEmpty;
        return err ? kResultCannotWrite : kResultSuccess;
    }
    struct stat st {};
    const uint64_t limit = std::max<uint64_t>(m_nPartSizeLimit, kMinimumPartSize);
    int err = 0;
    if (::stat(linearPath.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_size) <= limit) {
        if (::rename(linearPath.c_str(), m_strArchivePath.c_str()) != 0) {
            err = errno == EXDEV ? platform::CopyFileAtomically(linearPath, m_strArchivePath) : errno;
        }
    } else {
        FilePartSink sink(m_strArchivePath, limit);
        int parts = 0;
        err = WriteSplitArchive(linearPath, sink, parts);
    }
    ::unlink(linearPath.c_str());
    return err ? kResultCannotWrite : kResultSuccess;
}

namespace {

// The directory as libzip reads it; the archive is closed afterwards.
void TakeDirectory(zip_t* za, CentralDirectory& directory) {
    const zip_int64_t count = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        const auto index = static_cast<zip_uint64_t>(i);
        if (zip_stat_index(za, index, NameFlags(za, index), &st) != 0 || !st.name) continue;
        directory.entries.push_back({st.name, GetBasePath(za, index), GetEntryTime(za, index), st.size,
                                     st.comp_size, st.comp_method, st.encryption_method});
    }
    zip_discard(za);
}

bool ReadStraight(const std::string& path, CentralDirectory& directory) {
    return ReadCentralDirectory(path, directory, DirectoryUse::Listing);
}

}  // namespace

void CXceedZip::ReadDirectoryAhead() { m_listed.ReadAhead(m_strArchivePath, ReadStraight); }

std::shared_ptr<const DirectoryIndex> CXceedZip::ReadDirectoryStraight() {
    std::shared_ptr<const DirectoryIndex> index = m_listed.Find(m_strArchivePath);
    return index ? index : m_listed.Read(m_strArchivePath, ReadStraight);
}

int CXceedZip::ReadDirectoryIndex(std::shared_ptr<const DirectoryIndex>& index) {
    index = ReadDirectoryStraight();
    if (index) return kResultSuccess;
    int result = kResultSuccess;
    index = m_listed.Read(m_strArchivePath, [&](const std::string&, CentralDirectory& directory) {
        zip_t* za = OpenArchive(result);
        if (za) TakeDirectory(za, directory);
        return za != nullptr;
    });
    return result;
}

namespace {

// The folder a listing of one folder names: "" for "*" and "*/", "a/b/" for
// "a/b/*"; false for any other specification.
bool OneFolderSpec(std::string_view spec, std::string_view& folder) {
    while (!spec.empty() && spec.front() == '/') spec.remove_prefix(1);
    if (spec == "*" || spec == "*/") {
        folder = {};
        return true;
    }
    if (spec.size() < 3 || spec.substr(spec.size() - 2) != "/*" || HasWildcards(spec.substr(0, spec.size() - 1)))
        return false;
    folder = spec.substr(0, spec.size() - 1);
    return true;
}

}  // namespace

int CXceedZip::ListContents(ZipContents& contents, int) {
    ActiveScope active(m_nActiveOperation, kListing, [this] { ForgetGatheredParts(); });
    contents.m_items.clear();
    std::shared_ptr<const DirectoryIndex> index;
    if (int result = ReadDirectoryIndex(index)) return result;
    const auto& entries = index->Directory().entries;
    // Option 307 with 16 lists one folder: its subfolders show although
    // only the files below them have entries.
    const bool impliedFolders = GetOption(202) != 0 || (GetOption(307) & 16) != 0;
    const EntrySpecSet included(m_fileSpecs, false);
    const EntrySpecSet excluded(m_excludeSpecs, true);
    auto wanted = [&](const std::string& name) {
        return (included.Empty() || included.Matches(name)) && !excluded.Matches(name);
    };
    auto add = [&](const DirectoryEntry& e) {
        const bool encrypted = e.encryption != ZIP_EM_NONE;
        const bool readable = zip_compression_method_supported(e.method, 0) &&
                              (!encrypted || zip_encryption_method_supported(e.encryption, 0));
        contents.m_items.push_back({e.name, e.basePath, IsFolderName(e.name) ? kFolderAttribute : 0u, e.modified,
                                    encrypted, !readable, e.size, e.compressedSize});
    };
    auto addImplied = [&](const std::string& folder, const DirectoryEntry& below) {
        contents.m_items.push_back({folder, below.basePath, kFolderAttribute, below.modified, false, false, 0, 0});
    };

    // One folder's listing asks the index for that folder alone.
    std::string_view oneFolder;
    if (m_fileSpecs.size() == 1 && m_excludeSpecs.empty() && OneFolderSpec(m_fileSpecs[0], oneFolder)) {
        const DirectoryIndex::Folder* folder = index->Find(oneFolder);
        if (!folder) return kResultSuccess;
        std::unordered_set<std::string_view> stored;
        for (const uint32_t i : folder->entries) {
            const DirectoryEntry& e = entries[i];
            if (IsFolderName(e.name)) stored.insert(e.name);
            if (wanted(e.name)) add(e);
        }
        for (const std::string_view sub : folder->subfolders) {
            const std::string name(sub);
            if (!impliedFolders || stored.count(sub) || !wanted(name)) continue;
            // An entry below a folder lends it its base path and time.
            const DirectoryIndex::Folder* inside = index->Find(sub);
            while (inside && inside->entries.empty() && !inside->subfolders.empty())
                inside = index->Find(inside->subfolders.front());
            if (inside && !inside->entries.empty()) addImplied(name, entries[inside->entries.front()]);
        }
        m_events->ListingProgress(100);
        return kResultSuccess;
    }

    std::unordered_set<std::string> names;
    // The stored names are needed only to tell implied folders from real ones.
    for (size_t i = 0; impliedFolders && i < entries.size(); ++i) names.insert(entries[i].name);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i % 256 == 0) {
            m_events->ListingProgress(Percent(i, entries.size()));
            if (CheckAbort()) return kResultAborted;
        }
        const DirectoryEntry& e = entries[i];
        if (impliedFolders) {
            for (size_t slash = e.name.find('/'); slash != std::string::npos && slash + 1 < e.name.size();
                 slash = e.name.find('/', slash + 1)) {
                const std::string folder = e.name.substr(0, slash + 1);
                if (names.insert(folder).second && wanted(folder)) addImplied(folder, e);
            }
        }
        if (wanted(e.name)) add(e);
    }
    m_events->ListingProgress(100);
    return kResultSuccess;
}

int CXceedZip::ReadArchiveInfo(int& entries, int& parts, int& commentLength, short& encrypted, bool& split) {
    entries = parts = commentLength = 0;
    encrypted = 0;
    split = false;
    // The directory alone answers; libzip is asked only for what it cannot
    // read, so that its error says what is wrong. A directory read whole is
    // kept for the listing and the update that follow.
    DirectoryTotals totals;
    const std::shared_ptr<const DirectoryIndex> index = ReadDirectoryStraight();
    if ((index && TotalsOf(index->Directory(), totals)) || ReadDirectoryTotals(m_strArchivePath, totals)) {
        entries = static_cast<int>(totals.entries);
        parts = static_cast<int>(totals.disks);
        commentLength = static_cast<int>(totals.commentLength);
        encrypted = static_cast<short>(std::min<uint64_t>(totals.encrypted, SHRT_MAX));
        split = parts > 1;
        return kResultSuccess;
    }
    int result;
    zip_t* za = OpenForReading(m_strArchivePath, result);
    if (!za) return result;
    entries = static_cast<int>(zip_get_num_entries(za, 0));
    parts = std::max(1, CountDisks(m_strArchivePath));
    split = parts > 1;
    zip_get_archive_comment(za, &commentLength, 0);
    for (int i = 0; i < entries; ++i) {
        zip_stat_t st;
        if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) == 0 && EntryEncrypted(st)) ++encrypted;
    }
    zip_discard(za);
    return kResultSuccess;
}

int CXceedZip::ReadArchiveStatistics(ArchiveStatistics& s) {
    s = ArchiveStatistics();
    DirectoryTotals totals;
    // Only the directory is needed: a spanned backup's last disk has it, and
    // it was kept when the disks were last read.
    const std::shared_ptr<const DirectoryIndex> index = m_listed.Find(m_strArchivePath);
    if (index && TotalsOf(index->Directory(), totals)) {
        // The directory read last is still the archive's.
    } else if (m_spannedTotals && m_spannedTotals->first == m_strArchivePath &&
               !ReadDirectoryTotals(m_strArchivePath, totals)) {
        totals = m_spannedTotals->second;
    } else if (!ReadDirectoryTotals(m_strArchivePath, totals)) {
        int result;
        zip_t* za = OpenForReading(m_strArchivePath, result);
        if (!za) return result;
        totals.entries = static_cast<uint64_t>(zip_get_num_entries(za, 0));
        CentralDirectory directory;
        TakeDirectory(za, directory);
        for (const auto& e : directory.entries) {
            totals.compressed += e.compressedSize;
            totals.uncompressed += e.size;
            if (IsFolderName(e.name)) ++totals.folders;
        }
    }
    s.entries = static_cast<uint32_t>(totals.entries);
    s.folders = static_cast<int16_t>(totals.folders);
    s.compressedLow = static_cast<uint32_t>(totals.compressed);
    s.compressedHigh = static_cast<uint32_t>(totals.compressed >> 32);
    s.uncompressedLow = static_cast<uint32_t>(totals.uncompressed);
    s.uncompressedHigh = static_cast<uint32_t>(totals.uncompressed >> 32);
    s.ratio = totals.uncompressed
                  ? static_cast<int16_t>(100 - static_cast<int64_t>(totals.compressed * 100 / totals.uncompressed))
                  : 0;
    return kResultSuccess;
}

zip_file_t* CXceedZip::OpenEntry(zip_t* za, uint64_t index, const std::string& name, int& reason) {
    for (;;) {
        const char* password = m_strArchivePassword.empty() ? nullptr : m_strArchivePassword.c_str();
        zip_file_t* zf = zip_fopen_index_encrypted(za, index, 0, password);
        if (zf) return zf;
        const int code = zip_error_code_zip(zip_get_error(za));
        zip_error_clear(za);
        if (code != ZIP_ER_NOPASSWD && code != ZIP_ER_WRONGPASSWD) {
            reason = code == ZIP_ER_ENCRNOTSUPP || code == ZIP_ER_COMPNOTSUPP ? kFailUnsupported : kFailCorrupt;
            return nullptr;
        }
        std::string typed;
        bool retry = false;
        m_events->PasswordRequest(name, typed, retry);
        if (!retry || m_bAbortRequest) {
            reason = kFailPassword;
            return nullptr;
        }
        m_strArchivePassword = typed;
    }
}

namespace {

// Reads an entry to its end: CRC and authentication are checked only by the
// read that reaches it. `sink` gets every block; false from it stops.
int ReadEntry(zip_file_t* zf, const std::function<bool(const char*, size_t)>& sink) {
    char buffer[1 << 16];
    for (;;) {
        const zip_int64_t n = zip_fread(zf, buffer, sizeof buffer);
        if (n < 0) {
            const int code = zip_error_code_zip(zip_file_get_error(zf));
            return code == ZIP_ER_WRONGPASSWD ? kFailPassword : kFailCorrupt;
        }
        if (n == 0) return 0;
        if (!sink(buffer, static_cast<size_t>(n))) return -1;
    }
}

}  // namespace

int CXceedZip::TestArchive(bool) {
    ActiveScope active(m_nActiveOperation, kTesting, [this] { ForgetGatheredParts(); });
    int result;
    zip_t* za = OpenArchive(result, true);
    if (!za) return result;
    const zip_int64_t count = zip_get_num_entries(za, 0);
    uint64_t total = 0, done = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) == 0) total += st.size;
    }
    m_events->OperationTotals(static_cast<uint32_t>(count), total);
    int failures = 0, passwordFailures = 0;
    Throttle throttle;
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t st;
        if (zip_stat_index(za, index, NameFlags(za, index), &st) != 0 || !st.name || IsFolderName(st.name)) continue;
        const std::string name = st.name;
        int reason = 0;
        zip_file_t* zf = OpenEntry(za, index, name, reason);
        if (m_bAbortRequest) {
            if (zf) zip_fclose(zf);
            zip_discard(za);
            return kResultAborted;
        }
        uint64_t entryDone = 0;
        if (zf) {
            const int read = ReadEntry(zf, [&](const char*, size_t n) {
                entryDone += n;
                done += n;
                if (!throttle.Due()) return true;
                m_events->FileProgress(name, Percent(entryDone, st.size));
                m_events->OverallProgress({total, done, Percent(done, total), static_cast<uint32_t>(count),
                                           static_cast<uint32_t>(i), Percent(done, total)});
                return !CheckAbort();
            });
            zip_fclose(zf);
            if (read < 0) {
                zip_discard(za);
                return kResultAborted;
            }
            reason = read;
        }
        if (reason) {
            m_events->FileFailed({name, name, reason});
            (reason == kFailPassword ? passwordFailures : failures)++;
        }
        m_events->FileProgress(name, 100);
    }
    m_events->OverallProgress({total, total, 100, static_cast<uint32_t>(count), static_cast<uint32_t>(count), 100});
    zip_discard(za);
    if (failures) return kResultCorrupt;
    return passwordFailures ? kResultWrongPassword : kResultSuccess;
}

int CXceedZip::ExtractFiles() {
    ActiveScope active(m_nActiveOperation, kExtracting, [this] { ForgetGatheredParts(); });
    int result;
    zip_t* za = OpenArchive(result);
    if (!za) return result;
    struct Selected {
        zip_uint64_t index;
        std::string name;
        zip_stat_t st;
    };
    std::vector<Selected> selected;
    const EntrySpecSet included(m_fileSpecs, false);
    const EntrySpecSet excluded(m_excludeSpecs, true);
    const zip_int64_t count = zip_get_num_entries(za, 0);
    uint64_t total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        const auto index = static_cast<zip_uint64_t>(i);
        if (zip_stat_index(za, index, NameFlags(za, index), &st) != 0 || !st.name) continue;
        const std::string name = st.name;
        if ((!included.Empty() && !included.Matches(name)) || excluded.Matches(name)) continue;
        selected.push_back({static_cast<zip_uint64_t>(i), name, st});
        total += st.size;
    }
    if (selected.empty()) {
        zip_discard(za);
        return kResultNothingToDo;
    }
    m_events->OperationTotals(static_cast<uint32_t>(selected.size()), total);
    const std::string root = m_strExtractFolder.empty() ? "." : m_strExtractFolder;
    int fileErrors = 0, warnings = 0;
    uint64_t done = 0;
    Throttle throttle;
    std::vector<std::pair<std::string, time_t>> folderTimes;
    std::unordered_set<std::string> placedLinks;
    auto giveOwner = [&](zip_uint64_t index, const std::string& target, int fd) {
        uint32_t owner = 0, group = 0;
        if (!m_bRestoreOwners || !GetOwner(za, index, owner, group)) return;
        const int changed = fd >= 0 ? ::fchown(fd, owner, group) : ::lchown(target.c_str(), owner, group);
        if (changed != 0) {
            ++warnings;
            m_events->WarningRaised(target, kWarnPermissionsNotRestored);
        }
    };
    for (size_t k = 0; k < selected.size(); ++k) {
        const auto& s = selected[k];
        const bool folder = IsFolderName(s.name);
        const std::string relative = m_bKeepEntryPaths ? s.name : LastComponent(s.name);
        std::string target = (root == "/" ? "" : root) + "/" + relative;
        while (target.size() > 1 && target.back() == '/') target.pop_back();
        if (IsUnsafeName(s.name) || (!m_bKeepEntryPaths && folder)) {
            if (!folder || IsUnsafeName(s.name)) {
                m_events->FileFailed({s.name, target, kFailUnsafeName});
                ++fileErrors;
            }
            continue;
        }
        struct stat existing {};
        const bool exists = ::lstat(target.c_str(), &existing) == 0;
        const time_t entryTime = GetEntryTime(za, s.index);
        PrepareExtractArgs args{s.name, target, folder ? kFolderAttribute : 32u, false, kSkipNotNewer, exists, entryTime};
        if (!EntryReadable(s.st)) {
            args.skipped = true;
            args.skipReason = kFailUnsupported;
        } else if (m_bSkipExistingTargets && exists) {
            args.skipped = true;
            args.skipReason = kSkipTargetExists;
        } else if (m_bSkipMissingTargets && !exists) {
            args.skipped = true;
            args.skipReason = kSkipTargetMissing;
        } else if (m_bSkipNotNewer && exists && entryTime <= existing.st_mtime) {
            args.skipped = true;
            args.skipReason = kSkipTargetNewer;
        }
        m_events->PrepareExtract(args);
        if (args.skipped) {
            if (args.skipReason > 15) ++fileErrors;
            continue;
        }
        if ((throttle.Due() && CheckAbort()) || m_bAbortRequest) {
            zip_discard(za);
            return kResultAborted;
        }
        // Into the original folders the system's own links (a /home that
        // is a link) are the user's paths: only links this extraction placed
        // are refused there.
        if (root == "/" ? BelowPlacedLink(placedLinks, target) : ThroughLink(root, relative)) {
            m_events->FileFailed({s.name, target, kFailUnsafeName});
            ++fileErrors;
            continue;
        }
        const uint32_t storedMode = GetUnixMode(za, s.index);
        const uint32_t mode = storedMode & 07777;
        if (S_ISLNK(storedMode) && !folder) {
            std::string linkTarget;
            int reason = 0;
            zip_file_t* zf = OpenEntry(za, s.index, s.name, reason);
            if (zf) {
                reason = ReadEntry(zf, [&](const char* data, size_t n) {
                    linkTarget.append(data, n);
                    return true;
                });
                zip_fclose(zf);
            }
            platform::CreateFolderPath(platform::FolderPart(target));
            if (!reason && !PlaceLink(linkTarget, target)) reason = kFailCannotWrite;
            if (reason) {
                m_events->FileFailed({s.name, target, reason});
                ++fileErrors;
            } else {
                placedLinks.insert(target);
                giveOwner(s.index, target, -1);
            }
            continue;
        }
        if (folder) {
            if (platform::CreateFolderPath(target) != 0) {
                m_events->FileFailed({s.name, target, kFailCannotWrite});
                ++fileErrors;
            } else {
                giveOwner(s.index, target, -1);
                if (mode && ::chmod(target.c_str(), mode) != 0) ++warnings;
                folderTimes.emplace_back(target, entryTime);
            }
            continue;
        }
        int reason = 0;
        zip_file_t* zf = OpenEntry(za, s.index, s.name, reason);
        if (m_bAbortRequest) {
            if (zf) zip_fclose(zf);
            zip_discard(za);
            return kResultAborted;
        }
        if (!zf) {
            m_events->FileFailed({s.name, target, reason});
            ++fileErrors;
            continue;
        }
        platform::CreateFolderPath(platform::FolderPart(target));
        // The target is replaced only once the entry has read to its end
        // and passed its checks.
        std::string temp = platform::FolderPart(target) + "/." + platform::FileNamePart(target) + ".XXXXXX";
        int fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0) {
            zip_fclose(zf);
            m_events->FileFailed({s.name, target, kFailCannotWrite});
            ++fileErrors;
            continue;
        }
        uint64_t entryDone = 0;
        bool writeFailed = false;
        const int read = ReadEntry(zf, [&](const char* data, size_t n) {
            for (size_t off = 0; off < n;) {
                const ssize_t w = ::write(fd, data + off, n - off);
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) {
                    writeFailed = true;
                    return false;
                }
                off += static_cast<size_t>(w);
            }
            entryDone += n;
            done += n;
            if (!throttle.Due()) return true;
            m_events->FileProgress(s.name, Percent(entryDone, s.st.size));
            m_events->OverallProgress({total, done, Percent(done, total), static_cast<uint32_t>(selected.size()),
                                       static_cast<uint32_t>(k), Percent(done, total)});
            return !CheckAbort();
        });
        zip_fclose(zf);
        if (read != 0 || writeFailed) {
            ::close(fd);
            ::unlink(temp.c_str());
            if (read < 0 && !writeFailed) {
                zip_discard(za);
                return kResultAborted;
            }
            m_events->FileFailed({s.name, target, writeFailed ? kFailCannotWrite : read});
            ++fileErrors;
            continue;
        }
        // Before the mode: a change of owner clears set-user-ID bits.
        giveOwner(s.index, target, fd);
        if (::fchmod(fd, mode ? mode : 0644) != 0) {
            ++warnings;
            m_events->WarningRaised(target, kWarnPermissionsNotRestored);
        }
        const struct timespec times[2] = {{entryTime, 0}, {entryTime, 0}};
        if (::futimens(fd, times) != 0) {
            ++warnings;
            m_events->WarningRaised(target, kWarnTimesNotRestored);
        }
        ::close(fd);
        if (::rename(temp.c_str(), target.c_str()) != 0) {
            ::unlink(temp.c_str());
            m_events->FileFailed({s.name, target, kFailCannotWrite});
            ++fileErrors;
            continue;
        }
        m_events->FileProgress(s.name, 100);
    }
    // Folder times last: writing their files changed them.
    for (auto it = folderTimes.rbegin(); it != folderTimes.rend(); ++it) {
        const struct timespec times[2] = {{it->second, 0}, {it->second, 0}};
        ::utimensat(AT_FDCWD, it->first.c_str(), times, 0);
    }
    m_events->OverallProgress({total, total, 100, static_cast<uint32_t>(selected.size()),
                               static_cast<uint32_t>(selected.size()), 100});
    zip_discard(za);
    if (fileErrors) return kResultFileErrors;
    return warnings ? kResultWarnings : kResultSuccess;
}

namespace {

// Opens the archive for a rewrite whose result goes to writePath.
zip_t* OpenForRewrite(const ArchiveFileTarget& target, int& result) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = CreateArchiveSource(target, &error);
    zip_t* za = source ? zip_open_from_source(source, 0, &error) : nullptr;
    const int code = zip_error_code_zip(&error);
    zip_error_fini(&error);
    if (!za) {
        if (source) zip_source_free(source);
        result = code == ZIP_ER_MULTIDISK ? kResultSplitNotUpdatable : OpenResult(code);
    }
    return za;
}

}  // namespace

int CXceedZip::CloseRewrite(::zip* za) {
    zip_register_cancel_callback_with_state(
        za, [](zip_t*, void* self) { return static_cast<CXceedZip*>(self)->CheckAbort() ? 1 : 0; }, nullptr, this);
    if (zip_close(za) == 0) return kResultSuccess;
    const int code = zip_error_code_zip(zip_get_error(za));
    zip_discard(za);
    return m_bAbortRequest || code == ZIP_ER_CANCELLED ? kResultAborted : kResultCannotWrite;
}

int CXceedZip::RemoveFiles() {
    ActiveScope active(m_nActiveOperation, kRemoving);
    if (!platform::PathExists(m_strArchivePath)) return kResultCannotOpen;
    if (CountDisks(m_strArchivePath) > 1) return kResultSplitNotUpdatable;
    int result = kResultSuccess;
    zip_t* za = OpenForRewrite({m_strArchivePath, m_strArchivePath, ""}, result);
    if (!za) return result;
    std::vector<std::pair<std::string, std::string>> removed;
    const zip_int64_t count = zip_get_num_entries(za, 0);
    std::vector<std::string> names;
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        const char* raw = zip_get_name(za, index, NameFlags(za, index));
        names.push_back(raw ? raw : "");
    }
    // A specification that is an entry's exact name names that entry (and
    // every duplicate of it) only: names may hold "*", "?", a leading "/"
    // or control characters, and must still be removed exactly.
    const std::unordered_set<std::string> literal(names.begin(), names.end());
    const std::unordered_set<std::string> specs(m_fileSpecs.begin(), m_fileSpecs.end());
    std::vector<std::string> patterns;
    for (const auto& spec : m_fileSpecs)
        if (!literal.count(spec)) patterns.push_back(spec);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        const std::string& name = names[static_cast<size_t>(i)];
        if (name.empty()) continue;
        bool match = specs.count(name) != 0;
        for (const auto& spec : patterns) match = match || MatchEntrySpec(spec, name);
        if (!match) continue;
        std::string base = GetBasePath(za, index);
        if (base.empty()) base = "/";
        if (zip_delete(za, index) == 0) removed.emplace_back(name, base);
    }
    if (removed.empty()) {
        zip_discard(za);
        return kResultNothingToDo;
    }
    if (int result = CloseRewrite(za)) return result;
    for (const auto& [name, base] : removed) m_events->FileRemoved(name, base);
    return kResultSuccess;
}

int CXceedZip::CopyToArchive(const std::string& targetPath) {
    ActiveScope active(m_nActiveOperation, kCopying);
    if (targetPath.empty() || platform::SamePath(targetPath, m_strArchivePath)) return kResultCannotOpen;
    if (platform::PathExists(targetPath)) return kResultTargetExists;
    if (!platform::PathExists(m_strArchivePath)) return kResultCannotOpen;
    if (CountDisks(m_strArchivePath) > 1) return kResultSplitNotUpdatable;
    int result = kResultSuccess;
    zip_t* za = OpenForRewrite({m_strArchivePath, targetPath, ""}, result);
    if (!za) return result;
    const zip_int64_t count = zip_get_num_entries(za, 0);
    zip_int64_t kept = 0;
    Throttle throttle;
    for (zip_int64_t i = 0; i < count; ++i) {
        if (throttle.Due() && CheckAbort()) {
            zip_discard(za);
            return kResultAborted;
        }
        const auto index = static_cast<zip_uint64_t>(i);
        const char* raw = zip_get_name(za, index, NameFlags(za, index));
        if (!raw) continue;
        std::string base = GetBasePath(za, index);
        if (base.empty()) base = "/";
        SelectFileForCopyArgs args{raw, base, IsFolderName(raw) ? kFolderAttribute : 32u, true};
        m_events->SelectFileForCopy(args);
        if (args.skip)
            zip_delete(za, index);
        else
            ++kept;
    }
    if (kept == 0) {
        zip_discard(za);
        return kResultNothingToDo;
    }
    if (kept == count) {
        // libzip writes nothing for an unchanged archive: every entry is
        // wanted, so the copy is the file itself.
        zip_discard(za);
        return platform::CopyFileAtomically(m_strArchivePath, targetPath) == 0 ? kResultSuccess : kResultCannotWrite;
    }
    return CloseRewrite(za);
}

}  // namespace zipcomponent
