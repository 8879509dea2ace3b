#include <gtest/gtest.h>

#include <ctime>
#include <string>
#include <vector>

#include "copy_options.h"

namespace copytool {
namespace {

ParsedCopyOptions parse(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "xcopy.exe");
    return parseCopyOptions(arguments);
}

std::time_t localMidnight(int year, int month, int day) {
    std::tm fields = {};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

TEST(CopyOptions, SourceTargetAndSwitchesInAnyOrderAndCase) {
    ParsedCopyOptions parsed = parse({"/Y", "src\\sub", "/s", "backup\\261211\\", "/C"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.source, "src/sub");
    EXPECT_EQ(parsed.options.target, "backup/261211/");
    EXPECT_TRUE(parsed.options.subfolders);
    EXPECT_TRUE(parsed.options.continueOnError);
    EXPECT_TRUE(parsed.options.overwriteWithoutAsking);
    EXPECT_FALSE(parsed.options.changedSince.has_value());

    ParsedCopyOptions absolute = parse({"/home/me/data", "/s", "/var/backup/", "/d:12-11-2026"});
    ASSERT_EQ(absolute.error, "");
    EXPECT_EQ(absolute.options.source, "/home/me/data");
    EXPECT_EQ(absolute.options.target, "/var/backup/");

    ParsedCopyOptions plain = parse({"a", "b"});
    EXPECT_FALSE(plain.options.subfolders || plain.options.continueOnError ||
                 plain.options.overwriteWithoutAsking);
}

struct DateCase {
    const char* text;
    int year, month, day;  // year 0: refused
};

class DaySwitchDate : public testing::TestWithParam<DateCase> {};

TEST_P(DaySwitchDate, IsTheStartOfThatLocalDay) {
    const DateCase& c = GetParam();
    ParsedCopyOptions parsed = parse({"a", "b", c.text});
    if (c.year == 0) {
        EXPECT_EQ(parsed.error, std::string("invalid date: ") + c.text);
    } else {
        ASSERT_EQ(parsed.error, "");
        EXPECT_EQ(parsed.options.changedSince, localMidnight(c.year, c.month, c.day));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, DaySwitchDate,
    testing::Values(DateCase{"/d:12-11-2026", 2026, 12, 11}, DateCase{"/D:2026-12-11", 2026, 12, 11},
                    DateCase{"/d:02-29-2024", 2024, 2, 29}, DateCase{"/d:1-2-2026", 2026, 1, 2},
                    DateCase{"/d:2000-02-29", 2000, 2, 29},
                    DateCase{"/d:02-29-2026", 0, 0, 0}, DateCase{"/d:02-29-1900", 0, 0, 0},
                    DateCase{"/d:13-01-2026", 0, 0, 0}, DateCase{"/d:2026-13-01", 0, 0, 0},
                    DateCase{"/d:00-10-2026", 0, 0, 0}, DateCase{"/d:12-11-26", 0, 0, 0},
                    DateCase{"/d:12/11/2026", 0, 0, 0}, DateCase{"/d:12-11-2026-1", 0, 0, 0},
                    DateCase{"/d:12-x1-2026", 0, 0, 0}, DateCase{"/d:", 0, 0, 0},
                    DateCase{"/d:123-1-2026", 0, 0, 0}));

struct RefusalCase {
    std::vector<std::string> arguments;
    const char* error;
};

class CopyOptionsRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(CopyOptionsRefusal, SaysWhy) { EXPECT_EQ(parse(GetParam().arguments).error, GetParam().error); }

INSTANTIATE_TEST_SUITE_P(
    Table, CopyOptionsRefusal,
    testing::Values(RefusalCase{{}, "missing source and target"},
                    RefusalCase{{"/s", "src"}, "missing target"},
                    RefusalCase{{"a", "b", "c"}, "too many arguments: c"},
                    RefusalCase{{"a", "b", "/e"}, "invalid switch: /e"},
                    RefusalCase{{"a", "b", "/d"}, "invalid switch: /d"},
                    RefusalCase{{"a", "b", "/sy"}, "invalid switch: /sy"},
                    RefusalCase{{"a", "b", "/"}, "invalid switch: /"},
                    RefusalCase{{"/tmp", "b"}, "invalid switch: /tmp"},
                    RefusalCase{{"a", "b", "/d:12/11/2026"}, "invalid date: /d:12/11/2026"},
                    RefusalCase{{"", "b"}, "the source is empty"},
                    RefusalCase{{"a", ""}, "the target is empty"}));

}  // namespace
}  // namespace copytool
