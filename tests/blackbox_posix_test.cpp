// Runs the built tavrix as a user would, with a stand-in "xcopy.exe" that
// records the arguments it was given and ends with a chosen status.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "console_texts.h"
#include "posix_process.h"

namespace {

namespace fs = std::filesystem;

const char* const kTavrix = TAVRIX_BINARY;
// The faketime library fixes the clock of tavrix itself, with no wrapper
// process between the test and tavrix to catch signals or statuses.
const char* const kFaketimeLibrary = FAKETIME_LIBRARY;

// The moment every black-box run sees, in UTC.
const char* const kFixedMoment = "@2026-12-11 14:05:00";

std::string readFile(const fs::path& path) { return testing_support::readWholeFile(path); }

void writeExecutable(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
}

// Writes one line per argument it receives (the program name aside), then a line of its own on
// standard output, then ends with the status it was told.
const char* const kStandIn = R"(#!/bin/sh
: > "$STANDIN_RECORD"
for argument in "$@"; do printf '%s\n' "$argument" >> "$STANDIN_RECORD"; done
if [ -n "$STANDIN_WAIT_FOR_INTERRUPT" ]; then
  trap 'echo "stand-in interrupted"; exit 3' INT
  : > "$STANDIN_WAIT_FOR_INTERRUPT"
  while :; do sleep 0.05; done
fi
echo "stand-in copied"
[ -n "$STANDIN_KILL_ITSELF" ] && kill -TERM $$
exit "${STANDIN_STATUS:-0}"
)";

using testing_support::ProcessOutcome;
using testing_support::ProcessRequest;
using testing_support::RunningProcess;

class TavrixRun : public testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("tavrix-blackbox-" +
                 std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                 std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(toolDir());
        fs::create_directories(workDir());
        writeExecutable(toolDir() / "xcopy.exe", kStandIn);
        environment_["PATH"] = toolDir().string() + ":/usr/bin:/bin";
        environment_["TZ"] = "UTC";
        environment_["LD_PRELOAD"] = kFaketimeLibrary;
        environment_["FAKETIME"] = kFixedMoment;
        environment_["NO_FAKE_STAT"] = "1";  // file times stay real
        environment_["STANDIN_RECORD"] = record().string();
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path toolDir() const { return root_ / "tools"; }
    fs::path workDir() const { return root_ / "work"; }
    fs::path record() const { return root_ / "record"; }
    bool toolStarted() const { return fs::exists(record()); }
    std::string recordedArguments() const { return readFile(record()); }

    // tavrix at the fixed moment, in its own process group, standard output
    // on a pipe as in a script.
    ProcessRequest request(const std::vector<std::string>& arguments) const {
        ProcessRequest request;
        request.command = {kTavrix};
        request.command.insert(request.command.end(), arguments.begin(), arguments.end());
        request.directory = workDir();
        request.environment = environment_;
        request.ownProcessGroup = true;
        return request;
    }

    ProcessOutcome run(const std::vector<std::string>& arguments) const {
        return testing_support::runProcess(request(arguments));
    }

    fs::path root_;
    std::map<std::string, std::optional<std::string>> environment_;
};

// Runs that end before the copy tool: the usage paths and display-only.
struct EarlyEndCase {
    const char* name;
    std::vector<std::string> arguments;
    std::string outputAfterBanner;
    int status;
    std::string error;
};

void PrintTo(const EarlyEndCase& c, std::ostream* out) { *out << c.name; }

class EarlyEnd : public TavrixRun, public testing::WithParamInterface<EarlyEndCase> {};

TEST_P(EarlyEnd, WritesExactlyThisAndStartsNothing) {
    const EarlyEndCase& c = GetParam();
    ProcessOutcome outcome = run(c.arguments);
    EXPECT_EQ(outcome.out, std::string(tavrix::bannerText()) + c.outputAfterBanner);
    EXPECT_EQ(outcome.err, c.error);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_FALSE(toolStarted());
}

const std::string kUsage(tavrix::usageText());

