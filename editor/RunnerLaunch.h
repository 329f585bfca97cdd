#pragma once

#include "jobmodel/AppDoc.h"

#include <functional>
#include <string>

namespace editor {

// Starts a program detached with one argument; false with `error` (an
// errno) when it could not be started.
using StartProgram = std::function<bool(const std::string& program, const std::string& argument, int& error)>;
StartProgram StartDetached();

// Starts the runner for a job, or shows the run of it that is going.
// `editorFolder` is where the runner is looked for when no registered one
// exists. Every outcome is told in a message.
void LaunchRunner(const std::string& jobPath, const std::string& editorFolder, const StartProgram& start);

// The Run Backup command: asks to save a job never saved or changed since
// (`save` runs the Save command and answers whether the job is saved), then
// launches the runner with the job as saved.
void RunBackup(jobmodel::CAppDoc& doc, const std::function<bool()>& save, const std::string& editorFolder,
               const StartProgram& start);

}  // namespace editor
