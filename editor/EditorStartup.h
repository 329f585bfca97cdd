#pragma once

#include <string>
#include <vector>

namespace editor {

// The command line: a file to open and whether "/backup" came last.
struct EditorCommandLine {
    std::string file;
    bool runBackup = false;
};
EditorCommandLine ParseCommandLine(const std::vector<std::string>& parameters);

// The whole editor. Exit status 0, or 2 when it could not start.
int RunEditor(int argc, char** argv);

}  // namespace editor
