#pragma once

#include <filesystem>
#include <functional>
#include <string>
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
// One line of figures: ours, the peer's, and their ratio.
void Row(const char* what, double ours, double peer);

}  // namespace bench
