#include "logbook/LogBookBase.h"

#include "platform/FileSystem.h"
#include "platform/MessageService.h"

#include <cctype>
#include <clocale>
#include <locale.h>
#include <utility>

namespace logbook {

namespace {

struct SectionLook {
    const char* heading;
    uint32_t color;
    int bold;
};

// Sections 1 to 10.
constexpr SectionLook kSections[] = {
    {"\nSummary Information: \n====================\n", kBlack, 0},
    {"\nSystem Errors:\n==============\n", kRed, 1},
    {"\nFile Errors:\n============\n", kRed, 1},
    {"\nFile Warnings:\n==============\n", kBlue, 0},
    {"\nNew Files Added:\n================\n", kPurple, 0},
    {"\nExisting Files Updated:\n=======================\n", kPurple, 0},
    {"\nExisting Files Not Updated:\n===========================\n", kPurple, 0},
    {"\nFiles Excluded:\n===============\n", kGreyGreen, 0},
    {"\nFiles Skipped:\n==============\n", kGreyGreen, 0},
    {"\nFiles Removed:\n==============\n", kGreyGreen, 0},
};


std::string WithLineFeed(std::string text) {
    if (text.empty() || text.back() != '\n') text += '\n';
    return text;
}

}  // namespace

CLogBookBase::CLogBookBase() : m_clock([] { return std::time(nullptr); }) { m_switches.fill(1); }

void CLogBookBase::SetSectionSwitches(int createLog, int summary, int added, int updated, int notUpdated,
                                      int excluded, int skipped, int removed, int errors) {
    m_switches = {createLog, summary, added, updated, notUpdated, excluded, skipped, removed, errors};
}

int* CLogBookBase::Counter(int kind) {
    switch (kind) {
        case kLogSystemError: return &m_nSystemErrors;
        case kLogFileError: return &m_nFileErrors;
        case kLogFileWarning: return &m_nFileWarnings;
        case kLogFileAdded: return &m_nFilesAdded;
        case kLogFileUpdated: return &m_nFilesUpdated;
        case kLogFileRemoved: return &m_nFilesRemoved;
        default: return nullptr;
    }
}

bool CLogBookBase::KeptBySwitch(int kind) const {
    switch (kind) {
        case kLogSummary:
        case kLogSystemError: return true;
        case kLogFileError:
        case kLogFileWarning: return m_switches[kSwitchErrors];
        case kLogFileAdded: return m_switches[kSwitchAdded];
        case kLogFileUpdated: return m_switches[kSwitchUpdated];
        case kLogFileNotUpdated: return m_switches[kSwitchNotUpdated];
        case kLogFileExcluded: return m_switches[kSwitchExcluded];
        case kLogFileSkipped: return m_switches[kSwitchSkipped];
        case kLogFileRemoved: return m_switches[kSwitchRemoved];
        default: return false;
    }
}

// The user's own LC_TIME, whatever locale the program itself runs in.
std::string CLogBookBase::DateTimeText() const {
    const std::time_t now = m_clock();
    std::tm local {};
    localtime_r(&now, &local);
    locale_t userLocale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (!userLocale) userLocale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    char date[128] = "", time[128] = "";
    strftime_l(date, sizeof date, "%x", &local, userLocale);
    strftime_l(time, sizeof time, "%X", &local, userLocale);
    freelocale(userLocale);
    return std::string(date) + " " + time;
}

void CLogBookBase::AddEntry(const std::string& text, int kind) {
    if (m_observer) m_observer(kind);
    if (!m_switches[kSwitchCreateLog]) return;
    if (kind == kLogTitle || kind == kLogFooter) {
        const std::string line = DateTimeText() + " " + WithLineFeed(text) + "===============================\n";
        if (kind == kLogTitle)
            m_strTitle += line;
        else
            m_strFooter = line;
        return;
    }
    if (kind < kLogSummary || kind > kLogFileRemoved) return;
    if (int* counter = Counter(kind)) ++*counter;
    if (KeptBySwitch(kind)) List(kind).AddLine(text);
}

int CLogBookBase::RemoveEntry(const std::string& text, int kind) {
    if (!m_switches[kSwitchCreateLog]) return 1;
    if (kind < kLogSummary || kind > kLogFileRemoved) return 0;
    auto& list = List(kind);
    for (size_t i = 0; i < list.Count(); ++i) {
        std::string_view stored = list[i];
        if (!stored.empty() && stored.back() == '\n') stored.remove_suffix(1);
        // Paths compare as the file system does: a.txt is not A.txt.
        if (platform::SamePath(stored, text)) {
            list.Erase(i);
            if (int* counter = Counter(kind)) --*counter;
            return 1;
        }
    }
    return 0;
}

void CLogBookBase::ResetCounters() {
    m_nDisks = m_nSystemErrors = m_nFileErrors = m_nFileWarnings = 0;
    m_nFilesAdded = m_nFilesUpdated = m_nFilesRemoved = m_nItemsInBackup = 0;
    m_nCompressedSize = m_nUncompressedSize = 0;
    m_nCompressionRatio = 0;
}

void CLogBookBase::ClearSection(int kind) {
    if (!m_switches[kSwitchCreateLog]) return;
    switch (kind) {
        case kLogTitle: m_strTitle.clear(); break;
        case kLogSummary:
            ResetCounters();
            List(kind).Clear();
            break;
        case kLogSystemError:
        case kLogFileNotUpdated:
        case kLogFileExcluded:
        case kLogFileSkipped: List(kind).Clear(); break;
        case kLogFileError:
        case kLogFileWarning:
        case kLogFileAdded:
        case kLogFileUpdated:
        case kLogFileRemoved:
            List(kind).Clear();
            *Counter(kind) = 0;
            break;
        default: break;
    }
}

void CLogBookBase::ClearAll(bool clearWindow) {
    for (int kind = kLogTitle; kind <= kLogFooter; ++kind) ClearSection(kind);
    if (clearWindow) m_strDocument.clear();
}

void CLogBookBase::AddSummaryLines(std::vector<std::string>&) {}

std::vector<std::string> CLogBookBase::Entries(int kind) const {
    if (kind < kLogSummary || kind > kLogFileRemoved) return {};
    return m_lists[static_cast<size_t>(kind - 1)].Copy();
}

size_t CLogBookBase::EntryCount(int kind) const {
    if (kind < kLogSummary || kind > kLogFileRemoved) return 0;
    return m_lists[static_cast<size_t>(kind - 1)].Count();
}

void CLogBookBase::RenderResultLine() {
    if (m_nSystemErrors) {
        m_builder.m_bBold = 1;
        m_builder.SetColor(kRed);
        m_builder.AppendText("RESULT - A Fatal Error occurred!\n");
    } else if (m_nFileErrors) {
        m_builder.m_bBold = 1;
        m_builder.SetColor(kRed);
        m_builder.AppendText("RESULT - Some Critical file errors occurred!\n");
    } else {
        m_builder.m_bBold = 0;
        m_builder.SetColor(kBlue);
        m_builder.AppendText(m_nFileWarnings ? "RESULT - Some non-critical warnings occurred!\n"
                                             : "RESULT - Successful:\n");
    }
}

void CLogBookBase::BuildLog() {
    if (!m_switches[kSwitchCreateLog]) return;
    static constexpr int kSectionSwitch[] = {kSwitchSummary, -1, kSwitchErrors, kSwitchErrors, kSwitchAdded,
                                             kSwitchUpdated, kSwitchNotUpdated, kSwitchExcluded, kSwitchSkipped,
                                             kSwitchRemoved};
    // Room for the whole document at once: a log of many files would
    // otherwise hold it two and three times over while it grows.
    constexpr size_t kRunOverhead = 64;  // the attributes before a run, the line end in it
    size_t expected = m_strTitle.size() + m_strFooter.size() + 4096;
    for (const auto& list : m_lists) expected += list.Bytes() + list.Count() * kRunOverhead;
    m_builder.m_strBody.reserve(expected);
    for (int section = kLogTitle; section <= kLogFooter; ++section) {
        m_builder.Reset();
        m_builder.m_bBold = 1;
        if (section == kLogTitle) {
            m_builder.SetText(m_strTitle);
            RenderResultLine();
            continue;
        }
        if (section == kLogFooter) {
            m_builder.AppendText("\n" + m_strFooter);
            continue;
        }
        const SectionLook& look = kSections[section - 1];
        m_builder.AppendText(look.heading);
        // The stored lists stay as collected, so a log built twice (shown,
        // then saved) neither repeats its summary nor keeps a placeholder
        // in front of later entries.
        const EntryList& list = List(section);
        std::vector<std::string> summary;
        if (section == kLogSummary) {
            summary = list.Copy();
            AddSummaryLines(summary);
        }
        const size_t count = section == kLogSummary ? summary.size() : list.Count();
        const int sw = kSectionSwitch[section - 1];
        const bool on = sw < 0 || m_switches[static_cast<size_t>(sw)];
        if (!on || count == 0) {
            m_builder.SetColor(kGrey);
            m_builder.m_bBold = 0;
            m_builder.m_bItalic = 0;
            m_builder.AppendText(on ? "(none)\n" : "(Section Disabled!)\n");
            continue;
        }
        m_builder.SetColor(look.color);
        m_builder.m_bBold = look.bold;
        m_builder.m_bItalic = 0;
        for (size_t i = 0; i < count; ++i)
            m_builder.AppendText(section == kLogSummary ? std::string_view(summary[i]) : list[i]);
    }
    m_strDocument = m_builder.FlushTo();
}

int CLogBookBase::SaveLogFile(const std::string& path) {
    BuildLog();
    if (int err = platform::WriteFileAtomically(path, m_strDocument)) {
        platform::Messages().Show("Unable to create the log file " + path + ".\n" + platform::GetSystemErrorText(err),
                                  "Vellora", platform::MB_OK | platform::MB_ICONEXCLAMATION);
        return 0;
    }
    return 1;
}

}  // namespace logbook
