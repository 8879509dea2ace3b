#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

#include "date_texts.h"

namespace tavrix {
namespace {

// A moment given in local time, so the cases hold in any time zone.
std::time_t localMoment(int year, int month, int day, int hour, int minute = 0) {
    std::tm fields = {};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

struct DateCase {
    const char* name;
    int year, month, day, hour;
    const char* stampPattern;
    bool nightShift, oldCommandFormat;
    const char* stamp;
    const char* dateSwitch;
};

class DateTextsTest : public testing::TestWithParam<DateCase> {};

TEST_P(DateTextsTest, StampAndSwitchComeFromOneMoment) {
    const DateCase& c = GetParam();
    RunSettings settings;
    settings.stampPattern = c.stampPattern;
    settings.nightShift = c.nightShift;
    settings.oldCommandFormat = c.oldCommandFormat;
    auto texts = makeDateTexts(settings, localMoment(c.year, c.month, c.day, c.hour, 30));
    ASSERT_TRUE(texts.has_value());
    EXPECT_EQ(texts->stamp, c.stamp);
    EXPECT_EQ(texts->dateSwitch, c.dateSwitch);
}

INSTANTIATE_TEST_SUITE_P(
    FixedMoments, DateTextsTest,
    testing::Values(
        DateCase{"TwoDigitYear", 2026, 12, 11, 14, "%y", false, false, "26", "/d:12-11-2026"},
        DateCase{"FourDigitYear", 2026, 12, 11, 14, "%Y", false, false, "2026", "/d:12-11-2026"},
        DateCase{"Month", 2026, 12, 11, 14, "%y%m", false, false, "2612", "/d:12-11-2026"},
        DateCase{"MonthLong", 2026, 12, 11, 14, "%Y%m", false, false, "202612", "/d:12-11-2026"},
        DateCase{"Day", 2026, 12, 11, 14, "%y%m%d", false, false, "261211", "/d:12-11-2026"},
        DateCase{"DayLong", 2026, 12, 11, 14, "%Y%m%d", false, false, "20261211", "/d:12-11-2026"},
        DateCase{"Hour", 2026, 12, 11, 14, "%y%m%d%H", false, false, "26121114", "/d:12-11-2026"},
        DateCase{"HourLongFillsTheStamp", 2026, 12, 11, 9, "%Y%m%d%H", false, false, "2026121109",
                 "/d:12-11-2026"},
        DateCase{"NoDateFolderStillHasASwitch", 2026, 12, 11, 14, "", false, false, "",
                 "/d:12-11-2026"},
        DateCase{"OldFormat", 2026, 12, 11, 14, "", false, true, "", "/d:2026-12-11"},
        DateCase{"NightShiftWithinAMonth", 2026, 12, 11, 1, "%y%m%d", true, false, "261210",
                 "/d:12-10-2026"},
        DateCase{"NightShiftMonthBoundary", 2026, 3, 1, 1, "%y%m%d", true, false, "260228",
                 "/d:02-28-2026"},
        DateCase{"NightShiftLeapYear", 2024, 3, 1, 1, "%Y%m%d", true, false, "20240229",
                 "/d:02-29-2024"},
        DateCase{"FirstOfMarchInALeapYear", 2024, 3, 1, 1, "%Y%m%d", false, false, "20240301",
                 "/d:03-01-2024"},
        DateCase{"NightShiftYearBoundary", 2027, 1, 1, 3, "%y", true, false, "26", "/d:12-31-2026"},
        DateCase{"NightShiftOldFormatYearBoundary", 2027, 1, 1, 3, "%Y%m%d", true, true,
                 "20261231", "/d:2026-12-31"},
        DateCase{"NightShiftKeepsTheHour", 2026, 5, 1, 7, "%Y%m%d%H", true, false, "2026043007",
                 "/d:04-30-2026"},
        DateCase{"NightShiftShortHour", 2026, 5, 1, 23, "%y%m%d%H", true, true, "26043023",
                 "/d:2026-04-30"}),
    [](const testing::TestParamInfo<DateCase>& info) { return std::string(info.param.name); });

TEST(DateTexts, MomentsThePlatformCannotFormatAreRefused) {
    RunSettings settings;
    settings.stampPattern = "%Y%m%d%H";
    // Years without four digits: the texts would not fit, or the copy tool
    // would misread them, or the platform's conversion gives up.
    EXPECT_FALSE(makeDateTexts(settings, std::time_t{253402300800}).has_value());  // 10000
#ifndef _WIN32  // the Windows C runtime's dates end with the year 3000
    EXPECT_TRUE(makeDateTexts(settings, std::time_t{253402300799 - 14 * 3600}).has_value());  // 9999
    EXPECT_FALSE(makeDateTexts(settings, std::time_t{-31000000000}).has_value());  // 987
#endif
    EXPECT_FALSE(makeDateTexts(settings, std::numeric_limits<std::time_t>::max()).has_value());
    EXPECT_FALSE(makeDateTexts(settings, std::numeric_limits<std::time_t>::min()).has_value());
}

#ifndef _WIN32
// Night shift across a daylight-saving change must still land on the
// previous calendar day, at the same clock time.
class DaylightSavingTest : public testing::Test {
protected:
    void SetUp() override {
        const char* saved = std::getenv("TZ");
        hadZone_ = saved != nullptr;
        if (hadZone_) savedZone_ = saved;
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
    void TearDown() override {
        if (hadZone_) {
            setenv("TZ", savedZone_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool hadZone_ = false;
    std::string savedZone_;
};

TEST_F(DaylightSavingTest, NightShiftAcrossAClockChangeKeepsThePreviousDay) {
    RunSettings settings;
    settings.stampPattern = "%Y%m%d%H";
    settings.nightShift = true;

    // Summer time began on Sunday 29 March 2026.
    auto afterSpring = makeDateTexts(settings, localMoment(2026, 3, 30, 0, 30));
    ASSERT_TRUE(afterSpring.has_value());
    EXPECT_EQ(afterSpring->stamp, "2026032900");
    EXPECT_EQ(afterSpring->dateSwitch, "/d:03-29-2026");

    // Summer time ended on Sunday 25 October 2026.
    auto afterAutumn = makeDateTexts(settings, localMoment(2026, 10, 25, 23, 30));
    ASSERT_TRUE(afterAutumn.has_value());
    EXPECT_EQ(afterAutumn->stamp, "2026102423");
    EXPECT_EQ(afterAutumn->dateSwitch, "/d:10-24-2026");
}
#endif

}  // namespace
}  // namespace tavrix
