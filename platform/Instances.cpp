#include "platform/Instances.h"

#include "platform/FileSystem.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

std::string EntryPath(pid_t pid) { return InstancesFolder() + "/" + std::to_string(pid) + ".instance"; }
// A live instance holds an flock on this file; one that was killed holds none.
std::string LockPath(pid_t pid) { return InstancesFolder() + "/" + std::to_string(pid) + ".lock"; }

// The address of an instance's socket, named in the temporary folder; false
// when the path does not fit one.
bool SocketAddress(const std::string& socketName, sockaddr_un& address) {
    const std::string path = GetWindowsTempFolder() + "/" + socketName;
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

void RemoveSocket(const std::string& socketName) {
    sockaddr_un address;
    if (SocketAddress(socketName, address)) ::unlink(address.sun_path);
}

// Waits for fd to be ready for `events`, at most `milliseconds`.
bool Ready(int fd, short events, int milliseconds) {
    pollfd p{fd, events, 0};
    int n;
    while ((n = ::poll(&p, 1, milliseconds)) < 0 && errno == EINTR) {
    }
    return n > 0;
}

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
    RemoveSocket(info.socketName);
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

// The listening socket, served from the event loop: each program that
// connects sends a word and is hung up on.
struct InstanceRegistration::Impl {
    InstanceInfo info;
    std::function<void()> onShow;
    bool registered = false;
    int lockFd = -1;
    int listenFd = -1;
    std::unique_ptr<QSocketNotifier> listening;
    std::vector<std::unique_ptr<QSocketNotifier>> callers;

    bool Listen(std::string& error);
    void Accept();
    void Serve(QSocketNotifier* caller);
};

bool InstanceRegistration::Impl::Listen(std::string& error) {
    sockaddr_un address;
    if (!SocketAddress(info.socketName, address)) {
        error = "the local socket " + info.socketName + " cannot be made: its path is too long";
        return false;
    }
    ::unlink(address.sun_path);
    listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listenFd < 0 || ::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd, 16) != 0) {
        error = "the local socket " + info.socketName + " cannot be made: " + GetSystemErrorText(errno);
        if (listenFd >= 0) ::close(listenFd);
        listenFd = -1;
        return false;
    }
    listening = std::make_unique<QSocketNotifier>(listenFd, QSocketNotifier::Read);
    QObject::connect(listening.get(), &QSocketNotifier::activated, [this] { Accept(); });
    return true;
}

void InstanceRegistration::Impl::Accept() {
    int fd;
    while ((fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0) {
        callers.push_back(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read));
        QSocketNotifier* caller = callers.back().get();
        QObject::connect(caller, &QSocketNotifier::activated, [this, caller] { Serve(caller); });
    }
}

void InstanceRegistration::Impl::Serve(QSocketNotifier* caller) {
    char word[16];
    const ssize_t n = ::read(static_cast<int>(caller->socket()), word, sizeof word);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    const bool show = n >= 4 && std::memcmp(word, "show", 4) == 0;
    const int fd = static_cast<int>(caller->socket());
    caller->setEnabled(false);
    const auto it = std::find_if(callers.begin(), callers.end(), [&](const auto& c) { return c.get() == caller; });
    // Deleted later: this runs inside the notifier's own signal.
    it->release()->deleteLater();
    callers.erase(it);
    ::close(fd);
    if (show && onShow) onShow();
}

InstanceRegistration::InstanceRegistration() : m_impl(std::make_unique<Impl>()) {}

InstanceRegistration::~InstanceRegistration() {
    for (auto& caller : m_impl->callers) ::close(static_cast<int>(caller->socket()));
    m_impl->callers.clear();
    m_impl->listening.reset();
    if (m_impl->listenFd >= 0) {
        ::close(m_impl->listenFd);
        RemoveSocket(m_impl->info.socketName);
    }
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
    if (impl.listenFd < 0 && !impl.Listen(m_error)) return false;
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
    sockaddr_un address;
    if (!SocketAddress(instance.socketName, address)) return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    constexpr char kWord[] = "show\n";
    const bool sent = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                      ::send(fd, kWord, sizeof kWord - 1, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof kWord - 1);
    // The instance hangs up once it has read the word.
    char rest;
    if (sent && Ready(fd, POLLIN, 2000)) {
        while (::read(fd, &rest, 1) < 0 && errno == EINTR) {
        }
    }
    ::close(fd);
    return sent;
}

}  // namespace platform
