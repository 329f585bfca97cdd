#include "scheduling/Trigger.h"

#include <clocale>
#include <cstdio>
#include <langinfo.h>
#include <locale.h>
#include <vector>

namespace scheduling {

namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DayNumber(const Date& d) {
    const int y = d.year - (d.month <= 2 ? 1 : 0);
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (d.month + (d.month > 2 ? -3 : 9)) + 2) / 5 + d.day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

Date FromDayNumber(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0)), month, day};
}

// 0 Sunday ... 6 Saturday.
int WeekDay(const Date& d) {
    const int64_t n = DayNumber(d);
    return static_cast<int>(((n % 7) + 11) % 7);  // 1970-01-01 was a Thursday
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// The user's locale for times and dates.
class UserTimeLocale {
public:
    UserTimeLocale() {
        m_locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
        if (!m_locale) m_locale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    }
    ~UserTimeLocale() {
        if (m_locale) freelocale(m_locale);
    }
    UserTimeLocale(const UserTimeLocale&) = delete;
    UserTimeLocale& operator=(const UserTimeLocale&) = delete;
    std::string Item(nl_item item) const { return nl_langinfo_l(item, m_locale); }
    std::string Format(const char* format, const std::tm& tm) const {
        char text[128] = "";
        strftime_l(text, sizeof text, format, &tm, m_locale);
        return text;
    }

private:
    locale_t m_locale;
};

std::string TwoDigits(int n) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

// The user's short date with a four-digit year: 10/12/2026.
std::string UserDate(const Date& d, const UserTimeLocale& locale) {
    std::string format = locale.Item(D_FMT);
    for (size_t at; (at = format.find("%y")) != std::string::npos;) format.replace(at, 2, "%Y");
    std::tm tm {};
    tm.tm_year = d.year - 1900;
    tm.tm_mon = d.month - 1;
    tm.tm_mday = d.day;
    return locale.Format(format.c_str(), tm);
}

const char* const kDayWords[] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};
const char* const kMonthWords[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};

std::vector<std::string> SplitOn(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

bool ParseNumber(const std::string& text, int low, int high, int& out) {
    if (text.empty() || text.size() > 4) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high) return false;
    out = value;
    return true;
}

bool ParseTime(const std::string& text, int& hour, int& minute) {
    const auto parts = SplitOn(text, ':');
    return parts.size() == 2 && ParseNumber(parts[0], 0, 23, hour) && ParseNumber(parts[1], 0, 59, minute);
}

bool ParseWords(const std::string& text, const char* const* words, int count, unsigned& mask) {
    mask = 0;
    for (const auto& part : SplitOn(text, ',')) {
        int found = -1;
        for (int i = 0; i < count; ++i)
            if (part == words[i]) found = i;
        if (found < 0) return false;
        mask |= 1u << found;
    }
    return mask != 0;
}

std::string Words(unsigned mask, const char* const* words, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        if (mask & (1u << i)) text += (text.empty() ? "" : ",") + std::string(words[i]);
    return text;
}

}  // namespace

