#pragma once

#include <string>

namespace runner {

// The whole runner: the job is opened, run and reported. Exit status 0 for a
// successful backup, 1 for any other end, 2 when the job cannot be opened.
int RunJob(int argc, char** argv);

}  // namespace runner
