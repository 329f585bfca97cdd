// Times the restore against Info-ZIP and bsdtar in one run: opening a
// backup of a million entries in the Restore tab, opening its folders,
// listing it whole, and extracting 2,000 files of 200 MB.
//   restore_bench [folder] [entries]

#include "bench/BenchSupport.h"
#include "platform/TimeZone.h"
#include "restore/RestoreTab.h"
#include "restore/Versions.h"
#include "zipcomponent/EntryFields.h"
#include "zipcomponent/XceedZip.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <zip.h>

namespace fs = std::filesystem;
using bench::Row;
using bench::Seconds;
using bench::Settle;
using bench::Shell;

namespace {

constexpr int kFolders = 1000;

// A backup as the runner writes it: names below "/", base path "/", exact
// times, Unix modes; tiny stored files, `entries` of them in kFolders folders.
bool MakeBigBackup(const std::string& path, int entries) {
    int error = 0;
    zip_t* za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!za) return false;
    static const char kData[] = "some text\n";
    for (int i = 0; i < entries; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "home/bench/d%03d/file%07d.txt", i % kFolders, i);
        zip_source_t* source = zip_source_buffer(za, kData, sizeof kData - 1, 0);
        const zip_int64_t index = zip_file_add(za, name, source, ZIP_FL_ENC_UTF_8);
        if (index < 0) return false;
        const auto at = static_cast<zip_uint64_t>(index);
        zip_set_file_compression(za, at, ZIP_CM_STORE, 0);
        zipcomponent::SetEntryTime(za, at, 1700000000 + i);
        zipcomponent::SetBasePath(za, at, "/");
        zipcomponent::SetUnixAttributes(za, at, 0100644);
    }
    return zip_close(za) == 0;
}

constexpr int kArchives = 50;
constexpr int kArchiveEntries = 100000;

