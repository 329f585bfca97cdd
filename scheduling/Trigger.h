#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace scheduling {

struct Date {
    int year = 0, month = 0, day = 0;  // month and day from 1
    bool operator==(const Date&) const = default;
    auto operator<=>(const Date&) const = default;
    bool Valid() const;
};

// When a task runs: once, every N days, every N weeks on chosen days,
// on a day of chosen months, at system start-up or at logon. Times are
// local wall-clock times.
struct Trigger {
    enum Kind { kOnce, kDaily, kWeekly, kMonthly, kAtStartup, kAtLogon };
    Kind kind = kDaily;
    int hour = 0, minute = 0;
    Date start;
    std::optional<Date> end;
    int interval = 1;        // days (daily) or weeks (weekly)
    unsigned weekDays = 0;   // bit 0 Sunday ... bit 6 Saturday
    unsigned months = 0;     // bit 0 January ... bit 11 December
    int dayOfMonth = 1;

    bool Timed() const { return kind != kAtStartup && kind != kAtLogon; }
    bool operator==(const Trigger&) const = default;
};

// The Task Scheduler's wording of a trigger, in the user's date format:
// "At 18:00 every Mon, Tue, Wed, Thu, Fri of every week, starting 10/12/2026".
std::string TriggerString(const Trigger& trigger);

// The first time after `after` (strictly) at which the trigger fires; none
// for start-up and logon triggers and after the end date. A wall-clock
// time that a change to summer time skips runs at the first moment after
// the gap; one that the change back repeats runs once.
std::optional<time_t> NextRun(const Trigger& trigger, time_t after);

// Whether the trigger fires on the local day of `when` at its hour and
// minute: what a cron line, which knows no intervals or dates, leaves to
// the runner to decide.
bool FiresOnDay(const Trigger& trigger, const Date& day);

// The trigger notation of vellora-job and of the task files:
// "once:2026-12-24@18:00", "daily/2@18:00", "weekly:mon,fri@08:30",
// "weekly/2:sat@09:00", "monthly:15@12:00", "monthly:1:jan,jul@06:00",
// "startup", "logon". Parsing fills `start` only for "once"; false when
// the text is not a trigger.
bool ParseTrigger(const std::string& text, Trigger& out);
std::string FormatTrigger(const Trigger& trigger);

Date LocalDate(time_t when);
std::string DateText(const Date& date);  // "2026-12-10"
bool ParseDate(const std::string& text, Date& out);

}  // namespace scheduling
