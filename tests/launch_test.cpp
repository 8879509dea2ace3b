#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "launch.h"

namespace tavrix {
namespace {

using Places = std::vector<std::string>;

const platform::SearchRules kPosixRules = {':', '/', "/", false};
const platform::SearchRules kWindowsRules = {';', '\\', "\\/", true};

struct SearchCase {
    const char* name;
    platform::SearchRules rules;
    const char* currentDirectory;
    std::optional<std::string> path;
    Places places;
};

class SearchPlacesTest : public testing::TestWithParam<SearchCase> {};

TEST_P(SearchPlacesTest, CurrentDirectoryThenEachPathEntry) {
    const SearchCase& c = GetParam();
    EXPECT_EQ(programSearchPlaces("xcopy.exe", c.currentDirectory, c.path, c.rules), c.places);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SearchPlacesTest,
    testing::Values(
        SearchCase{"PosixUnset", kPosixRules, "/home/u", std::nullopt, {"/home/u/xcopy.exe"}},
        SearchCase{"PosixOrder",
                   kPosixRules,
                   "/home/u",
                   "/usr/bin:/opt/tools/:/bin",
                   {"/home/u/xcopy.exe", "/usr/bin/xcopy.exe", "/opt/tools/xcopy.exe",
                    "/bin/xcopy.exe"}},
        SearchCase{"PosixEmptyEntries",
                   kPosixRules,
                   "/",
                   ":/bin:",
                   {"/xcopy.exe", "/xcopy.exe", "/bin/xcopy.exe", "/xcopy.exe"}},
        SearchCase{"PosixEmptyValue", kPosixRules, "/w", "", {"/w/xcopy.exe", "/w/xcopy.exe"}},
        SearchCase{"PosixKeepsQuotesAndBackslashes",
                   kPosixRules,
                   "/w",
                   "\"/q\":/b\\",
                   {"/w/xcopy.exe", "\"/q\"/xcopy.exe", "/b\\/xcopy.exe"}},
        SearchCase{"WindowsOrderAndSeparators",
                   kWindowsRules,
                   "C:\\work",
                   "C:\\Windows\\system32;D:\\tools\\;E:/bin/;\"F:\\my tools\";G:\\x\"y\"",
                   {"C:\\work\\xcopy.exe", "C:\\Windows\\system32\\xcopy.exe",
                    "D:\\tools\\xcopy.exe", "E:/bin/xcopy.exe", "F:\\my tools\\xcopy.exe",
                    "G:\\xy\\xcopy.exe"}},
        SearchCase{"WindowsEmptyEntryIsCurrentDirectory",
                   kWindowsRules,
                   "C:\\",
                   ";C:\\bin;",
                   {"C:\\xcopy.exe", "C:\\xcopy.exe", "C:\\bin\\xcopy.exe", "C:\\xcopy.exe"}},
        SearchCase{"WindowsColonIsNoSeparator",
                   kWindowsRules,
                   "C:\\w",
                   "C:\\bin",
                   {"C:\\w\\xcopy.exe", "C:\\bin\\xcopy.exe"}}),
    [](const testing::TestParamInfo<SearchCase>& info) { return std::string(info.param.name); });

TEST(SearchPlaces, CurrentDirectoryCanBeLeftOut) {
    // An empty entry still names the current directory: someone put it there.
    EXPECT_EQ(programSearchPlaces("xcopy.exe", "C:\\w", std::string("C:\\bin;"), kWindowsRules, false),
              (Places{"C:\\bin\\xcopy.exe", "C:\\w\\xcopy.exe"}));
    EXPECT_EQ(programSearchPlaces("xcopy.exe", "C:\\w", std::nullopt, kWindowsRules, false), Places{});
}

// Real folders: the first place where anything of the name exists wins.
class FindFirstExistingTest : public testing::Test {
protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() /
                ("tavrix-find-" + std::string(testing::UnitTest::GetInstance()
                                                  ->current_test_info()
                                                  ->name()));
        std::filesystem::remove_all(root_);
        for (const char* folder : {"cwd", "first", "second", "third"}) {
            std::filesystem::create_directories(root_ / folder);
        }
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    std::string place(const char* folder) const {
        return (root_ / folder / "xcopy.exe").string();
    }
    void makeFile(const char* folder) const { std::ofstream(root_ / folder / "xcopy.exe") << "x"; }

    std::filesystem::path root_;
};

TEST_F(FindFirstExistingTest, NothingFound) {
    EXPECT_EQ(findFirstExisting({place("cwd"), place("first")}), std::nullopt);
}

TEST_F(FindFirstExistingTest, CurrentDirectoryBeforePath) {
    makeFile("cwd");
    makeFile("first");
    EXPECT_EQ(findFirstExisting({place("cwd"), place("first")}), place("cwd"));
}

TEST_F(FindFirstExistingTest, PathInOrder) {
    makeFile("second");
    makeFile("third");
    EXPECT_EQ(findFirstExisting({place("cwd"), place("first"), place("second"), place("third")}),
              place("second"));
}

TEST_F(FindFirstExistingTest, DirectoryOfThatNameEndsTheSearch) {
    std::filesystem::create_directory(root_ / "first" / "xcopy.exe");
    makeFile("second");
    EXPECT_EQ(findFirstExisting({place("cwd"), place("first"), place("second")}), place("first"));
}

TEST(LaunchResultFor, StatusOfTheRun) {
    using Result = platform::ProgramRun::Result;
    EXPECT_EQ(launchResultFor("x", {Result::Exited, 0, ""}).exitStatus, 0);
    EXPECT_EQ(launchResultFor("x", {Result::Exited, 5, ""}).exitStatus, 5);
    EXPECT_EQ(launchResultFor("x", {Result::Signaled, 9, ""}).exitStatus, 137);

    LaunchResult failed = launchResultFor("/w/xcopy.exe", {Result::CannotStart, 0, "Permission denied"});
    EXPECT_EQ(failed.exitStatus, kStatusCannotStart);
    EXPECT_EQ(failed.error, "cannot start /w/xcopy.exe: Permission denied");
}

}  // namespace
}  // namespace tavrix