// Writes a backup once, in a child, so that this process stays as small as
// a restore is.
bool MakeInChild(const std::string& path, int entries) {
    if (fs::exists(path)) return true;
    std::printf("writing a backup of %d entries to %s\n", entries, path.c_str());
    std::fflush(stdout);
    const pid_t maker = fork();
    if (maker == 0) _exit(MakeBigBackup(path, entries) ? 0 : 1);
    int status = 0;
    waitpid(maker, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Peak memory of a child process, with its time.
struct Child {
    double seconds = 0;
    long peakKilobytes = 0;
    int exitCode = -1;
};

Child RunChild(const std::vector<std::string>& args, const std::string& output) {
    Child result;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (FILE* out = std::freopen(output.c_str(), "w", stdout); !out) _exit(127);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage {};
    wait4(pid, &status, 0, &usage);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.peakKilobytes = usage.ru_maxrss;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class NoProgress : public restore::IStatusProgress {
public:
    void ShowStatusProgress(const std::string&, int) override {}
    void ClearStatusProgress() override {}
};

}  // namespace

int main(int argc, char** argv) {
    platform::PinLocalTimeZone();
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "vellora-restore-bench";
    const int entries = argc > 2 ? std::atoi(argv[2]) : 1000000;
    fs::create_directories(work);
    // Settings and logs of this run stay in its folder.
    setenv("VELLORA_REGISTRY_DIR", (work / "registry").c_str(), 1);
    setenv("HOME", (work / "home").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    const std::string big = (work / "big.velarc").string();
    if (!MakeInChild(big, entries)) return 1;
    // A backup of kArchiveEntries and its archive zips of as many, for versions.
    const fs::path versionsFolder = work / "versions";
    fs::create_directories(versionsFolder);
    const std::string versioned = (versionsFolder / "Daily.velarc").string();
    if (!MakeInChild(versioned, kArchiveEntries)) return 1;
    for (int n = 1; n <= kArchives; ++n) {
        char name[64];
        std::snprintf(name, sizeof name, "Daily_Archived_Dec %02d 2026 18'00.velarc", n);
        if (!MakeInChild((versionsFolder / name).string(), kArchiveEntries)) return 1;
    }
    std::printf("backup of %d entries, %.0f MB\n\n", entries, fs::file_size(big) / 1048576.0);

    std::printf("%-34s %11s %11s\n", "list everything", "vellora", "peer");
    const std::string devnull = "/dev/null";
    std::fflush(stdout);
    const Child ours = RunChild({VELLORA_RESTORE_PROGRAM, big, "--list"}, devnull);
    const Child unzipList = RunChild({"unzip", "-Z1", big}, devnull);
    const Child bsdtarList = RunChild({"bsdtar", "-tf", big}, devnull);
    Row("  against unzip -Z1 (< 3 s)", ours.seconds, unzipList.seconds);
    Row("  against bsdtar -tf", ours.seconds, bsdtarList.seconds);
    std::printf("  peak memory: vellora-restore %ld MB, unzip %ld MB, bsdtar %ld MB\n\n", ours.peakKilobytes / 1024,
                unzipList.peakKilobytes / 1024, bsdtarList.peakKilobytes / 1024);

    // 2,000 files of 200 MB, written by the component, extracted by both.
    const fs::path tree = work / "tree";
    fs::remove_all(tree);
    const auto files = bench::MakeTree(tree, 200);
    const std::string mixed = (work / "mixed.velarc").string();
    fs::remove(mixed);
    zipcomponent::CXceedZip zip;
    zip.m_strArchivePath = mixed;
    for (const auto& e : fs::recursive_directory_iterator(tree))
        if (e.is_directory()) zip.AddFileSpec(e.path().string() + "/*");
    if (zip.WriteArchive() != zipcomponent::kResultSuccess) return 1;
    fs::remove_all(work / "out-ours");
    fs::remove_all(work / "out-peer");
    Settle();
    std::fflush(stdout);
    const Child restoreOurs =
        RunChild({VELLORA_RESTORE_PROGRAM, mixed, "--to", (work / "out-ours").string()}, devnull);
    Settle();
    const double restorePeer =
        Seconds([&] { Shell("unzip -qq -o '" + mixed + "' -d '" + (work / "out-peer").string() + "'"); });
    Row("extract 2,000 files, 200 MB", restoreOurs.seconds, restorePeer);
    std::printf("\n");
    if (restoreOurs.exitCode != 0) std::printf("  vellora-restore failed: exit %d\n", restoreOurs.exitCode);
    fs::remove_all(tree);
    fs::remove_all(work / "out-ours");
    fs::remove_all(work / "out-peer");

    QApplication app(argc, argv);
    jobmodel::CAppDoc job(jobmodel::DocHost::Editor);
    job.OnNewDocument();
    job.m_BackupSettings.m_strBackupFile = big;
    job.m_BackupSettings.m_items.AddItem("/home/bench", 6, 16);
    NoProgress progress;
    restore::CRestoreTab tab(job, &progress);
    tab.resize(900, 600);
    const double top = Seconds([&] { tab.RefreshBackupList(); });
    selection::SelectionNode* bench = nullptr;
    const double firstFolder = Seconds([&] {
        bench = tab.Page().Tree().FindPath("/home/bench");
        tab.m_view->expandItem(tab.m_view->ItemFor(bench));
    });
    double slowest = 0;
    for (const char* folder : {"/home/bench/d000", "/home/bench/d500", "/home/bench/d999"}) {
        const double s = Seconds([&] {
            selection::SelectionNode* node = tab.Page().Tree().FindPath(folder);
            tab.m_view->expandItem(tab.m_view->ItemFor(node));
        });
        slowest = std::max(slowest, s);
    }
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    double openedTop = 0;
    {
        jobmodel::CAppDoc zipDoc(jobmodel::DocHost::Editor);
        zipDoc.OnOpenDocument(big);
        restore::CRestoreTab opened(zipDoc, &progress);
        openedTop = Seconds([&] { opened.RefreshBackupList(); });
    }

    std::printf("Restore tab (target)                        seconds\n");
    std::printf("  top level of a job's backup (< 1 s)      %7.3f\n", top);
    std::printf("  top level of the backup opened (< 1 s)   %7.3f\n", openedTop);
    std::printf("  open /home/bench, %d folders (< 0.2 s) %7.3f\n", kFolders, firstFolder);
    std::printf("  open a folder of %d files (< 0.2 s)    %7.3f\n", entries / kFolders, slowest);
    std::printf("  peak memory with the tab (< 400 MB)      %7ld MB\n", usage.ru_maxrss / 1024);

    size_t found = 0;
    const double searchFew = Seconds([&] { tab.Page().Search("file099999?.txt", 1000, found); });
    const size_t few = found;
    const double searchAll = Seconds([&] { tab.Page().Search("*.TXT", 1000, found); });
    std::printf("  search, %7zu found (< 0.5 s)            %7.3f\n", few, searchFew);
    std::printf("  search, %7zu found (< 0.5 s)            %7.3f\n\n", found, searchAll);

    const auto zips = restore::ListBackupFiles(versioned);
    restore::CVersionCatalog catalog;
    std::vector<restore::FileVersion> versions;
    const double cold = Seconds([&] { versions = catalog.FindVersions(zips, "/home/bench/d007/file0000007.txt"); });
    const double cached = Seconds([&] { versions = catalog.FindVersions(zips, "/home/bench/d042/file0054042.txt"); });
    getrusage(RUSAGE_SELF, &usage);
    std::printf("Versions of one file in %zu zips of %d entries\n", zips.size(), kArchiveEntries);
    std::printf("  first look, zips read (< 3 s)            %7.3f  (%zu copies)\n", cold, versions.size());
    std::printf("  next look, zips kept (< 1 s)             %7.3f\n", cached);
    std::printf("  peak memory                              %7ld MB\n", usage.ru_maxrss / 1024);
    return 0;
}
