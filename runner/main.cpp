#include "runner/RunnerStartup.h"

int main(int argc, char** argv) { return runner::RunJob(argc, argv); }
