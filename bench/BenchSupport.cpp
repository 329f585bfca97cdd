#include "bench/BenchSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace bench {

double Seconds(const std::function<void()>& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

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

void Settle() {
    ::sync();
    sleep(1);
}

bool SettleCold() {
    ::sync();
    std::ofstream drop("/proc/sys/vm/drop_caches");
    const bool dropped = drop && (drop << "3").flush();
    sleep(1);
    return dropped;
}

ProcessRun RunProcess(const std::vector<std::string>& argv, const std::string& folder,
                      const std::vector<std::pair<std::string, std::string>>& environment) {
    ProcessRun run;
    const auto start = Clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        for (const auto& [name, value] : environment) {
            if (value.empty())
                ::unsetenv(name.c_str());
            else
                ::setenv(name.c_str(), value.c_str(), 1);
        }
        if (::chdir(folder.c_str()) != 0) ::_exit(127);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    if (child < 0) return run;
    int status = 0;
    rusage usage {};
    if (::wait4(child, &status, 0, &usage) != child) return run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.peakKilobytes = usage.ru_maxrss;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

Spread SpreadOf(std::vector<double> figures) {
    if (figures.empty()) return {};
    std::sort(figures.begin(), figures.end());
    return {figures.front(), figures[figures.size() / 2]};
}

void Row(const char* what, double ours, double peer) {
    std::printf("%-34s %9.2f s %9.2f s   ratio %.2f\n", what, ours, peer, peer > 0 ? ours / peer : 0.0);
}

}  // namespace bench
