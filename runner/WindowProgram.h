#pragma once

namespace runner {

// Hands the run to the window program beside this one, which links the
// window libraries a run without a display never needs to load. Returns
// only when it cannot be started, after saying why on standard error.
void StartWindowProgram(char** argv);

}  // namespace runner
