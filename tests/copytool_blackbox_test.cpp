// The copy tool on real files: what it copies, what it leaves, what it says
// and how it ends.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "posix_process.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ProcessOutcome;
using testing_support::ProcessRequest;
using testing_support::startOfToday;
using testing_support::readWholeFile;

const char* const kCopyTool = COPYTOOL_BINARY;

std::string dateSwitch(std::time_t moment, const char* pattern) {
    char text[32];
    std::strftime(text, sizeof text, pattern, std::localtime(&moment));
    return text;
}

class CopyTool : public testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("copytool-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
                 "-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    // A file below the test folder; `modified` in seconds since the epoch.
    void writeFile(const std::string& name, const std::string& text, std::time_t modified = 0) {
        fs::path path = root_ / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        if (modified != 0) setModified(name, modified);
    }
    void setModified(const std::string& name, std::time_t modified, long nanoseconds = 0) {
        struct timespec times[2] = {{modified, nanoseconds}, {modified, nanoseconds}};
        ASSERT_EQ(utimensat(AT_FDCWD, (root_ / name).c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
    }
    std::string contents(const std::string& name) const { return readWholeFile(root_ / name); }

    // Every entry below `folder`, folders ending with a slash.
    std::set<std::string> entriesBelow(const std::string& folder) const {
        std::set<std::string> entries;
        if (!fs::exists(root_ / folder)) return entries;
        for (const auto& entry : fs::recursive_directory_iterator(root_ / folder)) {
            std::string name = fs::relative(entry.path(), root_ / folder).string();
            entries.insert(entry.is_directory() && !entry.is_symlink() ? name + "/" : name);
        }
        return entries;
    }

    ProcessRequest request(const std::vector<std::string>& arguments, const std::string& input = "") const {
        ProcessRequest request;
        request.command = {kCopyTool};
        request.command.insert(request.command.end(), arguments.begin(), arguments.end());
        request.directory = root_;
        request.input = input;
        return request;
    }
    ProcessOutcome run(const std::vector<std::string>& arguments, const std::string& input = "") const {
        return testing_support::runProcess(request(arguments, input));
    }

    fs::path root_;
};

TEST_F(CopyTool, FolderWithoutSubfoldersCopiesItsOwnFilesOnly) {
    writeFile("src/a.txt", "a");
    writeFile("src/sub/b.txt", "b");
    ProcessOutcome outcome = run({"src", "dst", "/y"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "src/a.txt\n1 File(s) copied\n");
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(entriesBelow("dst"), (std::set<std::string>{"a.txt"}));
    EXPECT_EQ(contents("dst/a.txt"), "a");
}

TEST_F(CopyTool, SubfoldersAreCopiedUnlessTheyWouldBeEmpty) {
    std::time_t old = startOfToday() - 30 * 24 * 3600;
    writeFile("src/a.txt", "a");
    writeFile("src/sub/b.txt", "b");
    writeFile("src/sub/deep/c.txt", "c");
    writeFile("src/oldonly/old.txt", "old", old);
    writeFile("src/sub/old.txt", "old", old);
    fs::create_directories(root_ / "src/empty/emptier");

    ProcessOutcome outcome = run({"src", "dst\\", "/s", "/y", "/d:" + dateSwitch(std::time(nullptr), "%m-%d-%Y")});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(entriesBelow("dst"), (std::set<std::string>{"a.txt", "sub/", "sub/b.txt", "sub/deep/",
                                                          "sub/deep/c.txt"}));
    EXPECT_EQ(outcome.out.substr(outcome.out.size() - 17), "3 File(s) copied\n");
}

TEST_F(CopyTool, DateSwitchSelectsFilesChangedSinceTheStartOfThatDay) {
    std::time_t today = startOfToday();
    writeFile("src/midnight.txt", "m", today);
    writeFile("src/just-before.txt", "b");
    setModified("src/just-before.txt", today - 1, 999999999);
    writeFile("src/yesterday.txt", "y", today - 12 * 3600);

    struct Case {
        std::string option;
        std::set<std::string> copied;
    };
    const Case cases[] = {
        {"/d:" + dateSwitch(today, "%m-%d-%Y"), {"midnight.txt"}},
        {"/D:" + dateSwitch(today, "%Y-%m-%d"), {"midnight.txt"}},
        {"/d:" + dateSwitch(today - 12 * 3600, "%m-%d-%Y"), {"midnight.txt", "just-before.txt", "yesterday.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        fs::remove_all(root_ / "dst");
        EXPECT_EQ(run({"src", "dst", "/y", c.option}).status, 0);
        EXPECT_EQ(entriesBelow("dst"), c.copied);
    }
}

TEST_F(CopyTool, SourceIsAFolderAFileOrAPattern) {
    writeFile("src/a.txt", "a");
    writeFile("src/b.txt", "b");
    writeFile("src/long.txt", "long");
    writeFile("src/c.log", "c");
    writeFile("src/noext", "n");
    writeFile("src/sub/d.txt", "d");

    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::set<std::string> copied;
    };
    const Case cases[] = {
        {{"src\\a.txt", "dst"}, 0, {"a.txt"}},
        {{"src\\*.txt", "dst"}, 0, {"a.txt", "b.txt", "long.txt"}},
        {{"src/?.txt", "dst"}, 0, {"a.txt", "b.txt"}},
        {{"src/*.*", "dst"}, 0, {"a.txt", "b.txt", "long.txt", "c.log", "noext"}},
        {{"src/*.txt", "dst", "/s"}, 0, {"a.txt", "b.txt", "long.txt", "sub/", "sub/d.txt"}},
        {{"src/*.none", "dst"}, 1, {}},
        {{"src/missing.txt", "dst"}, 4, {}},
        {{"missing/*.txt", "dst"}, 4, {}},
        {{"missing", "dst"}, 4, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[0]);
        fs::remove_all(root_ / "dst");
        std::vector<std::string> arguments = c.arguments;
        arguments.push_back("/y");
        ProcessOutcome outcome = run(arguments);
        EXPECT_EQ(outcome.status, c.status) << outcome.err;
        EXPECT_EQ(entriesBelow("dst"), c.copied);
        if (c.status == 4) {
            EXPECT_EQ(outcome.err, "xcopy.exe: File not found - " + c.arguments[0] + "\n");
        }
    }
}

TEST_F(CopyTool, TargetAndItsParentsAreMade) {
    writeFile("src/a.txt", "a");
    EXPECT_EQ(run({"src", "out\\one\\two\\", "/y"}).status, 0);
    EXPECT_EQ(contents("out/one/two/a.txt"), "a");
}

TEST_F(CopyTool, TargetThatCannotBeMadeGives4) {
    writeFile("src/a.txt", "a");
    writeFile("blocker", "a file where the target folder should be");
    ProcessOutcome outcome = run({"src", "blocker\\sub", "/y"});
    EXPECT_EQ(outcome.status, 4);
    EXPECT_EQ(outcome.err.rfind("xcopy.exe: cannot make the target folder blocker/sub: ", 0), 0u) << outcome.err;
}

TEST_F(CopyTool, BadCommandLinesCopyNothing) {
    writeFile("src/a.txt", "a");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"src", "dst", "/e"}, {"src", "dst", "/d:02-30-2026"}, {"src"}}) {
        ProcessOutcome outcome = run(arguments);
        EXPECT_EQ(outcome.status, 4);
        EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
        EXPECT_EQ(outcome.out, "");
        EXPECT_FALSE(fs::exists(root_ / "dst"));
    }
}

TEST_F(CopyTool, CopyIntoItselfIsRefused) {
    writeFile("src/a.txt", "a");
    struct Case {
        std::vector<std::string> arguments;
        const char* error;
    };
    const Case cases[] = {
        {{"src", "src\\backup\\", "/s", "/y"}, "xcopy.exe: Cannot perform a cyclic copy\n"},
        {{"src", "./src/sub/../backup", "/s", "/y"}, "xcopy.exe: Cannot perform a cyclic copy\n"},
        {{"src", "src", "/y"}, "xcopy.exe: Cannot copy a folder onto itself\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[1]);
        ProcessOutcome outcome = run(c.arguments);
        EXPECT_EQ(outcome.status, 4);
        EXPECT_EQ(outcome.err, c.error);
        EXPECT_EQ(entriesBelow("src"), (std::set<std::string>{"a.txt"}));
    }
    // Without /s a target inside the source is an ordinary folder.
    EXPECT_EQ(run({"src", "src\\backup\\", "/y"}).status, 0);
    EXPECT_EQ(contents("src/backup/a.txt"), "a");
}

TEST_F(CopyTool, OverwritingAsksUnlessToldNotTo) {
    struct Case {
        const char* name;
        std::vector<std::string> switches;
        std::string answers;
        std::string prompts;
        bool overwritten;
        int status;
    };
    const std::string prompt = "Overwrite dst/a.txt (Yes/No/All)? ";
    const Case cases[] = {
        {"yes", {}, "y\n", prompt, true, 0},
        {"yes in words", {}, "Yes\n", prompt, true, 0},
        {"no", {}, "n\n", prompt, false, 0},
        {"all", {}, "a\n", prompt, true, 0},
        {"asked again", {}, "perhaps\nY\n", prompt + prompt, true, 0},
        {"end of input", {}, "", prompt + "\n", false, 0},
        {"end of input after nonsense", {}, "what\n", prompt + prompt + "\n", false, 0},
        {"no questions", {"/Y"}, "", "", true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile("src/a.txt", "new");
        writeFile("dst/a.txt", "old");
        std::vector<std::string> arguments = {"src", "dst"};
        arguments.insert(arguments.end(), c.switches.begin(), c.switches.end());
        ProcessOutcome outcome = run(arguments, c.answers);
        EXPECT_EQ(outcome.status, c.status);
        EXPECT_EQ(contents("dst/a.txt"), c.overwritten ? "new" : "old");
        EXPECT_EQ(outcome.out, c.prompts + (c.overwritten ? "src/a.txt\n1" : "0") + " File(s) copied\n");
    }
}

TEST_F(CopyTool, AllAnswersEveryLaterQuestion) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        writeFile(std::string("src/") + name, "new");
        writeFile(std::string("dst/") + name, "old");
    }
    ProcessOutcome outcome = run({"src", "dst"}, "a\n");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(std::count(outcome.out.begin(), outcome.out.end(), '?'), 1) << outcome.out;
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) EXPECT_EQ(contents(std::string("dst/") + name), "new");
}

