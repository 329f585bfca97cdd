#pragma once

#include <string>

namespace platform {

// What a program does before it makes its QApplication: the time zone
// pinned, a runtime folder it can use (checked before Qt looks, so that only
// our explanation is printed; a folder of our own where no session made one,
// as under cron), and the offscreen platform where there is no display.
// False after telling why on standard error, as `program: reason`.
bool PrepareProgramStart(const char* program, bool& headless);

// The folder of the running program, from the kernel (argv[0] may be any
// name); "" when it cannot be told.
std::string ProgramFolder();

}  // namespace platform
