// vellora-restore: lists a backup and restores from it, for servers and
// scripts, through the same restore as the editor's Restore tab.

#include "jobmodel/AppDoc.h"
#include "jobmodel/SettingsRegistry.h"
#include "logbook/LogBookBase.h"
#include "platform/FileSystem.h"
#include "platform/MessageService.h"
#include "restore/RestorePage.h"
#include "restore/Versions.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int Usage() {
    std::fputs(
        "usage: vellora-restore BACKUP --list [FOLDER...]\n"
        "       vellora-restore BACKUP --versions PATH\n"
        "       vellora-restore BACKUP [--from ARCHIVE] [--to DIR | --flat DIR]\n"
        "                       [--only-existing | --only-missing | --only-newer] [--exclude PATH]...\n"
        "                       [--password-file FILE] [--dry-run] [PATH...]\n",
        stderr);
    return kExitUsage;
}

bool Interactive() { return ::isatty(STDIN_FILENO) && ::isatty(STDERR_FILENO); }

// Messages on the terminal: questions are asked there when a person is at
// it; otherwise they get the safe answer.
class TerminalMessages : public platform::IMessageService {
public:
    int Show(const std::string& text, const std::string&, unsigned style) override {
        std::fprintf(stderr, "%s\n", text.c_str());
        const unsigned buttons = style & platform::MB_TYPEMASK;
        if (buttons == platform::MB_OK || !Interactive()) return platform::SafeAnswer(style);
        const bool yesNo = buttons == platform::MB_YESNO || buttons == platform::MB_YESNOCANCEL;
        std::fputs(yesNo ? "[y/N] " : "Press Enter to continue, or type c to cancel: ", stderr);
        std::string answer;
        if (!std::getline(std::cin, answer)) return platform::SafeAnswer(style);
        if (yesNo) return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y') ? platform::IDYES : platform::IDNO;
        return answer.empty() ? platform::IDOK : platform::IDCANCEL;
    }
};

std::optional<std::string> AskPasswordOnTerminal() {
    if (!Interactive()) return std::nullopt;
    std::fputs("Password: ", stderr);
    termios old {};
    const bool quiet = ::tcgetattr(STDIN_FILENO, &old) == 0;
    if (quiet) {
        termios silent = old;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    std::string password;
    const bool read = static_cast<bool>(std::getline(std::cin, password));
    if (quiet) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    std::fputs("\n", stderr);
    if (!read) return std::nullopt;
    return password;
}

struct Options {
    std::string backup;
    bool list = false;
    bool dryRun = false;
    std::string versionsOf;
    std::string from;
    int destMode = restore::kOriginalFolders;
    std::string destination;
    int overwrite = restore::kRestoreAll;
    std::vector<std::string> excludes;
    std::string passwordFile;
    std::vector<std::string> paths;
};

bool Parse(int argc, char** argv, Options& o) {
    if (argc < 2) return false;
    o.backup = argv[1];
    int overwriteChoices = 0, destChoices = 0;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        if (a == "--list") {
            o.list = true;
        } else if (a == "--dry-run") {
            o.dryRun = true;
        } else if (a == "--versions") {
            if (!value(o.versionsOf)) return false;
        } else if (a == "--from") {
            if (!value(o.from)) return false;
        } else if (a == "--to" || a == "--flat") {
            o.destMode = a == "--to" ? restore::kAlternateFolder : restore::kSpecificFolder;
            ++destChoices;
            if (!value(o.destination)) return false;
        } else if (a == "--only-existing" || a == "--only-missing" || a == "--only-newer") {
            o.overwrite = a == "--only-existing" ? restore::kOnlyExisting
                          : a == "--only-missing" ? restore::kOnlyMissing
                                                  : restore::kOnlyNewer;
            ++overwriteChoices;
        } else if (a == "--exclude") {
            if (!value(o.excludes.emplace_back())) return false;
        } else if (a == "--password-file") {
            if (!value(o.passwordFile)) return false;
        } else if (a.size() > 1 && a.compare(0, 2, "--") == 0) {
            return false;
        } else {
            o.paths.push_back(a);
        }
    }
    if (overwriteChoices > 1 || destChoices > 1) return false;
    const bool restoring = destChoices || overwriteChoices || !o.excludes.empty() || o.dryRun || !o.from.empty();
    if (!o.versionsOf.empty()) return !o.list && !restoring && o.paths.empty();
    return !o.list || !restoring;
}

std::string Absolute(const std::string& path) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

