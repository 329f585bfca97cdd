#include "platform/Instances.h"

#include "platform/FileSystem.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sstream>
#include <unistd.h>

namespace platform {

namespace {

std::string EntryPath(pid_t pid) { return InstancesFolder() + "/" + std::to_string(pid) + ".instance"; }
// A live instance holds an flock on this file; one that was killed holds none.
std::string LockPath(pid_t pid) { return InstancesFolder() + "/" + std::to_string(pid) + ".lock"; }

// Whether the instance that wrote the entry is gone. Its lock tells, even
// when its process number has been given to another program since.
bool Stale(const InstanceInfo& info) {
    const int fd = ::open(LockPath(info.pid).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return ::kill(info.pid, 0) != 0 && errno == ESRCH;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

void RemoveStale(const std::string& entryPath, const InstanceInfo& info) {
    ::unlink(entryPath.c_str());
    ::unlink(LockPath(info.pid).c_str());
    QLocalServer::removeServer(QString::fromStdString(info.socketName));
}

bool WriteEntry(const InstanceInfo& info) {
    const std::string text = info.className + "\n" + info.title + "\n" + std::to_string(info.pid) + "\n" +
                             info.socketName + "\n";
    return WriteSessionFileAtomically(EntryPath(info.pid), text) == 0;
}

std::optional<InstanceInfo> ReadEntry(const std::string& path) {
    std::string text;
    if (ReadWholeFile(path, text) != 0) return std::nullopt;
    std::istringstream in(text);
    InstanceInfo info;
    std::string pid;
    if (!std::getline(in, info.className) || !std::getline(in, info.title) || !std::getline(in, pid) ||
        !std::getline(in, info.socketName))
        return std::nullopt;
    try {
        info.pid = static_cast<pid_t>(std::stol(pid));
    } catch (...) {
        return std::nullopt;
    }
    return info;
}

}  // namespace

struct InstanceRegistration::Impl {
    InstanceInfo info;
    QLocalServer server;
    std::function<void()> onShow;
    bool registered = false;
    int lockFd = -1;
};

InstanceRegistration::InstanceRegistration() : m_impl(std::make_unique<Impl>()) {}

InstanceRegistration::~InstanceRegistration() {
    if (m_impl->registered) ::unlink(EntryPath(m_impl->info.pid).c_str());
    if (m_impl->lockFd >= 0) {
        ::unlink(LockPath(m_impl->info.pid).c_str());
        ::close(m_impl->lockFd);
    }
}

bool InstanceRegistration::Register(const std::string& className, const std::string& title,
                                    std::function<void()> onShow) {
    if (RuntimeFolder(&m_error).empty()) return false;
    if (int err = CreateFolderPath(InstancesFolder())) {
        m_error = "the folder " + InstancesFolder() + " cannot be made: " + GetSystemErrorText(err);
        return false;
    }
    Impl& impl = *m_impl;
    impl.info = {className, title, ::getpid(), "vellora-" + std::to_string(::getuid()) + "-" + std::to_string(::getpid())};
    impl.onShow = std::move(onShow);
    if (impl.lockFd < 0) {
        impl.lockFd = ::open(LockPath(impl.info.pid).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (impl.lockFd < 0 || ::flock(impl.lockFd, LOCK_EX | LOCK_NB) != 0) {
            m_error = "the instance lock in " + InstancesFolder() + " cannot be taken: " + GetSystemErrorText(errno);
            return false;
        }
    }
    QLocalServer::removeServer(QString::fromStdString(impl.info.socketName));
    if (!impl.server.listen(QString::fromStdString(impl.info.socketName))) {
        m_error = "the local socket " + impl.info.socketName + " cannot be made: " + impl.server.errorString().toStdString();
        return false;
    }
    QObject::connect(&impl.server, &QLocalServer::newConnection, [this] {
        while (QLocalSocket* socket = m_impl->server.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                if (socket->readAll().startsWith("show") && m_impl->onShow) m_impl->onShow();
                socket->disconnectFromServer();
            });
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    impl.registered = WriteEntry(impl.info);
    if (!impl.registered) m_error = "the instance entry in " + InstancesFolder() + " cannot be written";
    return impl.registered;
}

bool InstanceRegistration::SetTitle(const std::string& title) {
    m_impl->info.title = title;
    return m_impl->registered && WriteEntry(m_impl->info);
}

std::string RuntimeFolder(std::string* why) {
    const char* set = std::getenv("XDG_RUNTIME_DIR");
    // Where no session made one (cron, ssh): a private folder of our own.
    const std::string folder =
        set && *set ? std::string(set) : GetWindowsTempFolder() + "/runtime-" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
    struct stat st {};
    std::string problem;
    if (::stat(folder.c_str(), &st) != 0)
        problem = GetSystemErrorText(errno);
    else if (!S_ISDIR(st.st_mode))
        problem = "it is not a folder";
    else if (st.st_uid != ::getuid())
        problem = "it belongs to another user";
    else if ((st.st_mode & 0022) != 0)
        problem = "others may write to it";
    if (problem.empty()) return folder;
    if (why) *why = "the runtime folder " + folder + " cannot be used: " + problem;
    return "";
}

std::string InstancesFolder() {
    const std::string runtime = RuntimeFolder(nullptr);
    return runtime.empty() ? "" : runtime + "/vellora/instances";
}

std::vector<InstanceInfo> ListInstances(const std::string& className) {
    std::vector<InstanceInfo> found;
    const std::string folder = InstancesFolder();
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return found;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.size() > 9 && name.compare(name.size() - 9, 9, ".instance") == 0) names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        auto info = ReadEntry(folder + "/" + name);
        if (!info) continue;
        // An entry left by a process that died is stale: it goes, with its socket.
        if (Stale(*info)) {
            RemoveStale(folder + "/" + name, *info);
            continue;
        }
        if (info->className == className) found.push_back(*info);
    }
    return found;
}

std::optional<InstanceInfo> FindInstance(const std::string& className, const std::string& part) {
    for (const auto& info : ListInstances(className))
        if (info.title.find(part) != std::string::npos) return info;
    return std::nullopt;
}

bool AskToShow(const InstanceInfo& instance) {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(instance.socketName));
    if (!socket.waitForConnected(2000)) return false;
    socket.write("show\n");
    const bool sent = socket.waitForBytesWritten(2000);
    socket.waitForDisconnected(2000);
    return sent;
}

}  // namespace platform
