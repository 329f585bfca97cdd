#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// Wall-clock seconds of a piece of work.
double Seconds(const std::function<void()>& work);
// Runs a shell command; its exit code, -1 when it did not end normally.
int Shell(const std::string& command);
// Text, random binary and "already compressed" (random) files in nested
// folders: 2000 files of `megabytes` together.
std::vector<std::string> MakeTree(const std::filesystem::path& root, size_t megabytes);
long PeakKilobytes();
// Every timed step starts with nothing left for the disk to do, so neither
// side pays for the other's writeback or freed blocks.
void Settle();
// Settles, then empties the page cache so the next step reads from the disk;
// false where this process may not (it takes root).
bool SettleCold();
// One line of figures: ours, the peer's, and their ratio.
void Row(const char* what, double ours, double peer);

// One program run as a whole process, as a user waits for it.
struct ProcessRun {
    double seconds = 0;
    long peakKilobytes = 0;  // the child's own peak resident memory
    int exitCode = -1;
};
// Runs argv[0] (looked up on PATH) in `folder` with `environment` added to
// this process's own; an empty value removes that variable.
ProcessRun RunProcess(const std::vector<std::string>& argv, const std::string& folder,
                      const std::vector<std::pair<std::string, std::string>>& environment = {});

// Minimum and median of repeated figures.
struct Spread {
    double minimum = 0;
    double median = 0;
};
Spread SpreadOf(std::vector<double> figures);

}  // namespace bench