INSTANTIATE_TEST_SUITE_P(
    Table, EarlyEnd,
    testing::Values(
        EarlyEndCase{"UsageRequest", {"/?"}, kUsage, 0, ""},
        EarlyEndCase{"UsageRequestAfterAValidRun", {"src", "dest\\", "/d", "/?", "/x"}, kUsage, 0, ""},
        EarlyEndCase{"NoArguments", {}, kUsage, 125, "tavrix: missing source and destination\n"},
        EarlyEndCase{"OnlyASource", {"/d", "src"}, kUsage, 125, "tavrix: missing destination\n"},
        EarlyEndCase{"EmptySource", {"", "dest\\"}, kUsage, 125, "tavrix: the source argument is empty\n"},
        EarlyEndCase{"EmptyDestination", {"src", "", "/d"}, kUsage, 125,
                     "tavrix: the destination argument is empty\n"},
        EarlyEndCase{"DisplayOnly", {"/v", "/d", "D:\\data", "E:\\bk\\"},
                     "xcopy.exe D:\\data E:\\bk\\261211\\ /d:12-11-2026 /s /c /y\n", 0, ""},
        EarlyEndCase{"DisplayOnlyAllCancelledOldFormat",
                     {"/VERBOSE", "/H", "/o", "/-s", "/-C", "/-yes", "D:\\data", "E:\\bk"},
                     "xcopy.exe D:\\data E:\\bk2026121114\\ /d:2026-12-11 \n", 0, ""},
        EarlyEndCase{"DisplayOnlyNightShift", {"/n", "/v", "/M", "src", "dst/"},
                     "xcopy.exe src dst/202612\\ /d:12-10-2026 /s /c /y\n", 0, ""},
        EarlyEndCase{"DisplayOnlyQuotesBlanks", {"/v", "/d", "D:\\my data", "E:\\my bk\\"},
                     "xcopy.exe \"D:\\my data\" \"E:\\my bk\\261211\\\\\" /d:12-11-2026 /s /c /y\n", 0,
                     ""}),
    [](const testing::TestParamInfo<EarlyEndCase>& info) { return std::string(info.param.name); });

// Runs that start the stand-in tool: its arguments, its output after ours,
// and its status as the run's.
struct ToolRunCase {
    const char* name;
    std::vector<std::string> arguments;
    std::map<std::string, std::string> toolEnvironment;
    std::string echoLine;
    std::string recordedArguments;
    int status;
};

void PrintTo(const ToolRunCase& c, std::ostream* out) { *out << c.name; }

class ToolRun : public TavrixRun, public testing::WithParamInterface<ToolRunCase> {};

TEST_P(ToolRun, StartsTheToolAndPassesItsStatusOn) {
    const ToolRunCase& c = GetParam();
    for (const auto& [name, value] : c.toolEnvironment) environment_[name] = value;
    ProcessOutcome outcome = run(c.arguments);
    EXPECT_EQ(outcome.out, std::string(tavrix::bannerText()) + c.echoLine + "stand-in copied\n");
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(recordedArguments(), c.recordedArguments);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ToolRun,
    testing::Values(
        ToolRunCase{"Default", {"/d", "D:\\data", "E:\\bk\\"}, {},
                    "xcopy.exe D:\\data E:\\bk\\261211\\ /d:12-11-2026 /s /c /y\n",
                    "D:\\data\nE:\\bk\\261211\\\n/d:12-11-2026\n/s\n/c\n/y\n", 0},
        ToolRunCase{"BlanksAreOneArgumentEach", {"/D", "/-c", "my data", "my bk\\"}, {},
                    "xcopy.exe \"my data\" \"my bk\\20261211\\\\\" /d:12-11-2026 /s /y\n",
                    "my data\nmy bk\\20261211\\\n/d:12-11-2026\n/s\n/y\n", 0},
        ToolRunCase{"NoSwitches", {"/-s", "/-c", "/-y", "a", "b"}, {},
                    "xcopy.exe a b\\ /d:12-11-2026 \n", "a\nb\\\n/d:12-11-2026\n", 0},
        ToolRunCase{"ToolStatusOne", {"a", "b"}, {{"STANDIN_STATUS", "1"}},
                    "xcopy.exe a b\\ /d:12-11-2026 /s /c /y\n",
                    "a\nb\\\n/d:12-11-2026\n/s\n/c\n/y\n", 1},
        ToolRunCase{"ToolStatusFive", {"a", "b"}, {{"STANDIN_STATUS", "5"}},
                    "xcopy.exe a b\\ /d:12-11-2026 /s /c /y\n",
                    "a\nb\\\n/d:12-11-2026\n/s\n/c\n/y\n", 5},
        ToolRunCase{"ToolKilledBySignal", {"a", "b"}, {{"STANDIN_KILL_ITSELF", "1"}},
                    "xcopy.exe a b\\ /d:12-11-2026 /s /c /y\n",
                    "a\nb\\\n/d:12-11-2026\n/s\n/c\n/y\n", 128 + SIGTERM}),
    [](const testing::TestParamInfo<ToolRunCase>& info) { return std::string(info.param.name); });

