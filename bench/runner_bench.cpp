// Times the backup runner as a user meets it, `gorvex JOB` as a whole
// process, against Info-ZIP on the same trees in the same run: each figure
// three times, minimum and median. Also the runner's peak memory on trees
// of empty files, for how it grows with the number of files.
//   runner_bench [folder]

#include "bench/BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using bench::ProcessRun;
using bench::RunProcess;
using bench::Settle;
using bench::Spread;
using bench::SpreadOf;

namespace {

constexpr int kRuns = 3;

using Environment = std::vector<std::pair<std::string, std::string>>;

struct Bench {
    fs::path work;
    Environment environment;

    // A job that backs up `tree` whole into `backup`.
    std::string MakeJob(const std::string& name, const fs::path& tree, const fs::path& backup, bool verify) const {
        const std::string job = (work / (name + ".vlj")).string();
        Run({VELLORA_JOB_PROGRAM, "new", job});
        Run({VELLORA_JOB_PROGRAM, "add", job, "6", tree.string()});
        Run({VELLORA_JOB_PROGRAM, "set", job, "m_strBackupFile=" + backup.string(),
             std::string("m_bVerify=") + (verify ? "1" : "0")});
        return job;
    }
    ProcessRun Run(const std::vector<std::string>& argv) const {
        const ProcessRun run = RunProcess(argv, "/", environment);
        // Info-ZIP's 12 is "nothing to do", what an update of an unchanged tree ends with.
        if (run.exitCode != 0 && !(argv[0] == "zip" && run.exitCode == 12))
            std::fprintf(stderr, "%s ended with %d\n", argv[0].c_str(), run.exitCode);
        return run;
    }
};

// Real text, as a desktop holds it: the system's C and C++ headers, read in
// order and cut into files of about `bytes`, ten files a folder.
void MakeSmallFiles(const fs::path& root, int files, size_t bytes) {
    std::vector<fs::path> headers;
    if (bytes)
        for (const auto& e : fs::recursive_directory_iterator("/usr/include", fs::directory_options::skip_permission_denied))
            if (e.is_regular_file() && e.path().extension() == ".h") headers.push_back(e.path());
    std::sort(headers.begin(), headers.end());
    std::mt19937_64 rng(11);
    std::string text;
    size_t next = 0;
    for (int i = 0; i < files; ++i) {
        const fs::path folder = root / ("g" + std::to_string(i / 500)) / ("f" + std::to_string(i / 10));
        if (i % 10 == 0) fs::create_directories(folder);
        const size_t size = bytes ? bytes - 200 + rng() % 400 : 0;
        while (text.size() < size && !headers.empty()) {
            std::ifstream in(headers[next++ % headers.size()], std::ios::binary);
            text.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        std::ofstream(folder / ("n" + std::to_string(i % 10) + ".txt"), std::ios::binary) << text.substr(0, size);
        text.erase(0, size);
    }
}

uint64_t FileBytes(const fs::path& file) {
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    return ec ? 0 : size;
}

void PrintRow(const char* what, const Spread& ours, const Spread& peer) {
    std::printf("%-40s %6.2f %6.2f s   %6.2f %6.2f s   %5.2f %5.2f\n", what, ours.minimum, ours.median, peer.minimum,
                peer.median, peer.minimum > 0 ? ours.minimum / peer.minimum : 0.0,
                peer.median > 0 ? ours.median / peer.median : 0.0);
}

// Three first backups each side, every one into a new zip; `cold` empties
// the page cache before each, so the files come from the disk.
void FirstBackups(const Bench& b, const char* what, const std::string& job, const fs::path& ours, const fs::path& tree,
                  const fs::path& peer, bool testPeer, bool cold = false) {
    std::vector<double> mine, theirs;
    const std::string relative = tree.string().substr(1);
    auto settle = [&] {
        if (cold)
            bench::SettleCold();
        else
            Settle();
    };
    for (int i = 0; i < kRuns; ++i) {
        fs::remove(ours);
        settle();
        mine.push_back(b.Run({VELLORA_RUNNER_PROGRAM, job}).seconds);
        fs::remove(peer);
        settle();
        double seconds = b.Run({"zip", "-qr", "-6", peer.string(), relative}).seconds;
        if (testPeer) seconds += b.Run({"unzip", "-tqq", peer.string()}).seconds;
        theirs.push_back(seconds);
    }
    PrintRow(what, SpreadOf(mine), SpreadOf(theirs));
}

// Three updates each side of a backup that is up to date.
void Updates(const Bench& b, const char* what, const std::string& job, const fs::path& tree, const fs::path& peer) {
    std::vector<double> mine, theirs;
    const std::string relative = tree.string().substr(1);
    for (int i = 0; i < kRuns; ++i) {
        Settle();
        mine.push_back(b.Run({VELLORA_RUNNER_PROGRAM, job}).seconds);
        Settle();
        theirs.push_back(b.Run({"zip", "-qru", "-6", peer.string(), relative}).seconds);
    }
    PrintRow(what, SpreadOf(mine), SpreadOf(theirs));
}

void Sizes(const char* what, const fs::path& ours, const fs::path& peer) {
    std::printf("%-40s %13llu B   %13llu B   %5.3f\n", what, static_cast<unsigned long long>(FileBytes(ours)),
                static_cast<unsigned long long>(FileBytes(peer)),
                static_cast<double>(FileBytes(ours)) / static_cast<double>(FileBytes(peer)));
}

// The runner's and Info-ZIP's peak memory on a first backup of `files` empty files.
std::pair<long, long> PeakMemory(const Bench& b, int files) {
    const fs::path tree = b.work / ("empty" + std::to_string(files));
    MakeSmallFiles(tree, files, 0);
    const fs::path ours = b.work / ("empty" + std::to_string(files) + ".velarc");
    const fs::path peer = b.work / ("empty" + std::to_string(files) + ".zip");
    const std::string job = b.MakeJob("Empty" + std::to_string(files), tree, ours, false);
    Settle();
    const long mine = b.Run({VELLORA_RUNNER_PROGRAM, job}).peakKilobytes;
    const long theirs = b.Run({"zip", "-qr", "-6", peer.string(), tree.string().substr(1)}).peakKilobytes;
    fs::remove_all(tree);
    return {mine, theirs};
}

}  // namespace

int main(int argc, char** argv) {
    Bench b;
    b.work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "vellora-runner-bench";
    fs::remove_all(b.work);
    fs::create_directories(b.work / "run");
    fs::permissions(b.work / "run", fs::perms::owner_all);
    const fs::path home = b.work / "home";
    // A scratch user with no display: the runner runs headless, as under cron.
    b.environment = {{"HOME", home.string()},
                     {"XDG_CONFIG_HOME", (home / ".config").string()},
                     {"XDG_DATA_HOME", (home / ".local/share").string()},
                     {"XDG_RUNTIME_DIR", (b.work / "run").string()},
                     {"VELLORA_REGISTRY_DIR", (b.work / "registry").string()},
                     {"DISPLAY", ""},
                     {"WAYLAND_DISPLAY", ""},
                     {"QT_QPA_PLATFORM", ""}};

    const fs::path small = b.work / "small";
    std::printf("generating 20000 files of about 3 kB of headers in 2000 folders, and 2000 files of 200 MB, under %s\n",
                b.work.c_str());
    MakeSmallFiles(small, 20000, 3000);
    const fs::path mixed = b.work / "mixed";
    bench::MakeTree(mixed, 200);

    const fs::path smallOurs = b.work / "small.velarc", smallPeer = b.work / "small.zip";
    const fs::path mixedOurs = b.work / "mixed.velarc", mixedPeer = b.work / "mixed.zip";
    const std::string smallJob = b.MakeJob("Small", small, smallOurs, false);
    const std::string mixedJob = b.MakeJob("Mixed", mixed, mixedOurs, false);
    const std::string verifiedJob = b.MakeJob("Verified", small, b.work / "verified.velarc", true);

    std::printf("\n%-40s %15s   %15s   %11s\n", "", "gorvex", "Info-ZIP", "ratio");
    std::printf("%-40s %6s %6s     %6s %6s     %5s %5s\n", "", "min", "median", "min", "median", "min", "med");
    FirstBackups(b, "20,000 files: first backup (zip -r -6)", smallJob, smallOurs, small, smallPeer, false);
    Updates(b, "20,000 files: nothing changed (zip -ru)", smallJob, small, smallPeer);
    if (bench::SettleCold())
        FirstBackups(b, "20,000 files: first backup, from the disk", smallJob, smallOurs, small, smallPeer, false, true);
    else
        std::printf("%-40s (not measured: emptying the page cache takes root)\n", "20,000 files: from the disk");
    FirstBackups(b, "20,000 files: verified (zip -r, unzip -t)", verifiedJob, b.work / "verified.velarc", small,
                 smallPeer, true);
    FirstBackups(b, "200 MB mixed: first backup (zip -r -6)", mixedJob, mixedOurs, mixed, mixedPeer, false);
    Updates(b, "200 MB mixed: nothing changed (zip -ru)", mixedJob, mixed, mixedPeer);
    std::printf("\n%-40s %15s   %15s   %5s\n", "size of the backup", "gorvex", "Info-ZIP", "ratio");
    Sizes("20,000 files", smallOurs, smallPeer);
    Sizes("200 MB mixed", mixedOurs, mixedPeer);

    const auto [ours20k, peer20k] = PeakMemory(b, 20000);
    const auto [ours200k, peer200k] = PeakMemory(b, 200000);
    std::printf("\n%-40s %13s   %13s\n", "peak memory, first backup", "gorvex", "Info-ZIP");
    std::printf("%-40s %10ld kB   %10ld kB\n", "20,000 empty files", ours20k, peer20k);
    std::printf("%-40s %10ld kB   %10ld kB\n", "200,000 empty files", ours200k, peer200k);
    std::printf("%-40s %10.0f B    %10.0f B\n", "growth per file", (ours200k - ours20k) * 1024.0 / 180000,
                (peer200k - peer20k) * 1024.0 / 180000);
    fs::remove_all(b.work);
    return 0;
}