TEST_F(CopyTool, FailureStopsTheCopyUnlessToldToContinue) {
    // A folder where a file should go: that file cannot be written. Files
    // of a folder come before its subfolders, so the order is fixed.
    writeFile("src/blocked.txt", "x");
    writeFile("src/sub/later.txt", "later");
    fs::create_directories(root_ / "dst/blocked.txt");

    ProcessOutcome stopped = run({"src", "dst", "/s", "/y"});
    EXPECT_EQ(stopped.status, 5);
    EXPECT_EQ(stopped.err, "xcopy.exe: cannot overwrite the folder dst/blocked.txt with a file\n");
    EXPECT_FALSE(fs::exists(root_ / "dst/sub"));

    ProcessOutcome continued = run({"src", "dst", "/s", "/y", "/c"});
    EXPECT_EQ(continued.status, 5);
    EXPECT_EQ(contents("dst/sub/later.txt"), "later");
    EXPECT_EQ(continued.out.substr(continued.out.size() - 17), "1 File(s) copied\n");
}

TEST_F(CopyTool, UnwritableListingFailsTheRunButNotTheCopy) {
    writeFile("src/a.txt", "a");
    for (bool closedPipe : {false, true}) {
        SCOPED_TRACE(closedPipe ? "closed pipe" : "/dev/full");
        fs::remove_all(root_ / "dst");
        ProcessRequest request = this->request({"src", "dst", "/y"});
        if (closedPipe) {
            request.outputClosed = true;
        } else {
            request.outputFile = "/dev/full";
        }
        ProcessOutcome outcome = testing_support::runProcess(request);
        EXPECT_EQ(outcome.status, 5);
        EXPECT_EQ(outcome.err.rfind("xcopy.exe: cannot write to standard output: ", 0), 0u) << outcome.err;
        EXPECT_EQ(contents("dst/a.txt"), "a");
    }
}

