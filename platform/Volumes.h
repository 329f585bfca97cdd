#pragma once

#include <cstdint>
#include <string>

namespace platform {

enum class DriveType { Unknown, Fixed, Removable, CdRom, Network };

// Not the label: reading that may start a program, so GetVolumeLabel
// (FileSystem.h) reads it only for the callers that need it.
struct VolumeInfo {
    std::string root;    // the mount point
    DriveType type = DriveType::Unknown;
    std::string fileSystem;
    uint64_t freeBytes = 0;
};

// The volume holding a path, from the mount table and sysfs, or from the
// simulated media that VELLORA_MEDIA names. Returns 0, or an errno when the
// volume cannot be reached (for a simulated disk: not inserted; root and
// type are still filled in then).
int GetVolumeInfo(const std::string& path, VolumeInfo& info);

// Writes a volume label with the file system's label tool (or into the
// simulated media file). Returns 0, else an errno with `errorText` set.
int SetVolumeLabel(const std::string& path, const std::string& label, std::string& errorText);

}  // namespace platform
