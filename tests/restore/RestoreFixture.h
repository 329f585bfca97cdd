#pragma once

#include "restore/RestorePage.h"
#include "tests/engine/RunFixture.h"

#include <sys/stat.h>

namespace restoretest {

using namespace enginetest;
using selection::SelectionNode;

class RestoreRun : public BackupRun {
protected:
    jobmodel::CAppDoc job{jobmodel::DocHost::Editor};

    // A real backup of the data folder (all of it, state 6).
    void BackUp() {
        jobmodel::CAppDoc run = NewJob({{6, data}});
        ASSERT_EQ(Run(run), "Backup Completed Successfully.");
        ASSERT_TRUE(job.OnOpenDocument(jobPath));
    }

    std::unique_ptr<restore::CRestorePage> Page(const jobmodel::CAppDoc& doc) {
        auto page = std::make_unique<restore::CRestorePage>(doc, jobmodel::CSettingsRegistry(jobmodel::Hive::CurrentUser));
        page->RefreshBackupList();
        return page;
    }

    // The node of a path; fails the test when it is missing.
    static SelectionNode& Node(restore::CRestorePage& page, const std::string& path) {
        SelectionNode* node = page.Tree().FindPath(path);
        EXPECT_NE(node, nullptr) << path;
        static SelectionNode none;
        return node ? *node : none;
    }

    std::string RestoreLog() const {
        std::string text = logbook::RtfToText(ReadFile(logFolder + "/RestoreLog.rtf"));
        for (size_t at; (at = text.find(" \n")) != std::string::npos;) text.erase(at, 1);
        return text;
    }

    static struct stat Stat(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
        return st;
    }
};

}  // namespace restoretest