TEST_F(CopyTool, ModificationTimesAndPermissionsAreKept) {
    writeFile("src/script.sh", "#!/bin/sh\n");
    writeFile("src/private.txt", "secret");
    fs::permissions(root_ / "src/script.sh", fs::perms(0751));
    fs::permissions(root_ / "src/private.txt", fs::perms(0640));
    setModified("src/script.sh", 1500000000, 123456789);
    setModified("src/private.txt", 1600000000, 987654321);
    writeFile("dst/private.txt", "previous");  // replaced, not kept

    ASSERT_EQ(run({"src", "dst", "/y"}).status, 0);
    for (const char* name : {"script.sh", "private.txt"}) {
        SCOPED_TRACE(name);
        struct stat source, copy;
        ASSERT_EQ(stat((root_ / "src" / name).c_str(), &source), 0);
        ASSERT_EQ(stat((root_ / "dst" / name).c_str(), &copy), 0);
        EXPECT_EQ(copy.st_mtim.tv_sec, source.st_mtim.tv_sec);
        EXPECT_EQ(copy.st_mtim.tv_nsec, source.st_mtim.tv_nsec);
        EXPECT_EQ(copy.st_mode & 07777, source.st_mode & 07777);
    }
    EXPECT_EQ(contents("dst/private.txt"), "secret");
}

