#pragma once

#include <string>

namespace runner {

// Plays a sound file to its end. No sound device, or a file that cannot be
// played, is not an error: the run just goes on. Returns whether it played.
bool PlaySoundFile(const std::string& path);

}  // namespace runner
