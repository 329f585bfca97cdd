// Times the zip component against Info-ZIP on one generated tree, in one
// run, and prints both figures side by side.
//   zip_bench [folder] [megabytes]

#include "bench/BenchSupport.h"
#include "platform/TimeZone.h"
#include "zipcomponent/XceedZip.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using bench::PeakKilobytes;
using bench::Row;
using bench::Seconds;
using bench::Settle;
using bench::Shell;

int main(int argc, char** argv) {
    platform::PinLocalTimeZone();
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "vellora-bench";
    const size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 200;
    fs::remove_all(work);
    const fs::path tree = work / "tree";
    std::printf("generating %zu MB in 2000 files under %s\n", megabytes, tree.c_str());
    const auto files = bench::MakeTree(tree, megabytes);
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
