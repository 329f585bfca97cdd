#pragma once

#include <cstdint>
#include <string>

namespace engine {

inline constexpr uint32_t kFat32PartLimit = 4294957055u;
inline constexpr uint32_t kDefaultPartLimit = 2147473407u;

// The largest part a file system holds, by its type name; 0 = no limit.
uint32_t PartLimitForFileSystem(const std::string& type);
// The limit for the destination, lowered by the temporary folder's file
// system when a temporary file is used (0 counts as higher than any number).
uint32_t PartSizeLimit(const std::string& destinationFolder, const std::string* temporaryFolder);

std::string FileSystemType(const std::string& path);

}  // namespace engine
