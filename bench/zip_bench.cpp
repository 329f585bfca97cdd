// Times the zip component against Info-ZIP on one generated tree, in one
// run, and prints both figures side by side.
//   zip_bench [folder] [megabytes]

#include "platform/TimeZone.h"
#include "zipcomponent/XceedZip.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Text, random binary and "already compressed" (random) files in nested folders.
std::vector<std::string> MakeTree(const fs::path& root, size_t megabytes) {
    std::mt19937_64 rng(7);
    std::vector<std::string> files;
    const size_t count = 2000;
    const size_t average = megabytes * 1024 * 1024 / count;
    std::string words = "the quick brown fox jumps over the lazy dog while ann writes her letters ";
    for (size_t i = 0; i < count; ++i) {
        const fs::path folder = root / ("d" + std::to_string(i % 40)) / ("s" + std::to_string(i % 7));
        fs::create_directories(folder);
        const size_t size = average / 2 + rng() % average;
        std::string content;
        content.reserve(size);
        if (i % 3 == 0) {
            while (content.size() < size) content += words.substr(rng() % 20) + std::to_string(rng() % 1000) + "\n";
        } else {
            while (content.size() < size) {
                const uint64_t v = rng();
                content.append(reinterpret_cast<const char*>(&v), 8);
            }
        }
        content.resize(size);
        const fs::path file = folder / ("f" + std::to_string(i) + (i % 3 == 0 ? ".txt" : ".bin"));
        std::ofstream(file, std::ios::binary) << content;
        files.push_back(file.string());
    }
    return files;
}

long PeakKilobytes() {
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Every timed step starts with nothing left for the disk to do, so neither
// side pays for the other's writeback or freed blocks.
void Settle() {
    ::sync();
    sleep(1);
}

void Row(const char* what, double ours, double peer) {
    std::printf("%-34s %9.2f s %9.2f s   ratio %.2f\n", what, ours, peer, peer > 0 ? ours / peer : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    platform::PinLocalTimeZone();
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "vellora-bench";
    const size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 200;
    fs::remove_all(work);
    const fs::path tree = work / "tree";
    std::printf("generating %zu MB in 2000 files under %s\n", megabytes, tree.c_str());
    const auto files = MakeTree(tree, megabytes);
    std::vector<std::string> folders;
    for (const auto& e : fs::recursive_directory_iterator(tree))
        if (e.is_directory()) folders.push_back(e.path().string());
    folders.push_back(tree.string());

    const std::string ours = (work / "ours.zip").string();
    const std::string peer = (work / "peer.zip").string();
    zipcomponent::CXceedZip zip;
    zip.m_strArchivePath = ours;
    zip.m_nPackingLevel = 6;
    for (const auto& f : folders) zip.AddFileSpec(f + "/*");

    std::printf("%-34s %11s %11s\n", "", "vellora", "Info-ZIP");
    Settle();
    const double firstOurs = Seconds([&] { zip.WriteArchive(); });
    Settle();
    const double firstPeer = Seconds([&] { Shell("cd / && zip -qr -6 '" + peer + "' '" + tree.string().substr(1) + "'"); });
    Row("first backup, level 6", firstOurs, firstPeer);

    for (size_t i = 0; i < files.size(); i += 100) std::ofstream(files[i], std::ios::app) << "changed\n";
    sleep(1);
    for (size_t i = 0; i < files.size(); i += 100) std::ofstream(files[i], std::ios::app) << "again\n";
    zip.m_bSkipNotNewer = true;
    Settle();
    const double updateOurs = Seconds([&] { zip.WriteArchive(); });
    Settle();
    const double updatePeer = Seconds([&] { Shell("cd / && zip -qru -6 '" + peer + "' '" + tree.string().substr(1) + "'"); });
    Row("update, 1% of files changed", updateOurs, updatePeer);

    Settle();
    const double sameOurs = Seconds([&] { zip.WriteArchive(); });
    Settle();
    const double samePeer = Seconds([&] { Shell("cd / && zip -qru -6 '" + peer + "' '" + tree.string().substr(1) + "'"); });
    Row("update, nothing changed", sameOurs, samePeer);
    std::printf("%-34s %9.3f of the first backup\n", "  nothing changed / first backup", sameOurs / firstOurs);

    Settle();
    const double testOurs = Seconds([&] { zip.TestArchive(true); });
    Settle();
    const double testPeer = Seconds([&] { Shell("unzip -tqq '" + peer + "'"); });
    Row("test archive", testOurs, testPeer);

    zip.SetFileSpecList("");
    zip.m_strExtractFolder = (work / "out-ours").string();
    Settle();
    const double extractOurs = Seconds([&] { zip.ExtractFiles(); });
    Settle();
    const double extractPeer =
        Seconds([&] { Shell("unzip -qq -o '" + peer + "' -d '" + (work / "out-peer").string() + "'"); });
    Row("extract everything", extractOurs, extractPeer);
    std::printf("peak memory of this process: %ld kB\n", PeakKilobytes());
    fs::remove_all(work);
    return 0;
}