TEST_F(TavrixRun, LongArgumentsAreHeldWhole) {
    std::string source = std::string(100000, 's');
    std::string destination = std::string(99999, 'd') + "\\";
    ProcessOutcome outcome = run({"/d", source, destination});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(recordedArguments(), source + "\n" + destination + "261211\\\n/d:12-11-2026\n/s\n/c\n/y\n");
}

TEST_F(TavrixRun, PathOfAThousandEntriesIsSearchedInOrder) {
    std::string path;
    for (int index = 0; index < 1000; ++index) path += (root_ / ("missing" + std::to_string(index))).string() + ":";
    environment_["PATH"] = path + toolDir().string();
    EXPECT_EQ(run({"a", "b"}).status, 0);
    EXPECT_TRUE(toolStarted());
}

TEST_F(TavrixRun, VanishedCurrentDirectoryIsPassedOver) {
    // Run from a folder removed under it: the current directory cannot be
    // named, and the search goes on along PATH.
    ProcessRequest request = this->request({"a", "b"});
    request.command.insert(request.command.begin(),
                           {"/bin/sh", "-c", "mkdir gone && cd gone && rmdir ../gone && exec \"$0\" \"$@\""});
    ProcessOutcome outcome = testing_support::runProcess(request);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(toolStarted());
}

TEST_F(TavrixRun, ClockBeyondWhatTheDateCanHoldIsRefused) {
    environment_["FAKETIME"] = "+300000000000";  // some 9,500 years ahead
    ProcessOutcome outcome = run({"/d", "a", "b\\"});
    EXPECT_EQ(outcome.status, 125);
    EXPECT_EQ(outcome.err, "tavrix: the local date cannot be determined from the clock\n");
    EXPECT_EQ(outcome.out, std::string(tavrix::bannerText()));
    EXPECT_FALSE(toolStarted());
}

// Standard output that cannot be written: one error line and a failure
// status, never a crash; the tool's own failure outranks it.
struct BrokenOutputCase {
    const char* name;
    bool closedPipe;  // else /dev/full
    std::vector<std::string> arguments;
    const char* toolStatus;
    int status;
    bool toolStarts;
};

void PrintTo(const BrokenOutputCase& c, std::ostream* out) { *out << c.name; }

class BrokenOutput : public TavrixRun, public testing::WithParamInterface<BrokenOutputCase> {};

