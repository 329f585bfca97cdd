#pragma once

#include <zip.h>

#include <cstdint>
#include <ctime>
#include <string>

namespace zipcomponent {

// The standard extended-timestamp field (0x5455) carries the exact
// modification time; a private field carries the base path the entry's name
// is relative to.
inline constexpr zip_uint16_t kExtendedTimestampId = 0x5455;
inline constexpr zip_uint16_t kBasePathId = 0x6C76;

bool SetEntryTime(zip_t* za, zip_uint64_t index, time_t mtime);
// The extended timestamp when present, else the entry's DOS time.
time_t GetEntryTime(zip_t* za, zip_uint64_t index);

bool SetBasePath(zip_t* za, zip_uint64_t index, const std::string& basePath);
std::string GetBasePath(zip_t* za, zip_uint64_t index);

// Unix permissions and the MS-DOS directory bit, so every tool sees folders.
bool SetUnixAttributes(zip_t* za, zip_uint64_t index, uint32_t mode, bool isFolder);
// The stored Unix mode, 0 when the entry has none.
uint32_t GetUnixMode(zip_t* za, zip_uint64_t index);

}  // namespace zipcomponent
