#pragma once

#include <string>

namespace runner {

// True when no display can be reached, or the offscreen platform is asked for.
bool RunsHeadless();

// The whole runner: the job is opened, run and reported. Exit status 0 for a
// successful backup, 1 for any other end, 2 when the job cannot be opened.
int RunJob(int argc, char** argv);

}  // namespace runner