TEST_P(BrokenOutput, IsReportedNotIgnored) {
    const BrokenOutputCase& c = GetParam();
    environment_["STANDIN_STATUS"] = c.toolStatus;
    ProcessRequest request = this->request(c.arguments);
    if (c.closedPipe) {
        request.outputClosed = true;
    } else {
        request.outputFile = "/dev/full";
    }
    ProcessOutcome outcome = testing_support::runProcess(request);
    EXPECT_EQ(outcome.status, c.status);
    std::string reason = c.closedPipe ? "Broken pipe" : "No space left on device";
    EXPECT_NE(outcome.err.find("tavrix: cannot write to standard output: " + reason + "\n"), std::string::npos)
        << outcome.err;
    EXPECT_EQ(toolStarted(), c.toolStarts);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BrokenOutput,
    testing::Values(BrokenOutputCase{"DisplayOnlyFull", false, {"/v", "a", "b"}, "0", 125, false},
                    BrokenOutputCase{"DisplayOnlyClosed", true, {"/v", "a", "b"}, "0", 125, false},
                    BrokenOutputCase{"UsageFull", false, {"/?"}, "0", 125, false},
                    BrokenOutputCase{"RefusedClosed", true, {"a"}, "0", 125, false},
                    // The copy still runs: the backup matters more than its echo line.
                    BrokenOutputCase{"CopiedFull", false, {"a", "b"}, "0", 125, true},
                    BrokenOutputCase{"ToolFailedFull", false, {"a", "b"}, "5", 5, true},
                    // The stand-in itself dies writing to the closed pipe.
                    BrokenOutputCase{"CopiedClosed", true, {"a", "b"}, "0", 128 + SIGPIPE, true}),
    [](const testing::TestParamInfo<BrokenOutputCase>& info) { return std::string(info.param.name); });

TEST_F(TavrixRun, CurrentDirectoryIsSearchedBeforePath) {
    writeExecutable(workDir() / "xcopy.exe",
                    "#!/bin/sh\necho \"current directory's tool\"\nexit 7\n");
    ProcessOutcome outcome = run({"a", "b"});
    EXPECT_EQ(outcome.status, 7);
    EXPECT_NE(outcome.out.find("current directory's tool"), std::string::npos);
    EXPECT_FALSE(toolStarted());
}

TEST_F(TavrixRun, NotFoundGives127AndOneErrorLine) {
    fs::remove(toolDir() / "xcopy.exe");
    ProcessOutcome outcome = run({"a", "b"});
    EXPECT_EQ(outcome.status, 127);
    EXPECT_EQ(outcome.out, std::string(tavrix::bannerText()) + "xcopy.exe a b\\ /d:12-11-2026 /s /c /y\n");
    EXPECT_EQ(outcome.err, "tavrix: xcopy.exe not found in the current directory or on PATH\n");
}

TEST_F(TavrixRun, PathUnsetSearchesOnlyTheCurrentDirectory) {
    environment_["PATH"] = std::nullopt;
    EXPECT_EQ(run({"a", "b"}).status, 127);
    writeExecutable(workDir() / "xcopy.exe", "#!/bin/sh\nexit 6\n");
    EXPECT_EQ(run({"a", "b"}).status, 6);
}

