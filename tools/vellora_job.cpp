// vellora-job: creates, shows and changes job files from the command line.

#include "jobmodel/AppDoc.h"
#include "jobmodel/JobFields.h"
#include "jobmodel/SettingsRegistry.h"
#include "scheduling/ScheduleHooks.h"
#include "platform/FileSystem.h"
#include "platform/Utf8.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <optional>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using jobmodel::CAppDoc;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int Usage() {
    std::fputs(
        "usage: vellora-job new JOB\n"
        "       vellora-job show JOB\n"
        "       vellora-job set JOB NAME=VALUE...\n"
        "       vellora-job add JOB STATE PATH...\n"
        "       vellora-job schedule JOB TRIGGER...   (once:YYYY-MM-DD@HH:MM, daily[/N]@HH:MM,\n"
        "                                            weekly[/N]:mon,tue,...@HH:MM, monthly:DAY[:jan,...]@HH:MM,\n"
        "                                            startup, logon)\n"
        "       vellora-job schedule JOB --off\n"
        "       vellora-job status JOB\n"
        "       vellora-job register-programs BINDIR\n",
        stderr);
    return kExitUsage;
}

bool ParseInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

// JSON text of raw bytes: valid UTF-8 passes, other bytes read as Latin-1.
std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t len;
        platform::DecodeUtf8(s, i, len);
        const bool valid = len > 0;
        if (!valid || (len == 1 && (c < 0x20 || c == '"' || c == '\\'))) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += static_cast<char>(c);
            } else {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            }
            ++i;
            continue;
        }
        out.append(s, i, len);
        i += len;
    }
    return out + "\"";
}

bool Open(CAppDoc& doc, const std::string& path) {
    if (!doc.OnOpenDocument(path)) {
        // The message service has already printed the reason.
        return false;
    }
    return true;
}

bool Save(CAppDoc& doc, const std::string& path) { return doc.OnSaveDocument(path); }

int New(const std::string& path) {
    if (platform::PathExists(path)) {
        std::fprintf(stderr, "%s already exists; not overwritten\n", path.c_str());
        return kExitFailed;
    }
    if (CAppDoc::RecogniseKind(path) != jobmodel::kDocJob) {
        std::fprintf(stderr, "%s does not end in .%s\n", path.c_str(), jobmodel::kJobExtension);
        return kExitFailed;
    }
    CAppDoc doc(jobmodel::DocHost::Runner);
    doc.OnNewDocument();
    return Save(doc, path) ? kExitOk : kExitFailed;
}

int Show(const std::string& path) {
    CAppDoc doc(jobmodel::DocHost::Runner);
    if (!Open(doc, path)) return kExitFailed;
    std::string json = "{\"m_nFileVersion\":" + std::to_string(doc.m_nFileVersion) +
                       ",\"m_strJobFile\":" + JsonString(doc.m_strJobFile) +
                       ",\"m_nDocKind\":" + std::to_string(doc.m_nDocKind);
    for (const auto& field : jobmodel::JobFields()) {
        json += ",\"" + std::string(field.name) + "\":";
        json += field.intField ? std::to_string(*field.intField(doc)) : JsonString(*field.stringField(doc));
    }
    json += ",\"m_items\":[";
    const auto& items = doc.m_BackupSettings.m_items;
    for (int i = 0; i < items.GetCount(); ++i) {
        const auto& item = items.GetAt(i);
        if (i) json += ",";
        json += "{\"m_nState\":" + std::to_string(item.m_nState) + ",\"m_strPath\":" + JsonString(item.m_strPath) +
                ",\"m_dwAttributes\":" + std::to_string(item.m_dwAttributes) + "}";
    }
    json += "]}\n";
    std::fputs(json.c_str(), stdout);
    return kExitOk;
}

int Set(const std::string& path, const std::vector<std::string>& assignments) {
    struct Assignment {
        const jobmodel::JobField* field;
        std::string value;
    };
    std::vector<Assignment> parsed;
    for (const auto& a : assignments) {
        const size_t eq = a.find('=');
        const jobmodel::JobField* field = eq == std::string::npos ? nullptr : jobmodel::FindJobField(a.substr(0, eq));
        if (!field) {
            std::fprintf(stderr, "not a job setting: %s\n", a.c_str());
            return kExitUsage;
        }
        int ignored;
        if (field->intField && !ParseInt(a.substr(eq + 1), ignored)) {
            std::fprintf(stderr, "%s takes a whole number\n", field->name);
            return kExitUsage;
        }
        parsed.push_back({field, a.substr(eq + 1)});
    }
    CAppDoc doc(jobmodel::DocHost::Runner);
    if (!Open(doc, path)) return kExitFailed;
    for (const auto& [field, value] : parsed) {
        if (field->intField)
            ParseInt(value, *field->intField(doc));
        else
            *field->stringField(doc) = value;
        if (field->afterSet) field->afterSet(doc);
    }
    return Save(doc, path) ? kExitOk : kExitFailed;
}

