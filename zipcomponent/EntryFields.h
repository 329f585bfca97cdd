#pragma once

#include "zipcomponent/StoredTime.h"

#include <zip.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace zipcomponent {

// The standard extended-timestamp field (0x5455) carries the exact
// modification time; a private field carries the base path the entry's name
// is relative to.
inline constexpr zip_uint16_t kExtendedTimestampId = 0x5455;
inline constexpr zip_uint16_t kBasePathId = 0x6C76;
inline constexpr zip_uint16_t kNtfsTimesId = 0x000A;
// Info-ZIP's Unix field (0x7875): the owner and group numbers.
inline constexpr zip_uint16_t kUnixOwnerId = 0x7875;

bool SetEntryTime(zip_t* za, zip_uint64_t index, time_t mtime);
// The extended timestamp when present, else the NTFS times, else the
// entry's DOS time.
time_t GetEntryTime(zip_t* za, zip_uint64_t index);

// Names are bytes: valid UTF-8 is stored with the UTF-8 flag, anything else
// as it is, without the flag, as Info-ZIP does on Unix.
zip_flags_t NameEncoding(std::string_view name);
// How to read an entry's name back: an entry made on Unix gives its bytes as
// stored, any other has its code page converted.
zip_flags_t NameFlags(zip_t* za, zip_uint64_t index);

bool SetBasePath(zip_t* za, zip_uint64_t index, const std::string& basePath);
std::string GetBasePath(zip_t* za, zip_uint64_t index);

// The Unix file type and permissions of `mode`, and the MS-DOS directory
// bit, so every tool sees folders and links.
bool SetUnixAttributes(zip_t* za, zip_uint64_t index, uint32_t mode);
// The stored Unix mode, 0 when the entry has none.
uint32_t GetUnixMode(zip_t* za, zip_uint64_t index);

bool SetOwner(zip_t* za, zip_uint64_t index, uint32_t owner, uint32_t group);
// False when the entry carries no owner.
bool GetOwner(zip_t* za, zip_uint64_t index, uint32_t& owner, uint32_t& group);

}  // namespace zipcomponent
