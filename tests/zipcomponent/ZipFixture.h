#pragma once

#include "tests/support/IsolatedUser.h"
#include "tests/support/Process.h"
#include "zipcomponent/XceedZip.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// Records what the component reports; hooks let a test answer or interfere.
class RecordingEvents : public zipcomponent::IXceedZipEvents {
public:
    std::vector<zipcomponent::PrepareFileArgs> prepared;
    std::vector<zipcomponent::PrepareExtractArgs> extracted;
    std::vector<zipcomponent::FileFailedArgs> failed;
    std::vector<std::pair<std::string, int>> warnings;
    std::vector<std::pair<std::string, std::string>> removed;
    std::vector<std::string> passwordRequests;
    std::vector<std::string> passwordAnswers;  // given in order, then no retry
    std::vector<int> overallPercents;
    uint32_t totalFiles = 0;
    uint64_t totalBytes = 0;
    std::string description;
    std::function<void(zipcomponent::PrepareFileArgs&)> onPrepare;
    std::function<void(zipcomponent::SelectFileForCopyArgs&)> onSelect;
    std::function<void(const zipcomponent::OverallProgressArgs&)> onProgress;

    void PrepareFile(zipcomponent::PrepareFileArgs& a) override {
        if (onPrepare) onPrepare(a);
        prepared.push_back(a);
    }
    void PrepareExtract(zipcomponent::PrepareExtractArgs& a) override { extracted.push_back(a); }
    void FileFailed(const zipcomponent::FileFailedArgs& a) override { failed.push_back(a); }
    void WarningRaised(const std::string& f, int code) override { warnings.emplace_back(f, code); }
    void FileRemoved(const std::string& n, const std::string& b) override { removed.emplace_back(n, b); }
    void SelectFileForCopy(zipcomponent::SelectFileForCopyArgs& a) override {
        if (onSelect) onSelect(a);
    }
    void OverallProgress(const zipcomponent::OverallProgressArgs& a) override {
        overallPercents.push_back(a.bytesPercent);
        if (onProgress) onProgress(a);
    }
    void OperationTotals(uint32_t files, uint64_t bytes) override {
        totalFiles = files;
        totalBytes = bytes;
    }
    void DescriptionQuery(std::string& text) override { text = description; }
    void PasswordRequest(const std::string& file, std::string& password, bool& retry) override {
        passwordRequests.push_back(file);
        retry = !passwordAnswers.empty();
        if (retry) {
            password = passwordAnswers.front();
            passwordAnswers.erase(passwordAnswers.begin());
        }
    }
    const zipcomponent::PrepareFileArgs* Prepared(const std::string& path) const {
        for (const auto& p : prepared)
            if (p.path == path) return &p;
        return nullptr;
    }
};

// A small tree to back up: text, random binary, a sub-folder, an empty
// folder and a name with spaces and accents, with odd-second times.
class ZipTest : public ::testing::Test {
protected:
    IsolatedUser user;
    RecordingEvents events;
    zipcomponent::CXceedZip zip{&events};
    std::string data;     // the tree's top folder
    std::string archive;  // the backup zip

    void SetUp() override;
    void SetTime(const std::string& path, time_t mtime) const;
    // File specifications as a run builds them: each folder's own files.
    void AddTreeSpecs();
    std::vector<std::string> TreeFolders() const;
    std::string EntryName(const std::string& path) const;
    std::string Listing();  // the archive's entry names, one per line, sorted
    static ProcessResult Peer(const std::string& program, const std::vector<std::string>& args) {
        return RunProgram(program, args);
    }
};

}  // namespace testsupport