int Add(const std::string& path, const std::string& stateText, const std::vector<std::string>& items) {
    int state;
    if (!ParseInt(stateText, state)) {
        std::fprintf(stderr, "STATE must be a whole number: %s\n", stateText.c_str());
        return kExitUsage;
    }
    std::vector<std::string> absolute;
    for (const auto& item : items) {
        std::error_code ec;
        std::string full = std::filesystem::absolute(item, ec).lexically_normal().string();
        if (full.size() > 1 && full.back() == '/') full.pop_back();
        if (ec || !platform::PathExists(full)) {
            std::fprintf(stderr, "%s does not exist\n", item.c_str());
            return kExitFailed;
        }
        absolute.push_back(full);
    }
    CAppDoc doc(jobmodel::DocHost::Runner);
    if (!Open(doc, path)) return kExitFailed;
    for (const auto& item : absolute)
        doc.m_BackupSettings.m_items.AddItem(item, state, platform::GetFileAttributes(item));
    return Save(doc, path) ? kExitOk : kExitFailed;
}

// The job and its task, opened as the editor opens them.
struct ScheduledJob {
    scheduling::CSchedulerTask task;
    scheduling::CScheduleHooks hooks{task};
    CAppDoc doc{jobmodel::DocHost::Editor};
    ScheduledJob() {
        task.m_interactive = false;
        doc.SetScheduleHooks(&hooks);
    }
};

std::string LocalTime(std::optional<time_t> when) {
    if (!when) return "Never";
    std::tm local {};
    localtime_r(&*when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

int Schedule(const std::string& path, const std::vector<std::string>& words) {
    const bool off = words.size() == 1 && words[0] == "--off";
    std::vector<scheduling::Trigger> triggers;
    const scheduling::Date today = scheduling::LocalDate(std::time(nullptr));
    for (const auto& word : words) {
        if (off) break;
        scheduling::Trigger t;
        if (!scheduling::ParseTrigger(word, t)) {
            std::fprintf(stderr, "not a trigger: %s\n", word.c_str());
            return kExitUsage;
        }
        if (t.kind != scheduling::Trigger::kOnce) t.start = today;
        triggers.push_back(t);
    }
    ScheduledJob job;
    if (!Open(job.doc, path)) return kExitFailed;
    auto& settings = job.doc.m_ScheduleSettings;
    if (off) {
        settings.m_bScheduleEnabled = 0;
        settings.m_bSchedulesActive = 0;
        return Save(job.doc, path) ? kExitOk : kExitFailed;
    }
    std::string name = settings.m_strTaskName.empty() ? scheduling::CSchedulerTask::DefaultTaskName(path)
                                                      : settings.m_strTaskName;
    // A task of this name that starts another job is not ours to take.
    scheduling::Task existing;
    if (settings.m_strTaskName.empty() &&
        scheduling::LoadTask(scheduling::CSchedulerTask::GetTasksFolder() + "/" + name, existing) &&
        existing.parameters != path) {
        std::fprintf(stderr, "the task %s belongs to %s\n", name.c_str(), existing.parameters.c_str());
        return kExitFailed;
    }
    if (!job.hooks.Open(path, name)) {
        std::fprintf(stderr, "%s\n", job.task.LastError().c_str());
        return kExitFailed;
    }
    job.task.OpenedTask().triggers = triggers;
    job.task.OpenedTask().flags &= ~scheduling::kTaskFlagDisabled;
    settings.m_bScheduleEnabled = 1;
    settings.m_bSchedulesActive = 1;
    settings.m_strTaskName = name;
    if (!Save(job.doc, path)) return kExitFailed;
    if (job.task.EnsureSchedulerRunning() != 0)
        std::fputs("vellora-job: cron is not running: the task runs once it is started\n", stderr);
    // Saving stored the task; a crontab that refused its lines is told here.
    if (!job.task.SaveTask()) {
        std::fprintf(stderr, "%s\n", job.task.LastError().c_str());
        return kExitFailed;
    }
    return kExitOk;
}

int Status(const std::string& path) {
    ScheduledJob job;
    if (!Open(job.doc, path)) return kExitFailed;
    if (!job.doc.m_ScheduleSettings.m_bScheduleEnabled || !job.task.HasOpenTask()) {
        std::puts("Task: none");
        return kExitOk;
    }
    std::printf("Task: %s\n", job.task.OpenName().c_str());
    std::printf("Status: %s\n", scheduling::DescribeStatus(job.task.GetStatus()).text.c_str());
    std::printf("Last: %s\n", LocalTime(job.task.GetLastRunTime()).c_str());
    std::printf("Next: %s\n", LocalTime(job.task.GetNextRunTime()).c_str());
    for (int i = 0; i < job.task.GetTriggerCount(); ++i)
        std::printf("Trigger: %s\n", job.task.GetTriggerString(i).c_str());
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2) return Usage();
    const std::string& command = args[0];
    if (command == "register-programs" && args.size() == 2) {
        if (const int err = jobmodel::RegisterProgramPaths(args[1])) {
            std::fprintf(stderr, "vellora-job: the programs cannot be registered: %s\n",
                         platform::GetSystemErrorText(err).c_str());
            return kExitFailed;
        }
        return kExitOk;
    }
    // Documents record full paths, as the programs' file dialogs give them.
    std::error_code ec;
    const std::string job = std::filesystem::absolute(args[1], ec).lexically_normal().string();
    std::vector<std::string> rest(args.begin() + 2, args.end());
    if (command == "new" && rest.empty()) return New(job);
    if (command == "show" && rest.empty()) return Show(job);
    if (command == "set" && !rest.empty()) return Set(job, rest);
    if (command == "add" && rest.size() >= 2) return Add(job, rest[0], {rest.begin() + 1, rest.end()});
    if (command == "schedule" && !rest.empty()) return Schedule(job, rest);
    if (command == "status" && rest.empty()) return Status(job);
    return Usage();
}
