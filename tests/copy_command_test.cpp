#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "copy_command.h"

namespace tavrix {
namespace {

struct SwitchCase {
    bool omitS, omitC, omitY;
    const char* switches;
};

class SwitchStringTest : public testing::TestWithParam<SwitchCase> {};

TEST_P(SwitchStringTest, DefaultSwitchesLessTheCancelledOnes) {
    const SwitchCase& c = GetParam();
    RunSettings settings;
    settings.omitS = c.omitS;
    settings.omitC = c.omitC;
    settings.omitY = c.omitY;
    EXPECT_EQ(buildCopyCommand(settings, DateTexts{}).switches, c.switches);
}

INSTANTIATE_TEST_SUITE_P(AllEight, SwitchStringTest,
                         testing::Values(SwitchCase{false, false, false, "/s /c /y"},
                                         SwitchCase{true, false, false, "/c /y"},
                                         SwitchCase{false, true, false, "/s /y"},
                                         SwitchCase{false, false, true, "/s /c"},
                                         SwitchCase{true, true, false, "/y"},
                                         SwitchCase{true, false, true, "/c"},
                                         SwitchCase{false, true, true, "/s"},
                                         SwitchCase{true, true, true, ""}));

struct TargetCase {
    const char* destination;
    const char* stamp;
    const char* targetFolder;
};

class TargetFolderTest : public testing::TestWithParam<TargetCase> {};

TEST_P(TargetFolderTest, StampIsGluedOnAndABackslashEndsTheFolder) {
    RunSettings settings;
    settings.destination = GetParam().destination;
    DateTexts dateTexts{GetParam().stamp, "/d:12-11-2026"};
    EXPECT_EQ(buildCopyCommand(settings, dateTexts).targetFolder, GetParam().targetFolder);
}

INSTANTIATE_TEST_SUITE_P(Table, TargetFolderTest,
                         testing::Values(TargetCase{"E:\\bk\\", "261211", "E:\\bk\\261211\\"},
                                         TargetCase{"E:\\bk", "261211", "E:\\bk261211\\"},
                                         TargetCase{"E:\\bk", "", "E:\\bk\\"},
                                         TargetCase{"E:\\bk\\", "", "E:\\bk\\"},
                                         TargetCase{"E:\\bk\\", "2026121114", "E:\\bk\\2026121114\\"},
                                         TargetCase{"E:/bk/", "", "E:/bk/\\"},
                                         TargetCase{"", "", "\\"}));

struct QuoteCase {
    const char* field;
    const char* quoted;
};

class QuoteFieldTest : public testing::TestWithParam<QuoteCase> {};

TEST_P(QuoteFieldTest, QuotesOnlyFieldsWithBlanks) {
    EXPECT_EQ(quoteField(GetParam().field), GetParam().quoted);
}

INSTANTIATE_TEST_SUITE_P(
    Table, QuoteFieldTest,
    testing::Values(QuoteCase{"D:\\data", "D:\\data"},
                    QuoteCase{"E:\\bk\\261211\\", "E:\\bk\\261211\\"},
                    QuoteCase{"D:\\my data", "\"D:\\my data\""},
                    QuoteCase{"D:\\tab\there", "\"D:\\tab\there\""},
                    // A backslash before the closing quote would escape it.
                    QuoteCase{"E:\\my bk\\261211\\", "\"E:\\my bk\\261211\\\\\""},
                    QuoteCase{"E:\\my bk\\\\", "\"E:\\my bk\\\\\\\\\""},
                    // Backslashes inside stay single: only a run before a quote is read in halves.
                    QuoteCase{"a\\\\b c", "\"a\\\\b c\""},
                    // A field that holds a double quote is left as it is.
                    QuoteCase{"say \"hi\"", "say \"hi\""},
                    QuoteCase{"", ""}));

CopyCommand sampleCommand(const char* source, const char* target, const char* switches) {
    return CopyCommand{source, target, "/d:12-11-2026", switches, false};
}

TEST(EchoLine, IsTheCommandLineAndALineEnd) {
    CopyCommand command = sampleCommand("D:\\data", "E:\\bk\\261211\\", "/s /c /y");
    EXPECT_EQ(formatCommandLine(command), "xcopy.exe D:\\data E:\\bk\\261211\\ /d:12-11-2026 /s /c /y");
    EXPECT_EQ(formatEchoLine(command), formatCommandLine(command) + "\n");
}

TEST(EchoLine, EmptySwitchesLeaveOneTrailingBlank) {
    EXPECT_EQ(formatEchoLine(sampleCommand("D:\\data", "E:\\bk\\", "")),
              "xcopy.exe D:\\data E:\\bk\\ /d:12-11-2026 \n");
}

TEST(EchoLine, PathsWithBlanksAreQuoted) {
    EXPECT_EQ(formatEchoLine(sampleCommand("D:\\my data", "E:\\my bk\\261211\\", "/s /y")),
              "xcopy.exe \"D:\\my data\" \"E:\\my bk\\261211\\\\\" /d:12-11-2026 /s /y\n");
}

TEST(CommandArguments, EachFieldAndEachSwitchIsOneArgument) {
    using Arguments = std::vector<std::string>;
    EXPECT_EQ(commandArguments(sampleCommand("D:\\my data", "E:\\bk\\", "/s /c /y")),
              (Arguments{"xcopy.exe", "D:\\my data", "E:\\bk\\", "/d:12-11-2026", "/s", "/c", "/y"}));
    EXPECT_EQ(commandArguments(sampleCommand("src", "E:\\bk\\", "/c")),
              (Arguments{"xcopy.exe", "src", "E:\\bk\\", "/d:12-11-2026", "/c"}));
    EXPECT_EQ(commandArguments(sampleCommand("src", "E:\\bk\\", "")),
              (Arguments{"xcopy.exe", "src", "E:\\bk\\", "/d:12-11-2026"}));
}

TEST(BuildCopyCommand, CarriesSourceDateSwitchAndDisplayFlag) {
    RunSettings settings;
    settings.source = "D:\\data";
    settings.destination = "E:\\bk\\";
    settings.displayOnly = true;
    CopyCommand command = buildCopyCommand(settings, DateTexts{"261211", "/d:12-11-2026"});
    EXPECT_EQ(command.source, "D:\\data");
    EXPECT_EQ(command.dateSwitch, "/d:12-11-2026");
    EXPECT_TRUE(command.displayOnly);
}

}  // namespace
}  // namespace tavrix
