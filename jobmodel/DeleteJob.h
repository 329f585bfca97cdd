#pragma once

#include <string>

namespace jobmodel {

// The file work of "Delete Job": refuses the job open in the editor, reads
// the chosen job with the editor's checks, then moves the job file, its
// scheduler task file and its index file to the Trash. Returns true when
// the job file went to the Trash.
bool DeleteJobFiles(const std::string& jobPath, const std::string& openJobPath);

}  // namespace jobmodel
