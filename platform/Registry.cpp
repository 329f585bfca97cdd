#include "platform/Registry.h"

#include "platform/FileSystem.h"

#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::registry {

namespace {

std::string JoinKey(std::string_view a, std::string_view b) {
    if (a.empty()) return std::string(b);
    if (b.empty()) return std::string(a);
    return std::string(a) + "\\" + std::string(b);
}

// A missing hive file is an empty hive; an unreadable or damaged one is an error.
int LoadHive(Hive hive, RegistryHive& out) {
    std::string text;
    int err = ReadWholeFile(HiveFilePath(hive), text);
    if (err == ENOENT) {
        out = RegistryHive();
        return 0;
    }
    if (err) return err;
    auto parsed = RegistryHive::Parse(text, RootName(hive));
    if (!parsed) return EINVAL;
    out = std::move(*parsed);
    return 0;
}

// Write permission bits count even for root, so a hive file marked read-only
// behaves like a key the user may not change.
bool HiveWritable(Hive hive) {
    std::string path = HiveFilePath(hive);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return (st.st_mode & 0222) && ::access(path.c_str(), W_OK) == 0;
    std::string folder = FolderPart(path);
    while (!folder.empty() && !IsFolder(folder)) folder = FolderPart(folder);
    return !folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

class HiveLock {
public:
    explicit HiveLock(const std::string& hivePath) {
        std::string lockPath = hivePath + ".lock";
        m_fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (m_fd < 0) {
            m_error = errno;
            return;
        }
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                m_error = errno;
                return;
            }
        }
    }
    ~HiveLock() {
        if (m_fd >= 0) ::close(m_fd);
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;
    int Error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};

// Loads the hive under the lock, lets `change` modify it and writes it back
// when `change` reports that something changed.
int Modify(Hive hive, const std::function<int(RegistryHive&, bool& changed)>& change) {
    if (!HiveWritable(hive)) return EACCES;
    const std::string path = HiveFilePath(hive);
    if (int err = CreateFolderPath(FolderPart(path))) return err;
    HiveLock lock(path);
    if (lock.Error()) return lock.Error();
    RegistryHive data;
    if (int err = LoadHive(hive, data)) return err;
    bool changed = false;
    if (int err = change(data, changed)) return err;
    if (!changed) return 0;
    return WriteFileAtomically(path, data.Format(RootName(hive)));
}

struct KeySnapshot {
    std::string relativePath;
    std::vector<std::pair<std::string, RegValue>> values;
};

// The source key and every key below it, parents before children.
void CollectTree(const RegistryHive& data, const std::string& path, const std::string& relative,
                 std::optional<std::string_view> skipPrefix, std::vector<KeySnapshot>& out) {
    KeySnapshot snap{relative, {}};
    if (const RegKeyData* key = data.FindKey(path)) snap.values = key->values;
    out.push_back(std::move(snap));
    for (const auto& child : data.SubKeyNames(path)) {
        if (skipPrefix && child.size() >= skipPrefix->size() &&
            RegNamesEqual(std::string_view(child).substr(0, skipPrefix->size()), *skipPrefix))
            continue;
        CollectTree(data, JoinKey(path, child), JoinKey(relative, child), std::nullopt, out);
    }
}

}  // namespace

const char* RootName(Hive hive) {
    switch (hive) {
        case Hive::LocalMachine: return "HKEY_LOCAL_MACHINE";
        case Hive::CurrentUser: return "HKEY_CURRENT_USER";
        case Hive::Users: return "HKEY_USERS";
    }
    return "";
}

std::string HiveFilePath(Hive hive) {
    const char* fileName = hive == Hive::LocalMachine ? "machine.reg"
                           : hive == Hive::CurrentUser ? "user.reg"
                                                       : "default-user.reg";
    if (const char* dir = std::getenv("VELLORA_REGISTRY_DIR"); dir && *dir)
        return std::string(dir) + "/" + fileName;
    if (hive == Hive::CurrentUser)
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString() +
               "/vellora/" + fileName;
    return std::string("/etc/vellora/") + fileName;
}

int OpenKey(Hive hive, std::string_view path, Access access) {
    RegistryHive data;
    if (int err = LoadHive(hive, data)) return err;
    if (!data.KeyExists(path)) return ENOENT;
    if (access == Access::Full && !HiveWritable(hive)) return EACCES;
    return 0;
}

int CreateKey(Hive hive, std::string_view path, Access access) {
    int err = OpenKey(hive, path, access);
    if (err != ENOENT) return err;
    return Modify(hive, [&](RegistryHive& data, bool& changed) {
        if (!data.KeyExists(path)) {
            data.CreateKey(path);
            changed = true;
        }
        return 0;
    });
}

int QueryValue(Hive hive, std::string_view path, std::string_view name, RegValue& value) {
    RegistryHive data;
    if (int err = LoadHive(hive, data)) return err;
    const RegKeyData* key = data.FindKey(path);
    const RegValue* found = key ? key->FindValue(name) : nullptr;
    if (!found) return ENOENT;
    value = *found;
    return 0;
}

int SetValue(Hive hive, std::string_view path, std::string_view name, const RegValue& value) {
    return Modify(hive, [&](RegistryHive& data, bool& changed) {
        RegKeyData& key = data.CreateKey(path);
        const RegValue* old = key.FindValue(name);
        if (!old || !(*old == value)) {
            key.SetValue(name, value);
            changed = true;
        }
        return 0;
    });
}

int EnumValueNames(Hive hive, std::string_view path, std::vector<std::string>& names) {
    names.clear();
    RegistryHive data;
    if (int err = LoadHive(hive, data)) return err;
    if (!data.KeyExists(path)) return ENOENT;
    if (const RegKeyData* key = data.FindKey(path))
        for (const auto& [n, v] : key->values) names.push_back(n);
    return 0;
}

int EnumSubKeys(Hive hive, std::string_view path, std::vector<std::string>& names) {
    names.clear();
    RegistryHive data;
    if (int err = LoadHive(hive, data)) return err;
    if (!data.KeyExists(path)) return ENOENT;
    names = data.SubKeyNames(path);
    return 0;
}

int CopyKeyTree(Hive srcHive, std::string_view srcPath, Hive dstHive, std::string_view dstParent,
                std::string_view dstName) {
    const std::string source(srcPath);
    const bool selfCopy = srcHive == dstHive && RegNamesEqual(srcPath, dstParent);
    const std::optional<std::string_view> skip = selfCopy ? std::optional(dstName) : std::nullopt;

    auto apply = [&](const RegistryHive& from, RegistryHive& to) {
        if (!from.KeyExists(source)) return ENOENT;
        std::vector<KeySnapshot> tree;
        CollectTree(from, source, "", skip, tree);
        const std::string target = JoinKey(dstParent, dstName);
        for (const auto& snap : tree) {
            RegKeyData& key = to.CreateKey(JoinKey(target, snap.relativePath));
            for (const auto& [n, v] : snap.values) key.SetValue(n, v);
        }
        return 0;
    };

    if (srcHive == dstHive) {
        return Modify(dstHive, [&](RegistryHive& data, bool& changed) {
            RegistryHive snapshot = data;
            int err = apply(snapshot, data);
            changed = err == 0;
            return err;
        });
    }
    RegistryHive from;
    if (int err = LoadHive(srcHive, from)) return err;
    if (!from.KeyExists(source)) return ENOENT;
    return Modify(dstHive, [&](RegistryHive& data, bool& changed) {
        int err = apply(from, data);
        changed = err == 0;
        return err;
    });
}

}  // namespace platform::registry