// Lists folder by folder, as the tree opens them: a folder's line, then
// what it holds. Each folder's listing comes from the component's folder
// index, so a backup of millions of entries lists in seconds.
int List(restore::CRestorePage& page, const Options& o) {
    auto& zip = page.m_zip;
    zip.m_strArchivePath = o.backup;
    zip.SetExcludeSpecList("");
    zip.SetOption(202, 0);
    zip.SetOption(307, 16);
    const bool everything = o.paths.empty();
    std::vector<std::string> pending;  // folder specifications still to list, last first
    for (auto it = o.paths.rbegin(); it != o.paths.rend(); ++it) {
        std::string folder = *it;
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        while (!folder.empty() && folder.front() == '/') folder.erase(0, 1);
        pending.push_back(folder.empty() ? "*" : folder + "/*");
    }
    if (everything) pending.emplace_back("*");
    std::string out;
    while (!pending.empty()) {
        zip.SetFileSpecList(pending.back());
        pending.pop_back();
        zipcomponent::ZipContents contents;
        const int result = zip.ListContents(contents, 0);
        if (result >= 2) {
            std::fprintf(stderr, "Error %d: %s\n", result, zipcomponent::CXceedZip::DescribeCode(0, result).c_str());
            return kExitUsage;
        }
        std::vector<std::string> below;
        for (const auto& item : contents.m_items) {
            out += restore::TreePath(item.basePath, item.name);
            out += '\n';
            if (everything && (item.attributes & selection::kFolderAttribute)) below.push_back(item.name + "*");
        }
        pending.insert(pending.end(), below.rbegin(), below.rend());
        if (out.size() > (1 << 20)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailed;
}

// The archive zip an argument names, by its path or its file name.
std::string ArchiveNamed(const std::string& backup, const std::string& archive) {
    for (const auto& entry : restore::ListBackupFiles(backup))
        if (entry.path == Absolute(archive) || platform::FileNamePart(entry.path) == archive) return entry.path;
    return archive;
}

// One line per copy: its label, modification time, size and zip.
int Versions(const Options& o) {
    restore::CVersionCatalog catalog;
    std::string path = o.versionsOf;
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    const auto versions = catalog.FindVersions(restore::ListBackupFiles(o.backup), path);
    if (versions.empty()) {
        std::fprintf(stderr, "Not in the backup or its archives: %s\n", path.c_str());
        return kExitFailed;
    }
    for (const auto& v : versions) {
        std::tm local {};
        localtime_r(&v.modified, &local);
        char when[32];
        std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
        std::printf("%s\t%s\t%llu\t%s\n", v.label.c_str(), when, static_cast<unsigned long long>(v.size),
                    v.zipPath.c_str());
    }
    return kExitOk;
}

// Marks a path of the backup in the tree; false when it is not there.
bool Mark(restore::CRestoreTree& tree, const std::string& path, bool include) {
    selection::SelectionNode* node = tree.FindPath(path);
    if (!node || node == tree.Root()) {
        std::fprintf(stderr, "Not in the backup: %s\n", path.c_str());
        return false;
    }
    if (include)
        tree.SetItemState(*node, node->IsFolder() ? selection::kFolderTree : selection::kFileSelected);
    else if (node->state == selection::kIncluded)
        tree.SetItemState(*node, node->IsFolder() ? selection::kExcludedFolder : selection::kFileExcludedInTree);
    else if (node->state == selection::kFileIncluded)
        tree.SetItemState(*node, selection::kFileExcludedInFolder);
    return true;
}

int Restore(restore::CRestorePage& page, const Options& o) {
    if (!platform::PathExists(o.backup)) {
        std::fprintf(stderr, "Error: Backup file does not exist\n%s\n", o.backup.c_str());
        return kExitUsage;
    }
    if (!o.passwordFile.empty()) {
        std::string password;
        if (int err = platform::ReadWholeFile(o.passwordFile, password)) {
            std::fprintf(stderr, "Cannot read %s: %s\n", o.passwordFile.c_str(), platform::GetSystemErrorText(err).c_str());
            return kExitUsage;
        }
        if (const size_t end = password.find_first_of("\r\n"); end != std::string::npos) password.resize(end);
        page.m_zip.m_strArchivePassword = password;
    }
    if (o.from.empty()) {
        page.RefreshBackupList();
    } else if (!page.SelectBackupPath(ArchiveNamed(o.backup, o.from))) {
        std::fprintf(stderr, "Not an archive of this backup: %s\n", o.from.c_str());
        return kExitUsage;
    }
    if (!page.Tree().Root() || page.Tree().Root()->children.empty()) return kExitUsage;
    if (o.destMode == restore::kOriginalFolders && !page.m_bHasDriveRoots) {
        std::fputs("This backup holds no original folders (it was made by another program): use --to or --flat.\n",
                   stderr);
        return kExitUsage;
    }
    page.m_nDestMode = o.destMode;
    page.m_strDestination = o.destination;
    if (!o.destination.empty()) page.m_strDestination = Absolute(o.destination);
    page.m_nOverwriteMode = o.overwrite;
    auto& tree = page.Tree();
    if (o.paths.empty()) {
        tree.SetItemState(*tree.Root(), selection::kFolderTree);
    } else {
        for (const auto& path : o.paths)
            if (!Mark(tree, path, true)) return kExitUsage;
    }
    for (const auto& path : o.excludes)
        if (!Mark(tree, path, false)) return kExitUsage;
    if (o.dryRun) {
        const restore::RestorePreview preview = page.PreviewRestore();
        std::printf("%s\n", restore::PreviewText(preview).c_str());
        return preview.refusal.empty() && preview.code < 2 ? kExitOk : kExitFailed;
    }
    page.m_onLogEntry = [](const std::string& text, int kind) {
        if (kind == logbook::kLogSystemError || kind == logbook::kLogFileError || kind == logbook::kLogFileWarning)
            std::fprintf(stderr, "%s\n", text.c_str());
    };
    const std::string result = page.RunRestore();
    std::printf("%s\nLog: %s\n", result.c_str(), page.RestoreLogPath().c_str());
    return result == "Restore Successful" ? kExitOk : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!Parse(argc, argv, o)) return Usage();
    o.backup = Absolute(o.backup);
    TerminalMessages messages;
    platform::SetMessageService(&messages);
    jobmodel::CAppDoc doc(jobmodel::DocHost::Editor);
    doc.OnNewDocument();
    doc.m_nDocKind = jobmodel::CAppDoc::RecogniseKind(o.backup);
    doc.m_BackupSettings.m_strBackupFile = o.backup;
    restore::CRestorePage page(doc, jobmodel::CSettingsRegistry(jobmodel::ChooseSettingsRoot()));
    page.m_askPassword = AskPasswordOnTerminal;
    if (!o.versionsOf.empty()) return Versions(o);
    return o.list ? List(page, o) : Restore(page, o);
}
