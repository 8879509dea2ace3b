#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "entry.h"

namespace tavrix {
namespace {

ParsedArguments parse(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "tavrix");
    return parseArguments(arguments);
}

struct StampCase {
    std::vector<std::string> arguments;
    std::string stampPattern;
};

class StampPatternTest : public testing::TestWithParam<StampCase> {};

TEST_P(StampPatternTest, SecondCharacterSelectsThePattern) {
    const StampCase& c = GetParam();
    ParsedArguments parsed = parse(c.arguments);
    EXPECT_FALSE(parsed.usageRequested);
    EXPECT_EQ(parsed.settings.stampPattern, c.stampPattern);
}

INSTANTIATE_TEST_SUITE_P(
    OptionTable, StampPatternTest,
    testing::Values(StampCase{{"/y"}, "%y"}, StampCase{{"/Y"}, "%Y"},
                    StampCase{{"/m"}, "%y%m"}, StampCase{{"/M"}, "%Y%m"},
                    StampCase{{"/d"}, "%y%m%d"}, StampCase{{"/D"}, "%Y%m%d"},
                    StampCase{{"/h"}, "%y%m%d%H"}, StampCase{{"/H"}, "%Y%m%d%H"},
                    StampCase{{}, ""},
                    // The last date-folder option wins.
                    StampCase{{"/d", "/D"}, "%Y%m%d"}, StampCase{{"/D", "/d"}, "%y%m%d"},
                    // Only the second character counts.
                    StampCase{{"/Dx"}, "%Y%m%d"}, StampCase{{"/home"}, "%y%m%d%H"},
                    // Not options: a lone slash, an unknown letter, a dash.
                    StampCase{{"/"}, ""}, StampCase{{"/x"}, ""}, StampCase{{"-d"}, ""}));

TEST(ParseArguments, FlagsAcceptEitherCase) {
    for (const char* letters : {"onv", "ONV"}) {
        SCOPED_TRACE(letters);
        ParsedArguments parsed = parse({std::string("/") + letters[0], std::string("/") + letters[1],
                                        std::string("/") + letters[2] + "erbose"});
        EXPECT_TRUE(parsed.settings.oldCommandFormat);
        EXPECT_TRUE(parsed.settings.nightShift);
        EXPECT_TRUE(parsed.settings.displayOnly);
    }
}

struct CancellationCase {
    std::vector<std::string> arguments;
    bool omitS, omitC, omitY;
};

class CancellationTest : public testing::TestWithParam<CancellationCase> {};

TEST_P(CancellationTest, ThirdCharacterFoldedSelectsTheSwitch) {
    const CancellationCase& c = GetParam();
    RunSettings settings = parse(c.arguments).settings;
    EXPECT_EQ(settings.omitS, c.omitS);
    EXPECT_EQ(settings.omitC, c.omitC);
    EXPECT_EQ(settings.omitY, c.omitY);
}

INSTANTIATE_TEST_SUITE_P(
    OptionTable, CancellationTest,
    testing::Values(CancellationCase{{"/-s"}, true, false, false},
                    CancellationCase{{"/-S"}, true, false, false},
                    CancellationCase{{"/-c"}, false, true, false},
                    CancellationCase{{"/-Y"}, false, false, true},
                    CancellationCase{{"/-sx"}, true, false, false},
                    CancellationCase{{"/-s", "/-s", "/-c"}, true, true, false},
                    CancellationCase{{"/-"}, false, false, false},
                    CancellationCase{{"/-q"}, false, false, false}));

TEST(ParseArguments, PositionalArgumentsFillSourceThenDestination) {
    RunSettings settings = parse({"/d", "-src", "/v", "dest\\", "third"}).settings;
    EXPECT_TRUE(settings.hasSource);
    EXPECT_EQ(settings.source, "-src");
    EXPECT_TRUE(settings.hasDestination);
    EXPECT_EQ(settings.destination, "dest\\");
}

TEST(ParseArguments, EmptyArgumentTakesASlot) {
    RunSettings settings = parse({"", "dest"}).settings;
    EXPECT_TRUE(settings.hasSource);
    EXPECT_EQ(settings.source, "");
    EXPECT_EQ(settings.destination, "dest");
}

TEST(ParseArguments, ArgumentsAreHeldWhole) {
    std::string longPath = "C:\\" + std::string(5000, 'a') + " b\\";
    RunSettings settings = parse({longPath, longPath}).settings;
    EXPECT_EQ(settings.source, longPath);
    EXPECT_EQ(settings.destination, longPath);
}

TEST(ParseArguments, UsageRequestStopsTheScan) {
    ParsedArguments parsed = parse({"src", "/?", "/D", "dest"});
    EXPECT_TRUE(parsed.usageRequested);
    EXPECT_EQ(parsed.settings.stampPattern, "");
    EXPECT_FALSE(parsed.settings.hasDestination);

    EXPECT_TRUE(parse({"src", "dest", "/?x"}).usageRequested);
}

TEST(ParseArguments, ProgramNameIsNeverExamined) {
    ParsedArguments parsed = parseArguments({"/?", "src", "dest"});
    EXPECT_FALSE(parsed.usageRequested);
    EXPECT_EQ(parsed.settings.source, "src");
}

struct RefusalCase {
    std::vector<std::string> arguments;
    std::string reason;
};

class RefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, SaysWhatIsMissing) {
    EXPECT_EQ(refusalReason(parse(GetParam().arguments).settings), GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Acceptance, RefusalTest,
    testing::Values(RefusalCase{{}, "missing source and destination"},
                    RefusalCase{{"/d", "src"}, "missing destination"},
                    RefusalCase{{"", "dest"}, "the source argument is empty"},
                    RefusalCase{{"src", ""}, "the destination argument is empty"},
                    RefusalCase{{"", ""}, "the source argument is empty"},
                    RefusalCase{{"src", "dest", ""}, ""},
                    RefusalCase{{"src", "dest"}, ""}));

}  // namespace
}  // namespace tavrix