bool Date::Valid() const {
    return year >= 1970 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

Date LocalDate(time_t when) {
    std::tm local {};
    localtime_r(&when, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string DateText(const Date& d) { return std::to_string(d.year) + "-" + TwoDigits(d.month) + "-" + TwoDigits(d.day); }

bool ParseDate(const std::string& text, Date& out) {
    const auto parts = SplitOn(text, '-');
    Date d;
    if (parts.size() != 3 || parts[0].size() != 4 || !ParseNumber(parts[0], 1970, 9999, d.year) ||
        !ParseNumber(parts[1], 1, 12, d.month) || !ParseNumber(parts[2], 1, 31, d.day) || !d.Valid())
        return false;
    out = d;
    return true;
}

bool FiresOnDay(const Trigger& t, const Date& day) {
    if (!t.Timed()) return false;
    if (t.start.Valid() && day < t.start) return false;
    if (t.end && *t.end < day) return false;
    const int64_t since = t.start.Valid() ? DayNumber(day) - DayNumber(t.start) : 0;
    switch (t.kind) {
        case Trigger::kOnce: return day == t.start;
        case Trigger::kDaily: return since % std::max(1, t.interval) == 0;
        case Trigger::kWeekly: {
            if (!(t.weekDays & (1u << WeekDay(day)))) return false;
            // Weeks run Sunday to Saturday, counted from the start date's week.
            const int64_t weeks = (since + (t.start.Valid() ? WeekDay(t.start) : 0)) / 7;
            return weeks % std::max(1, t.interval) == 0;
        }
        case Trigger::kMonthly:
            return day.day == t.dayOfMonth && (t.months == 0 || (t.months & (1u << (day.month - 1))));
        default: return false;
    }
}

std::optional<time_t> NextRun(const Trigger& t, time_t after) {
    if (!t.Timed()) return std::nullopt;
    const int64_t first = DayNumber(std::max(LocalDate(after), t.start.Valid() ? t.start : Date{1970, 1, 1}));
    // Ten years cover every interval a user can give.
    for (int64_t n = first - 1; n < first + 3700; ++n) {
        const Date day = FromDayNumber(n);
        if (t.end && *t.end < day) return std::nullopt;
        if (!FiresOnDay(t, day)) continue;
        std::tm local {};
        local.tm_year = day.year - 1900;
        local.tm_mon = day.month - 1;
        local.tm_mday = day.day;
        local.tm_hour = t.hour;
        local.tm_min = t.minute;
        local.tm_isdst = -1;
        const time_t when = mktime(&local);
        if (when != static_cast<time_t>(-1) && when > after) return when;
    }
    return std::nullopt;
}

std::string TriggerString(const Trigger& t) {
    if (t.kind == Trigger::kAtStartup) return "Run at system startup";
    if (t.kind == Trigger::kAtLogon) return "Run at user logon";
    const UserTimeLocale locale;
    const std::string at = "At " + TwoDigits(t.hour) + ":" + TwoDigits(t.minute);
    const std::string starting = ", starting " + UserDate(t.start, locale) +
                                 (t.end ? ", ending " + UserDate(*t.end, locale) : std::string());
    auto names = [&](unsigned mask, nl_item first, int count) {
        std::string text;
        for (int i = 0; i < count; ++i)
            if (mask & (1u << i)) text += (text.empty() ? "" : ", ") + locale.Item(static_cast<nl_item>(first + i));
        return text;
    };
    switch (t.kind) {
        case Trigger::kOnce: return at + " on " + UserDate(t.start, locale);
        case Trigger::kDaily:
            return at + (t.interval > 1 ? " every " + std::to_string(t.interval) + " days" : " every day") + starting;
        case Trigger::kWeekly:
            return at + " every " + names(t.weekDays, ABDAY_1, 7) + " of every " +
                   (t.interval > 1 ? std::to_string(t.interval) + " weeks" : "week") + starting;
        case Trigger::kMonthly:
            return at + " on day " + std::to_string(t.dayOfMonth) + " of " +
                   (t.months == 0 || t.months == 0xFFF ? "every month" : names(t.months, ABMON_1, 12)) + starting;
        default: return "";
    }
}

bool ParseTrigger(const std::string& text, Trigger& out) {
    Trigger t;
    if (text == "startup" || text == "logon") {
        t.kind = text == "startup" ? Trigger::kAtStartup : Trigger::kAtLogon;
        out = t;
        return true;
    }
    const size_t atSign = text.rfind('@');
    if (atSign == std::string::npos || !ParseTime(text.substr(atSign + 1), t.hour, t.minute)) return false;
    const std::string head = text.substr(0, atSign);
    const auto parts = SplitOn(head, ':');
    auto kindAndInterval = [&](const std::string& word, const char* name) {
        const auto pieces = SplitOn(word, '/');
        if (pieces[0] != name || pieces.size() > 2) return false;
        return pieces.size() == 1 || ParseNumber(pieces[1], 1, 999, t.interval);
    };
    if (parts[0] == "once" && parts.size() == 2) {
        t.kind = Trigger::kOnce;
        if (!ParseDate(parts[1], t.start)) return false;
    } else if (kindAndInterval(parts[0], "daily") && parts.size() == 1) {
        t.kind = Trigger::kDaily;
    } else if (kindAndInterval(parts[0], "weekly") && parts.size() == 2) {
        t.kind = Trigger::kWeekly;
        if (!ParseWords(parts[1], kDayWords, 7, t.weekDays)) return false;
    } else if (parts[0] == "monthly" && (parts.size() == 2 || parts.size() == 3)) {
        t.kind = Trigger::kMonthly;
        if (!ParseNumber(parts[1], 1, 31, t.dayOfMonth)) return false;
        if (parts.size() == 3 && !ParseWords(parts[2], kMonthWords, 12, t.months)) return false;
    } else {
        return false;
    }
    out = t;
    return true;
}

std::string FormatTrigger(const Trigger& t) {
    const std::string at = "@" + TwoDigits(t.hour) + ":" + TwoDigits(t.minute);
    const std::string every = t.interval > 1 ? "/" + std::to_string(t.interval) : "";
    switch (t.kind) {
        case Trigger::kAtStartup: return "startup";
        case Trigger::kAtLogon: return "logon";
        case Trigger::kOnce: return "once:" + DateText(t.start) + at;
        case Trigger::kDaily: return "daily" + every + at;
        case Trigger::kWeekly: return "weekly" + every + ":" + Words(t.weekDays, kDayWords, 7) + at;
        case Trigger::kMonthly:
            return "monthly:" + std::to_string(t.dayOfMonth) + (t.months ? ":" + Words(t.months, kMonthWords, 12) : "") +
                   at;
    }
    return "";
}

}  // namespace scheduling
