// The copy tool against the real thing: the same trees copied with the same
// switches by this tool and by wine's xcopy.exe give the same files (names,
// contents, modification times) and the same status. Wine's tool leaves a
// folder behind whose files /d filtered out, where this one makes none, so
// files are compared, not folders.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "posix_process.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ProcessOutcome;
using testing_support::ProcessRequest;
using testing_support::startOfToday;

struct FileState {
    std::string contents;
    long long modifiedSeconds;
    long modifiedNanoseconds;
    bool operator==(const FileState&) const = default;
};

void PrintTo(const FileState& state, std::ostream* out) {
    *out << "\"" << state.contents << "\" @" << state.modifiedSeconds << "." << state.modifiedNanoseconds;
}

// Every file below `folder` by relative path.
std::map<std::string, FileState> filesBelow(const fs::path& folder) {
    std::map<std::string, FileState> files;
    if (!fs::exists(folder)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        struct stat status;
        stat(entry.path().c_str(), &status);
        files[fs::relative(entry.path(), folder).string()] = {
            testing_support::readWholeFile(entry.path()), status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
    }
    return files;
}

std::string todaySwitch() {
    std::time_t now = std::time(nullptr);
    char text[32];
    std::strftime(text, sizeof text, "/d:%m-%d-%Y", std::localtime(&now));
    return text;
}

const std::time_t kToday = startOfToday() + 60;  // whole seconds: both tools keep them exactly
const std::time_t kLongAgo = 1577836800;          // 2020-01-01

struct TreeFile {
    const char* name;
    const char* contents;
    std::time_t modified;
};

const std::vector<TreeFile> kSourceTree = {
    {"a.txt", "a today", kToday},
    {"b.log", "b long ago", kLongAgo},
    {"sub/c.txt", "c today", kToday},
    {"sub/d.txt", "d long ago", kLongAgo},
    {"sub/deep/e.txt", "e today", kToday},
    {"oldonly/f.txt", "f long ago", kLongAgo},
};

struct DifferentialCase {
    const char* name;
    std::string source;            // as typed, relative to the test folder
    std::vector<std::string> switches;
    std::vector<TreeFile> existingTargetFiles;
};

void PrintTo(const DifferentialCase& c, std::ostream* out) { *out << c.name; }

class AgainstWineXcopy : public testing::TestWithParam<DifferentialCase> {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("copytool-differential-" + std::to_string(getpid()));
        fs::remove_all(root_);
        writeTree("src", kSourceTree);
        fs::create_directories(root_ / "src/empty/emptier");
    }
    void TearDown() override { fs::remove_all(root_); }

    void writeTree(const std::string& folder, const std::vector<TreeFile>& files) {
        for (const TreeFile& file : files) {
            fs::path path = root_ / folder / file.name;
            fs::create_directories(path.parent_path());
            std::ofstream(path, std::ios::binary) << file.contents;
            fs::last_write_time(path, std::chrono::file_clock::from_sys(
                                          std::chrono::system_clock::from_time_t(file.modified)));
        }
    }

    ProcessOutcome copyWith(std::vector<std::string> tool, const std::string& target) {
        const DifferentialCase& c = GetParam();
        writeTree(target, c.existingTargetFiles);
        ProcessRequest request;
        request.command = tool;
        request.command.push_back(c.source);
        request.command.push_back(target + "\\");
        request.command.insert(request.command.end(), c.switches.begin(), c.switches.end());
        request.directory = root_;
        request.environment["WINE_RUN_TIMEOUT"] = "60";
        return testing_support::runProcess(request);
    }

    fs::path root_;
};

TEST_P(AgainstWineXcopy, SameFilesAndStatus) {
    ProcessOutcome ours = copyWith({COPYTOOL_BINARY}, "ours");
    ProcessOutcome theirs = copyWith({WINE_RUN, "xcopy.exe"}, "theirs");
    EXPECT_EQ(ours.status, theirs.status) << "ours: " << ours.out << ours.err << "\ntheirs: " << theirs.out;
    EXPECT_EQ(filesBelow(root_ / "ours"), filesBelow(root_ / "theirs"));
}

const std::vector<TreeFile> kOlderTargetVersions = {
    {"a.txt", "a stale", kLongAgo},
    {"sub/d.txt", "d newer in the target", kToday},
    {"only-in-target.txt", "kept", kLongAgo},
};

INSTANTIATE_TEST_SUITE_P(
    Table, AgainstWineXcopy,
    testing::Values(
        DifferentialCase{"FolderOnly", "src", {"/y"}, {}},
        DifferentialCase{"Subfolders", "src", {"/s", "/y"}, {}},
        DifferentialCase{"SubfoldersChangedToday", "src", {"/s", "/c", "/y", todaySwitch()}, {}},
        DifferentialCase{"ChangedTodayNoSubfolders", "src", {"/y", todaySwitch()}, {}},
        DifferentialCase{"ExistingTargetFiles", "src", {"/s", "/y"}, kOlderTargetVersions},
        DifferentialCase{"ExistingTargetFilesChangedToday", "src", {"/S", "/C", "/Y", todaySwitch()},
                         kOlderTargetVersions},
        DifferentialCase{"OneFile", "src\\sub\\c.txt", {"/y"}, {}},
        DifferentialCase{"Pattern", "src\\*.txt", {"/s", "/y"}, {}},
        DifferentialCase{"MissingSource", "nothing-here", {"/s", "/y"}, {}}),
    [](const testing::TestParamInfo<DifferentialCase>& info) { return std::string(info.param.name); });

}  // namespace