TEST_F(CopyTool, SymbolicLinksAreReportedAndNeverFollowed) {
    writeFile("src/a.txt", "a");
    writeFile("outside/secret.txt", "secret");
    fs::create_directories(root_ / "src/sub");
    fs::create_symlink(root_ / "outside/secret.txt", root_ / "src/link-to-file");
    fs::create_directory_symlink(root_ / "outside", root_ / "src/link-to-folder");
    fs::create_directory_symlink("..", root_ / "src/sub/loop");

    ProcessOutcome outcome = run({"src", "dst", "/s", "/y"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(entriesBelow("dst"), (std::set<std::string>{"a.txt"}));
    for (const char* link : {"src/link-to-file", "src/link-to-folder", "src/sub/loop"}) {
        EXPECT_NE(outcome.err.find(std::string("not following the symbolic link ") + link + "\n"),
                  std::string::npos)
            << outcome.err;
    }
}

TEST_F(CopyTool, NamedSourceFolderMayBeALink) {
    writeFile("real/a.txt", "a");
    fs::create_directory_symlink(root_ / "real", root_ / "src");
    EXPECT_EQ(run({"src", "dst", "/y"}).status, 0);
    EXPECT_EQ(contents("dst/a.txt"), "a");
}

TEST_F(CopyTool, InterruptionLeavesThePreviousVersionAndNoPartialFile) {
    // A large sparse file takes long enough to copy to be interrupted.
    writeFile("src/big.bin", "");
    fs::resize_file(root_ / "src/big.bin", 8LL << 30);
    writeFile("dst/big.bin", "previous version");

    testing_support::RunningProcess tool(request({"src", "dst", "/y"}));
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!testing_support::hasFileOpenBelow(tool.pid(), root_ / "dst") && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(testing_support::hasFileOpenBelow(tool.pid(), root_ / "dst")) << "the copy never began";
    kill(tool.pid(), SIGINT);
    ProcessOutcome outcome = tool.finish();

    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.out, "src/big.bin\n0 File(s) copied\n");
    EXPECT_EQ(contents("dst/big.bin"), "previous version");
    EXPECT_EQ(entriesBelow("dst"), (std::set<std::string>{"big.bin"}));
}

}  // namespace
