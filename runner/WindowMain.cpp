#include "platform/ProgramStart.h"
#include "runner/RunnerStartup.h"
#include "runner/WindowFront.h"

#include <QApplication>

int main(int argc, char** argv) {
    bool headless = false;
    if (!platform::PrepareProgramStart("gorvex", headless)) return runner::kExitNoJob;
    QApplication app(argc, argv);
    runner::CWindowFront front;
    return runner::RunJob(argc, argv, front);
}
