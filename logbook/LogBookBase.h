#pragma once

#include "logbook/EntryList.h"
#include "logbook/RtfBuilder.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace logbook {

enum LogEntryKind : int {
    kLogTitle = 0,
    kLogSummary = 1,
    kLogSystemError = 2,
    kLogFileError = 3,
    kLogFileWarning = 4,
    kLogFileAdded = 5,
    kLogFileUpdated = 6,
    kLogFileNotUpdated = 7,
    kLogFileExcluded = 8,
    kLogFileSkipped = 9,
    kLogFileRemoved = 10,
    kLogFooter = 11,
};

// Section switches, in the order the job's log settings give them.
enum LogSwitch : int {
    kSwitchCreateLog = 0,
    kSwitchSummary,
    kSwitchAdded,
    kSwitchUpdated,
    kSwitchNotUpdated,
    kSwitchExcluded,
    kSwitchSkipped,
    kSwitchRemoved,
    kSwitchErrors,
    kSwitchCount,
};

// The log of one operation: entries collected by kind while it runs, then
// rendered as RTF and saved. The rendered document stands in for the
// rich-edit control's content.
class CLogBookBase {
public:
    CLogBookBase();
    virtual ~CLogBookBase() = default;

    void SetSectionSwitches(int createLog, int summary, int added, int updated, int notUpdated, int excluded,
                            int skipped, int removed, int errors);

    void AddEntry(const std::string& text, int kind);
    int RemoveEntry(const std::string& text, int kind);
    void ClearSection(int kind);
    void ClearAll(bool clearWindow);

    // Each operation's log appends its summary text here while rendering.
    virtual void AddSummaryLines(std::vector<std::string>& summary);

    void BuildLog();
    // Renders and writes the document atomically; failures go to the message
    // service. Returns 1 on success, 0 on failure.
    int SaveLogFile(const std::string& path);

    // The rendered document, as the log view shows it.
    const std::string& Document() const { return m_strDocument; }
    // A copy of a section's entries.
    std::vector<std::string> Entries(int kind) const;
    size_t EntryCount(int kind) const;

    // Where titles and footers take the date and time from.
    void SetClock(std::function<std::time_t()> clock) { m_clock = std::move(clock); }
    // Told the kind of every entry added, whatever the switches keep, so a
    // window can show errors and warnings that no log section records.
    void SetEntryObserver(std::function<void(int kind)> observer) { m_observer = std::move(observer); }

    CRtfBuilder m_builder;
    std::array<int, kSwitchCount> m_switches;
    std::string m_strTitle;
    std::string m_strFooter;

    int m_nDisks = 0;
    int m_nSystemErrors = 0;
    int m_nFileErrors = 0;
    int m_nFileWarnings = 0;
    int m_nFilesAdded = 0;
    int m_nFilesUpdated = 0;
    int m_nFilesRemoved = 0;
    int m_nItemsInBackup = 0;
    uint64_t m_nCompressedSize = 0;
    uint64_t m_nUncompressedSize = 0;
    int m_nCompressionRatio = 0;

private:
    static constexpr int kListCount = 10;
    EntryList& List(int kind) { return m_lists[static_cast<size_t>(kind - 1)]; }
    int* Counter(int kind);
    bool KeptBySwitch(int kind) const;
    std::string DateTimeText() const;
    void ResetCounters();
    void RenderResultLine();

    std::array<EntryList, kListCount> m_lists;
    std::string m_strDocument;
    std::function<std::time_t()> m_clock;
    std::function<void(int kind)> m_observer;
};

}  // namespace logbook
