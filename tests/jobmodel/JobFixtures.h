#pragma once

#include "tests/support/Bytes.h"

#include <string>
#include <vector>

namespace testsupport {

struct ItemSpec {
    int state;
    std::string path;
    uint32_t attributes;
};

// The bytes of a version-220 job file as the file format lays them out,
// with every field at its default unless given.
struct Job220 {
    std::string jobFile;
    std::string backupFile;
    std::string description;
    int filterMode = 0;
    std::string fileTypes = "*";
    std::vector<ItemSpec> items;
    int scheduleEnabled = 0, schedulesActive = 0;
    std::string taskName;
    int level = 6, spanning = 0, nonEmpty = 1, usePassword = 0, passwordChanged = 0;
    std::vector<int32_t> cubes;
    int useVolumeName = 0;
    std::string volumeName;
    int archive = 1;
    std::string purgeDays = "30";
    int verify = 1;

    std::string Encode() const {
        Bytes b;
        b.newClass(220, "CAppDoc").u32(220).str(jobFile);
        b.u32(100).u32(100).str(backupFile).str(description).i32(filterMode).str(fileTypes);
        b.newClass(220, "CBackupItemArray").u32(static_cast<uint32_t>(items.size()));
        for (size_t i = 0; i < items.size(); ++i) {
            if (i == 0)
                b.newClass(220, "CBackupItem");
            else
                b.u16(0x8003);
            b.i32(items[i].state).str(items[i].path).u32(items[i].attributes);
        }
        b.u32(100).u32(100).i32(scheduleEnabled).i32(schedulesActive).str(taskName);
        b.u32(100).u32(220).i32(level).i32(spanning).i32(nonEmpty).i32(usePassword).i32(passwordChanged);
        b.u16(static_cast<uint16_t>(cubes.size()));
        for (int32_t c : cubes) b.i32(c);
        b.i32(useVolumeName).str(volumeName).i32(archive).str(purgeDays).i32(verify);
        b.u32(100).u32(100);
        for (int i = 0; i < 9; ++i) b.u32(1);
        b.u32(0).str("").str("");
        b.u32(100);
        return b;
    }
};

}  // namespace testsupport
