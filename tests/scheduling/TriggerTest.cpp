#include "scheduling/Trigger.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>

using namespace scheduling;

namespace {

// Central European time, written out so that no zone file is needed.
class InBerlin : public ::testing::Test {
protected:
    std::string m_tz;
    bool m_hadTz = false;
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) {
            m_hadTz = true;
            m_tz = tz;
        }
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
        setenv("LC_ALL", "C", 1);
    }
    void TearDown() override {
        if (m_hadTz) setenv("TZ", m_tz.c_str(), 1);
        else unsetenv("TZ");
        tzset();
        unsetenv("LC_ALL");
    }
    static time_t Local(int y, int mo, int d, int h, int mi) {
        std::tm tm {};
        tm.tm_year = y - 1900;
        tm.tm_mon = mo - 1;
        tm.tm_mday = d;
        tm.tm_hour = h;
        tm.tm_min = mi;
        tm.tm_isdst = -1;
        return mktime(&tm);
    }
    static std::string Text(time_t t) {
        std::tm tm {};
        localtime_r(&t, &tm);
        char s[32];
        std::strftime(s, sizeof s, "%Y-%m-%d %H:%M %Z", &tm);
        return s;
    }
    static Trigger Parsed(const std::string& text, Date start) {
        Trigger t;
        EXPECT_TRUE(ParseTrigger(text, t)) << text;
        if (t.kind != Trigger::kOnce) t.start = start;
        return t;
    }
};

TEST_F(InBerlin, TheTaskSchedulersWording) {
    const Date start{2026, 12, 10};
    struct Case {
        std::string trigger;
        std::string text;
    };
    const Case cases[] = {
        {"weekly:mon,tue,wed,thu,fri@18:00", "At 18:00 every Mon, Tue, Wed, Thu, Fri of every week, starting 12/10/2026"},
        {"weekly/2:sat@09:05", "At 09:05 every Sat of every 2 weeks, starting 12/10/2026"},
        {"daily@07:30", "At 07:30 every day, starting 12/10/2026"},
        {"daily/3@23:59", "At 23:59 every 3 days, starting 12/10/2026"},
        {"monthly:15@12:00", "At 12:00 on day 15 of every month, starting 12/10/2026"},
        {"monthly:1:jan,jul@06:00", "At 06:00 on day 1 of Jan, Jul, starting 12/10/2026"},
        {"once:2026-12-24@18:00", "At 18:00 on 12/24/2026"},
        {"startup", "Run at system startup"},
        {"logon", "Run at user logon"},
    };
    for (const Case& c : cases) {
        const Trigger t = Parsed(c.trigger, start);
        EXPECT_EQ(TriggerString(t), c.text) << c.trigger;
        EXPECT_EQ(FormatTrigger(t), c.trigger);
    }
    Trigger ending = Parsed("daily@07:30", start);
    ending.end = Date{2027, 1, 31};
    EXPECT_EQ(TriggerString(ending), "At 07:30 every day, starting 12/10/2026, ending 01/31/2027");
    for (const char* bad : {"", "daily", "daily@25:00", "weekly@08:00", "weekly:funday@08:00", "monthly:32@08:00",
                            "once:2026-02-30@08:00", "hourly@08:00", "daily/0@08:00", "monthly:1:jan,@08:00"}) {
        Trigger t;
        EXPECT_FALSE(ParseTrigger(bad, t)) << bad;
    }
}

TEST_F(InBerlin, NextRunsOverMonthEndsLeapDaysAndClockChanges) {
    struct Case {
        std::string trigger;
        Date start;
        time_t after;
        std::string next;  // "" for none
    };
    const Date dec10{2026, 12, 10};  // a Thursday
    const Case cases[] = {
        {"daily@18:00", dec10, Local(2026, 12, 10, 17, 0), "2026-12-10 18:00 CET"},
        {"daily@18:00", dec10, Local(2026, 12, 10, 18, 0), "2026-12-11 18:00 CET"},
        {"daily/2@18:00", dec10, Local(2026, 12, 10, 19, 0), "2026-12-12 18:00 CET"},
        {"daily@18:00", dec10, Local(2026, 11, 1, 0, 0), "2026-12-10 18:00 CET"},  // not before the start
        {"weekly:mon,fri@08:00", dec10, Local(2026, 12, 10, 9, 0), "2026-12-11 08:00 CET"},
        {"weekly:mon,fri@08:00", dec10, Local(2026, 12, 11, 9, 0), "2026-12-14 08:00 CET"},
        {"weekly/2:mon@08:00", dec10, Local(2026, 12, 10, 9, 0), "2026-12-21 08:00 CET"},  // next week is skipped
        {"monthly:31@12:00", dec10, Local(2027, 1, 31, 13, 0), "2027-03-31 12:00 CEST"},   // no Feb 31
        {"monthly:29:feb@12:00", dec10, Local(2026, 12, 10, 0, 0), "2028-02-29 12:00 CET"},
        {"monthly:30:apr,jun@12:00", dec10, Local(2027, 4, 30, 12, 0), "2027-06-30 12:00 CEST"},
        {"once:2026-12-24@18:00", {}, Local(2026, 12, 10, 0, 0), "2026-12-24 18:00 CET"},
        {"once:2026-12-24@18:00", {}, Local(2026, 12, 24, 18, 0), ""},
        // Summer time begins at 02:00 on 28 March 2027: 02:30 does not exist and runs once, at 03:30.
        {"daily@02:30", dec10, Local(2027, 3, 28, 0, 0), "2027-03-28 03:30 CEST"},
        {"daily@02:30", dec10, Local(2027, 3, 28, 4, 0), "2027-03-29 02:30 CEST"},
    };
    for (const Case& c : cases) {
        const Trigger t = Parsed(c.trigger, c.start);
        const auto next = NextRun(t, c.after);
        EXPECT_EQ(next ? Text(*next) : "", c.next) << c.trigger << " after " << Text(c.after);
    }
    // Winter time returns at 03:00 on 31 October 2027: 02:30 comes twice and runs once.
    const Trigger night = Parsed("daily@02:30", dec10);
    const auto first = NextRun(night, Local(2027, 10, 31, 0, 0));
    ASSERT_TRUE(first);
    const auto second = NextRun(night, *first);
    ASSERT_TRUE(second);
    EXPECT_EQ(Text(*second), "2027-11-01 02:30 CET");
    // An end date ends it; start-up has no time.
    Trigger ending = Parsed("daily@18:00", dec10);
    ending.end = Date{2026, 12, 11};
    EXPECT_FALSE(NextRun(ending, Local(2026, 12, 11, 19, 0)));
    EXPECT_FALSE(NextRun(Parsed("startup", dec10), Local(2026, 12, 11, 19, 0)));
}

}  // namespace
