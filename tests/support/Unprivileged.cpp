#include "tests/support/Unprivileged.h"

#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace testsupport {

namespace {

constexpr const char* kSetpriv = "/usr/bin/setpriv";

bool AsRoot() { return ::geteuid() == 0; }

const passwd* Nobody() { return ::getpwnam("nobody"); }

}  // namespace

bool Unprivileged::Available(std::string& why) {
    if (!AsRoot()) return true;
    if (!Nobody()) {
        why = "there is no user \"nobody\" to run as";
        return false;
    }
    if (::access(kSetpriv, X_OK) != 0) {
        why = "setpriv is not installed";
        return false;
    }
    return true;
}

void Unprivileged::Prepare(const std::string& root) {
    if (!AsRoot()) return;
    const passwd* nobody = Nobody();
    ::lchown(root.c_str(), nobody->pw_uid, nobody->pw_gid);
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        ::lchown(it->path().c_str(), nobody->pw_uid, nobody->pw_gid);
}

ProcessResult Unprivileged::Run(const std::string& program, const std::vector<std::string>& args) {
    if (!AsRoot()) return RunProgram(program, args);
    const passwd* nobody = Nobody();
    std::vector<std::string> full = {"--reuid=" + std::to_string(nobody->pw_uid),
                                     "--regid=" + std::to_string(nobody->pw_gid), "--clear-groups", "--", program};
    full.insert(full.end(), args.begin(), args.end());
    return RunProgram(kSetpriv, full);
}

}  // namespace testsupport
