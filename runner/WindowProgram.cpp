#include "runner/WindowProgram.h"

#include "platform/ProgramStart.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace runner {

constexpr const char* kWindowProgram = "gorvex-window";

void StartWindowProgram(char** argv) {
    const std::string folder = platform::ProgramFolder();
    const std::string program = folder + "/" + kWindowProgram;
    if (!folder.empty()) ::execv(program.c_str(), argv);
    std::fprintf(stderr, "gorvex: no window can be shown (%s: %s); the backup runs without one\n", program.c_str(),
                 folder.empty() ? "the runner's folder is unknown" : std::strerror(errno));
}

}  // namespace runner
