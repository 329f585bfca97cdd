#include "platform/ProgramStart.h"
#include "runner/RunnerStartup.h"
#include "runner/WindowProgram.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    bool headless = false;
    if (!platform::PrepareProgramStart("gorvex", headless)) return runner::kExitNoJob;
    if (!headless) runner::StartWindowProgram(argv);
    QCoreApplication app(argc, argv);
    runner::CHeadlessFront front;
    return runner::RunJob(argc, argv, front);
}
