// Times whole backup runs against Info-ZIP on a tree of many small files,
// in one run, and prints both figures and the peak memory.
//   engine_bench [folder]

#include "bench/BenchSupport.h"
#include "engine/BackupEngine.h"
#include "platform/MessageService.h"
#include "platform/TimeZone.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

namespace fs = std::filesystem;

using bench::Seconds;
using bench::Settle;

int main(int argc, char** argv) {
    platform::PinLocalTimeZone();
    QCoreApplication app(argc, argv);
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "vellora-engine-bench";
    fs::remove_all(work);
    const fs::path tree = work / "tree";
    std::printf("generating 20000 small files in 2000 folders under %s\n", tree.c_str());
    for (int f = 0; f < 2000; ++f) {
        const fs::path folder = tree / ("g" + std::to_string(f / 50)) / ("f" + std::to_string(f));
        fs::create_directories(folder);
        for (int i = 0; i < 10; ++i)
            std::ofstream(folder / ("n" + std::to_string(i) + ".txt")) << "note " << f << " " << i << " of many\n";
    }
    setenv("VELLORA_REGISTRY_DIR", (work / "registry").c_str(), 1);
    setenv("XDG_DATA_HOME", (work / "data").c_str(), 1);
    platform::StderrMessageService messages;
    platform::SetMessageService(&messages);
    const jobmodel::CSettingsRegistry settings(jobmodel::Hive::CurrentUser);
    settings.SetLogFolder((work / "log").string());
    fs::create_directories(work / "log");
    const std::string job = (work / "Bench.vlj").string();
    jobmodel::CAppDoc doc(jobmodel::DocHost::Runner);
    doc.OnNewDocument();
    doc.m_BackupSettings.m_strBackupFile = (work / "ours.velarc").string();
    doc.m_BackupSettings.m_items.AddItem(tree.string(), jobmodel::kStateFolderTree, 16);
    doc.m_JobOptions.m_bVerify = 0;
    doc.OnSaveDocument(job);
    engine::CNullRunView view;
    auto run = [&] {
        engine::CBackupEngine backup(doc, settings, view);
        backup.RunBackup();
    };
    const std::string peer = (work / "peer.zip").string();
    const std::string relative = tree.string().substr(1);
    std::printf("%-30s %11s %11s\n", "", "vellora", "Info-ZIP");
    Settle();
    const double firstOurs = Seconds(run);
    Settle();
    const double firstPeer = Seconds([&] { std::system(("cd / && zip -qr '" + peer + "' '" + relative + "'").c_str()); });
    std::printf("%-30s %9.2f s %9.2f s   ratio %.2f\n", "first run", firstOurs, firstPeer, firstOurs / firstPeer);
    Settle();
    const double againOurs = Seconds(run);
    Settle();
    const double againPeer =
        Seconds([&] { std::system(("cd / && zip -qru '" + peer + "' '" + relative + "'").c_str()); });
    std::printf("%-30s %9.2f s %9.2f s   ratio %.2f\n", "second run, nothing changed", againOurs, againPeer,
                againOurs / againPeer);
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory of this process: %ld kB\n", usage.ru_maxrss);
    fs::remove_all(work);
    return 0;
}