TEST_F(TavrixRun, FoundButNotStartableGives126) {
    struct Case {
        const char* name;
        void (*plant)(const fs::path& place);
    };
    const Case cases[] = {
        {"directory", [](const fs::path& place) { fs::create_directory(place); }},
        {"not executable", [](const fs::path& place) { std::ofstream(place) << "#!/bin/sh\n"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path place = workDir() / "xcopy.exe";
        fs::remove_all(place);
        c.plant(place);
        ProcessOutcome outcome = run({"a", "b"});
        EXPECT_EQ(outcome.status, 126);
        EXPECT_EQ(outcome.err.rfind("tavrix: cannot start " + place.string() + ": ", 0), 0u)
            << outcome.err;
        EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1);
        EXPECT_FALSE(toolStarted()) << "the search went past the first entry found";
    }
}

TEST_F(TavrixRun, CtrlCReachesTheToolAndTavrixReportsItsStatus) {
    fs::path ready = root_ / "ready";
    environment_["STANDIN_WAIT_FOR_INTERRUPT"] = ready.string();
    RunningProcess tavrix(request({"a", "b"}));
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(ready) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(fs::exists(ready)) << "the stand-in never started";
    // The terminal sends Ctrl+C to the whole foreground process group.
    kill(-tavrix.pid(), SIGINT);
    ProcessOutcome outcome = tavrix.finish();
    EXPECT_EQ(outcome.status, 3);
    EXPECT_EQ(outcome.out, std::string(tavrix::bannerText()) +
                               "xcopy.exe a b\\ /d:12-11-2026 /s /c /y\nstand-in interrupted\n");
}

// The whole job: tavrix finds the POSIX copy tool on PATH and makes a dated
// copy of the files changed today.
TEST_F(TavrixRun, MakesADatedCopyWithTheCopyTool) {
    environment_["PATH"] = fs::path(COPYTOOL_BINARY).parent_path().string() + ":/usr/bin:/bin";
    auto writeFile = [this](const char* name, std::time_t modified) {
        fs::path path = workDir() / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << name;
        fs::last_write_time(path, std::chrono::file_clock::from_sys(
                                      std::chrono::system_clock::from_time_t(modified)));
    };
    const std::time_t thisMorning = 1796983200;  // 2026-12-11 10:00 UTC
    writeFile("my data/today.txt", thisMorning);
    writeFile("my data/sub/today too.txt", thisMorning);
    writeFile("my data/last year.txt", thisMorning - 365 * 24 * 3600);

    ProcessOutcome outcome = run({"/d", "my data", "backup\\"});
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    std::string ours = std::string(tavrix::bannerText()) +
                       "xcopy.exe \"my data\" backup\\261211\\ /d:12-11-2026 /s /c /y\n";
    EXPECT_EQ(outcome.out.substr(0, ours.size()), ours);
    EXPECT_EQ(outcome.out.substr(outcome.out.size() - 17), "2 File(s) copied\n");
    EXPECT_EQ(readFile(workDir() / "backup/261211/sub/today too.txt"), "my data/sub/today too.txt");
    EXPECT_TRUE(fs::exists(workDir() / "backup/261211/today.txt"));
    EXPECT_FALSE(fs::exists(workDir() / "backup/261211/last year.txt"));
}

// The copy tool's process, once tavrix has started it and it writes below
// `folder`; 0 if that does not happen within 20 seconds.
pid_t copyToolWritingBelow(pid_t tavrix, const fs::path& folder) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream children("/proc/" + std::to_string(tavrix) + "/task/" + std::to_string(tavrix) + "/children");
        pid_t child = 0;
        if (children >> child && testing_support::hasFileOpenBelow(child, folder)) return child;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return 0;
}

// The copy tool stopped in the middle of a large file, by Ctrl+C at the
// terminal or killed outright: the status says so, and the target folder
// holds the previous version and nothing else.
TEST_F(TavrixRun, CopyToolStoppedMidwayLeavesNoPartialFile) {
    struct Case {
        const char* name;
        bool wholeGroup;  // Ctrl+C reaches every process of the terminal's group
        int signal;
        int status;
    };
    environment_["PATH"] = fs::path(COPYTOOL_BINARY).parent_path().string() + ":/usr/bin:/bin";
    fs::create_directories(workDir() / "src");
    std::ofstream(workDir() / "src/big.bin").close();
    fs::resize_file(workDir() / "src/big.bin", 8LL << 30);
    fs::path target = workDir() / "backup/261211";
    fs::create_directories(target);

    for (const Case& c : {Case{"Ctrl+C", true, SIGINT, 2}, Case{"killed", false, SIGKILL, 128 + SIGKILL}}) {
        SCOPED_TRACE(c.name);
        std::ofstream(target / "big.bin") << "previous version";
        RunningProcess tavrix(request({"/d", "src", "backup\\"}));
        pid_t copyTool = copyToolWritingBelow(tavrix.pid(), target);
        ASSERT_NE(copyTool, 0) << "the copy never began";
        kill(c.wholeGroup ? -tavrix.pid() : copyTool, c.signal);
        ProcessOutcome outcome = tavrix.finish();
        EXPECT_EQ(outcome.status, c.status) << outcome.out << outcome.err;
        EXPECT_EQ(readFile(target / "big.bin"), "previous version");
        EXPECT_EQ(std::distance(fs::directory_iterator(target), fs::directory_iterator()), 1);
    }
}

}  // namespace
