#include "jobmodel/JobFields.h"

namespace jobmodel {

namespace {

#define INT_FIELD(block, member) \
    JobField { #member, [](CAppDoc& d) { return &d.block.member; }, nullptr, nullptr }
#define STRING_FIELD(block, member) \
    JobField { #member, nullptr, [](CAppDoc& d) { return &d.block.member; }, nullptr }

}  // namespace

const std::vector<JobField>& JobFields() {
    static const std::vector<JobField> fields = [] {
        std::vector<JobField> f = {
            STRING_FIELD(m_BackupSettings, m_strBackupFile),
            STRING_FIELD(m_BackupSettings, m_strDescription),
            INT_FIELD(m_BackupSettings, m_nFileFilterMode),
            STRING_FIELD(m_BackupSettings, m_strFileTypes),
            INT_FIELD(m_ScheduleSettings, m_bScheduleEnabled),
            INT_FIELD(m_ScheduleSettings, m_bSchedulesActive),
            STRING_FIELD(m_ScheduleSettings, m_strTaskName),
            INT_FIELD(m_JobOptions, m_nCompressionLevel),
            INT_FIELD(m_JobOptions, m_nCompressionIndex),
            INT_FIELD(m_JobOptions, m_nDiskSpanning),
            INT_FIELD(m_JobOptions, m_nNonEmptyDiskAction),
            INT_FIELD(m_JobOptions, m_bUsePassword),
            INT_FIELD(m_JobOptions, m_bPasswordChanged),
            STRING_FIELD(m_JobOptions, m_strPassword),
            INT_FIELD(m_JobOptions, m_bUseVolumeName),
            STRING_FIELD(m_JobOptions, m_strVolumeName),
            INT_FIELD(m_JobOptions, m_bArchiveOldVersions),
            STRING_FIELD(m_JobOptions, m_strPurgeDays),
            INT_FIELD(m_JobOptions, m_bVerify),
            INT_FIELD(m_LogSettings, m_bCreateLog),
            INT_FIELD(m_LogSettings, m_bLogSummary),
            INT_FIELD(m_LogSettings, m_bLogAdded),
            INT_FIELD(m_LogSettings, m_bLogUpdated),
            INT_FIELD(m_LogSettings, m_bLogNotUpdated),
            INT_FIELD(m_LogSettings, m_bLogExcluded),
            INT_FIELD(m_LogSettings, m_bLogSkipped),
            INT_FIELD(m_LogSettings, m_bLogRemoved),
            INT_FIELD(m_LogSettings, m_bLogErrors),
            INT_FIELD(m_LogSettings, m_bEmailLog),
            STRING_FIELD(m_LogSettings, m_strEmailAddress),
            STRING_FIELD(m_LogSettings, m_strLogExtra),
        };
        for (auto& field : f) {
            if (std::string_view(field.name) == "m_nCompressionLevel")
                field.afterSet = [](CAppDoc& d) {
                    d.m_JobOptions.m_nCompressionIndex = CJobOptions::IndexFromLevel(d.m_JobOptions.m_nCompressionLevel);
                };
        }
        return f;
    }();
    return fields;
}

#undef INT_FIELD
#undef STRING_FIELD

const JobField* FindJobField(std::string_view name) {
    for (const auto& field : JobFields())
        if (name == field.name) return &field;
    return nullptr;
}

}  // namespace jobmodel
