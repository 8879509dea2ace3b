// Runs the cross-built tavrix.exe as a Windows user would, on real files,
// with the real xcopy.exe of the system and with a stand-in that records
// the arguments its C runtime splits from the command line.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "console_texts.h"
#include "utf8_win32.h"

namespace {

namespace fs = std::filesystem;
using tavrix::toUtf8;
using tavrix::toWide;

// The build hands over POSIX paths; wine shows the root as drive Z:.
std::wstring windowsPath(const char* posixPath) {
    std::wstring path = L"Z:" + toWide(posixPath);
    for (wchar_t& character : path) {
        if (character == L'/') character = L'\\';
    }
    return path;
}

const std::wstring kTavrix = windowsPath(TAVRIX_EXE);
const std::wstring kStandInFolder = windowsPath(STANDIN_DIR);

// The banner as it reaches a file: text mode ends lines with CR LF.
std::string crlf(std::string_view text) {
    std::string converted;
    for (char character : text) {
        if (character == '\n') converted += '\r';
        converted += character;
    }
    return converted;
}

// An argument as the C runtime splits it back out of a command line.
std::wstring quoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t character : argument) {
        if (character == L'\\') {
            ++backslashes;
            continue;
        }
        if (character == L'"') backslashes = backslashes * 2 + 1;
        quoted.append(backslashes, L'\\');
        backslashes = 0;
        quoted += character;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

void makeOld(const fs::path& path) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(24 * 400));
}

// Every file below `folder`, as relative paths with forward slashes.
std::set<std::string> filesBelow(const fs::path& folder) {
    std::set<std::string> files;
    if (!fs::exists(folder)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) files.insert(toUtf8(fs::relative(entry.path(), folder).generic_wstring()));
    }
    return files;
}

std::string stampNow(const char* pattern) {
    std::time_t now = std::time(nullptr);
    char text[32];
    std::strftime(text, sizeof text, pattern, std::localtime(&now));
    return text;
}

// Sets environment variables for the runs of one test, and puts them back.
class EnvironmentChange {
public:
    void set(const wchar_t* name, const std::wstring& value) {
        if (saved_.count(name) == 0) {
            wchar_t buffer[32768];
            DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
            saved_.emplace(name, length > 0 ? std::optional<std::wstring>(buffer) : std::nullopt);
        }
        SetEnvironmentVariableW(name, value.c_str());
    }
    ~EnvironmentChange() {
        for (const auto& [name, value] : saved_) {
            SetEnvironmentVariableW(name.c_str(), value ? value->c_str() : nullptr);
        }
    }

private:
    std::map<std::wstring, std::optional<std::wstring>> saved_;
};

struct Outcome {
    DWORD status = 0;
    std::string out;
    std::string err;
};

class TavrixExe : public testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                (L"tavrix-e2e-" +
                 toWide(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // Runs tavrix.exe in `root_` with standard output and error redirected
    // to files, as a scheduled job would.
    Outcome run(const std::vector<std::wstring>& arguments) {
        PROCESS_INFORMATION process = start(arguments);
        return finish(process);
    }

    PROCESS_INFORMATION start(const std::vector<std::wstring>& arguments) {
        std::wstring commandLine = quoteArgument(kTavrix);
        for (const std::wstring& argument : arguments) commandLine += L" " + quoteArgument(argument);

        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
        HANDLE out = CreateFileW(outPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        HANDLE err = CreateFileW(errPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inheritable,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                &inheritable, OPEN_EXISTING, 0, nullptr);

        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in;
        startup.hStdOutput = consoleOutput_ != nullptr ? consoleOutput_ : out;
        startup.hStdError = err;
        PROCESS_INFORMATION process = {};
        std::wstring directory = root_.wstring();
        // Wine now and then fails a start with ERROR_INTERNAL_ERROR (about
        // once in a thousand here); that is the emulator, not tavrix.
        BOOL started = FALSE;
        for (int attempt = 0; attempt < 3 && !started; ++attempt) {
            started = CreateProcessW(kTavrix.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                     directory.c_str(), &startup, &process);
            if (!started && GetLastError() != ERROR_INTERNAL_ERROR) break;
        }
        CloseHandle(in);
        CloseHandle(out);
        CloseHandle(err);
        if (!started) ADD_FAILURE() << "cannot start tavrix.exe: error " << GetLastError();
        return process;
    }

    Outcome finish(const PROCESS_INFORMATION& process) {
        Outcome outcome;
        if (process.hProcess == nullptr) return outcome;
        if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 99);
            ADD_FAILURE() << "tavrix.exe did not end within a minute";
        }
        GetExitCodeProcess(process.hProcess, &outcome.status);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        outcome.out = readFile(outPath());
        outcome.err = readFile(errPath());
        return outcome;
    }

    fs::path outPath() const { return root_ / L"stdout.txt"; }
    fs::path errPath() const { return root_ / L"stderr.txt"; }

    // The next runs find the recording stand-in on PATH, not the real tool.
    void useStandIn(const std::wstring& pathValue) {
        environment_.set(L"PATH", pathValue);
        environment_.set(L"TAVRIX_ARGV_RECORD", (root_ / L"argv.txt").wstring());
    }
    std::string recordedArguments() const { return readFile(root_ / L"argv.txt"); }

    fs::path root_;
    EnvironmentChange environment_;
    HANDLE consoleOutput_ = nullptr;  // standard output for the next runs, if not a file
};

TEST_F(TavrixExe, DefaultRunCopiesFilesChangedSinceTheDateIntoTheDateFolder) {
    for (const char* name : {"src/new.txt", "src/old.txt", "src/sub/new.txt", "src/sub/old.txt",
                             "src/sub/deep/new.txt", "src/oldonly/old.txt"}) {
        writeFile(root_ / name, std::string("contents of ") + name);
    }
    for (const char* name : {"src/old.txt", "src/sub/old.txt", "src/oldonly/old.txt"}) makeOld(root_ / name);
    fs::create_directories(root_ / "src/empty");

    std::string stamp = stampNow("%y%m%d");
    Outcome outcome = run({L"/d", L"src", L"dest\\"});

    EXPECT_EQ(outcome.status, 0u) << outcome.out << outcome.err;
    fs::path target = root_ / "dest" / stamp;
    EXPECT_EQ(filesBelow(target), (std::set<std::string>{"new.txt", "sub/new.txt", "sub/deep/new.txt"}));
    EXPECT_EQ(readFile(target / "sub/deep/new.txt"), "contents of src/sub/deep/new.txt");
    EXPECT_FALSE(fs::exists(target / "empty"));

    // Redirected to a file, our lines still come before the tool's.
    std::string ours = crlf(tavrix::bannerText()) + "xcopy.exe src dest\\" + stamp + "\\ /d:" +
                       stampNow("%m-%d-%Y") + " /s /c /y\r\n";
    EXPECT_EQ(outcome.out.substr(0, ours.size()), ours);
    EXPECT_NE(outcome.out.find("3 file(s) copied", ours.size()), std::string::npos) << outcome.out;
}

TEST_F(TavrixExe, DateFolderOptionsNameTheTarget) {
    struct Case {
        const wchar_t* option;
        const char* stampPattern;
    };
    writeFile(root_ / "src/file.txt", "x");
    for (const Case& c : {Case{L"/D", "%Y%m%d"}, Case{L"/H", "%Y%m%d%H"}, Case{L"/Y", "%Y"}}) {
        SCOPED_TRACE(toUtf8(c.option));
        std::string before = stampNow(c.stampPattern);
        Outcome outcome = run({c.option, L"src", L"dest\\"});
        std::string after = stampNow(c.stampPattern);
        EXPECT_EQ(outcome.status, 0u) << outcome.out;
        EXPECT_TRUE(fs::exists(root_ / "dest" / before / "file.txt") ||
                    fs::exists(root_ / "dest" / after / "file.txt"))
            << outcome.out;
        fs::remove_all(root_ / "dest");
    }

    // Without a date-folder option the destination itself is the target.
    Outcome outcome = run({L"src", L"dest"});
    EXPECT_EQ(outcome.status, 0u) << outcome.out;
    EXPECT_EQ(filesBelow(root_ / "dest"), (std::set<std::string>{"file.txt"}));
}

TEST_F(TavrixExe, DisplayOnlyStartsNothingAndCreatesNothing) {
    writeFile(root_ / "src/file.txt", "x");
    useStandIn(kStandInFolder);
    Outcome outcome = run({L"/v", L"/d", L"src", L"dest\\"});
    EXPECT_EQ(outcome.status, 0u);
    EXPECT_EQ(outcome.out, crlf(tavrix::bannerText()) + "xcopy.exe src dest\\" + stampNow("%y%m%d") +
                               "\\ /d:" + stampNow("%m-%d-%Y") + " /s /c /y\r\n");
    EXPECT_FALSE(fs::exists(root_ / "dest"));
    EXPECT_FALSE(fs::exists(root_ / "argv.txt"));
}

TEST_F(TavrixExe, PathsWithBlanksAreCopied) {
    writeFile(root_ / "my data/sub/file one.txt", "one");
    Outcome outcome = run({L"/d", L"my data\\", L"my backups\\"});
    EXPECT_EQ(outcome.status, 0u) << outcome.out << outcome.err;
    EXPECT_EQ(readFile(root_ / "my backups" / stampNow("%y%m%d") / "sub/file one.txt"), "one");
}

TEST_F(TavrixExe, NonAsciiSourceIsCopiedAndNoLookAlikeFolder) {
    // Turned into "??" by an ANSI build, this name would match "ab" as well.
    writeFile(root_ / L"日本" / "right.txt", "right");
    writeFile(root_ / "ab/wrong.txt", "wrong");
    Outcome outcome = run({L"日本", L"バックアップ\\"});
    EXPECT_EQ(outcome.status, 0u) << outcome.out << outcome.err;
    EXPECT_EQ(filesBelow(root_ / L"バックアップ"), (std::set<std::string>{"right.txt"}));
}

struct ArgumentCase {
    const char* name;
    std::vector<std::wstring> arguments;
    std::string source;
    std::string targetFolderBeforeStamp;
};

void PrintTo(const ArgumentCase& c, std::ostream* out) { *out << c.name; }

class ToolArguments : public TavrixExe, public testing::WithParamInterface<ArgumentCase> {};

// The real xcopy.exe reads its arguments through the C runtime's rules;
// wine's copy tool is more forgiving, so the stand-in proves the quoting.
TEST_P(ToolArguments, ReachTheToolExactlyAsTyped) {
    const ArgumentCase& c = GetParam();
    useStandIn(kStandInFolder);
    Outcome outcome = run(c.arguments);
    EXPECT_EQ(outcome.status, 0u) << outcome.out << outcome.err;
    EXPECT_EQ(recordedArguments(), c.source + "\n" + c.targetFolderBeforeStamp + stampNow("%y%m%d") +
                                       "\\\n/d:" + stampNow("%m-%d-%Y") + "\n/s\n/c\n/y\n");
}

INSTANTIATE_TEST_SUITE_P(
    Table, ToolArguments,
    testing::Values(
        ArgumentCase{"Plain", {L"/d", L"C:\\data", L"E:\\bk\\"}, "C:\\data", "E:\\bk\\"},
        ArgumentCase{"Blanks", {L"/d", L"C:\\my data", L"E:\\my bk\\"}, "C:\\my data", "E:\\my bk\\"},
        ArgumentCase{"TrailingBackslashesWithBlanks",
                     {L"/d", L"C:\\my data\\\\", L"E:\\my bk\\"},
                     "C:\\my data\\\\",
                     "E:\\my bk\\"},
        ArgumentCase{"Tab", {L"/d", L"C:\\tab\there", L"E:\\bk\\"}, "C:\\tab\there", "E:\\bk\\"},
        ArgumentCase{"NonAscii",
                     {L"/d", L"C:\\日本 データ\\", L"E:\\Sicherung für Jürgen\\"},
                     "C:\\日本 データ\\",
                     "E:\\Sicherung für Jürgen\\"}),
    [](const testing::TestParamInfo<ArgumentCase>& info) { return std::string(info.param.name); });

TEST_F(TavrixExe, PathEntriesInAnyFormFindTheTool) {
    std::wstring folder = kStandInFolder;
    std::wstring forwardSlashes = folder;
    for (wchar_t& character : forwardSlashes) {
        if (character == L'\\') character = L'/';
    }
    for (const std::wstring& entry :
         {folder, folder + L"\\", L"\"" + folder + L"\"", forwardSlashes + L"/",
          L";C:\\nowhere;" + folder}) {
        SCOPED_TRACE(toUtf8(entry));
        useStandIn(entry);
        fs::remove(root_ / "argv.txt");
        EXPECT_EQ(run({L"a", L"b"}).status, 0u);
        EXPECT_EQ(recordedArguments().substr(0, 5), "a\nb\\\n");
    }
}

TEST_F(TavrixExe, ToolStatusIsTheRunsStatus) {
    useStandIn(kStandInFolder);
    environment_.set(L"TAVRIX_STANDIN_STATUS", L"5");
    Outcome outcome = run({L"a", L"b"});
    EXPECT_EQ(outcome.status, 5u);
    EXPECT_EQ(outcome.err, "");
}

TEST_F(TavrixExe, DirectoryNamedLikeTheToolGives126) {
    fs::create_directory(root_ / "xcopy.exe");
    useStandIn(kStandInFolder);
    Outcome outcome = run({L"a", L"b"});
    EXPECT_EQ(outcome.status, 126u);
    std::string expectedStart = "tavrix: cannot start " + toUtf8((root_ / "xcopy.exe").wstring()) + ": ";
    EXPECT_EQ(outcome.err.substr(0, expectedStart.size()), expectedStart) << outcome.err;
    EXPECT_EQ(std::count(outcome.err.begin(), outcome.err.end(), '\n'), 1) << outcome.err;
    EXPECT_FALSE(fs::exists(root_ / "argv.txt"));
}

// The platform's own opt-out: a program planted in an untrusted current
// directory is not started.
TEST_F(TavrixExe, NoDefaultCurrentDirectoryInExePathSkipsTheCurrentDirectory) {
    fs::create_directory(root_ / "xcopy.exe");
    useStandIn(kStandInFolder);
    for (const wchar_t* value : {L"1", L""}) {
        SCOPED_TRACE(toUtf8(value));
        environment_.set(L"NoDefaultCurrentDirectoryInExePath", value);
        fs::remove(root_ / "argv.txt");
        Outcome outcome = run({L"a", L"b"});
        EXPECT_EQ(outcome.status, 0u) << outcome.err;
        EXPECT_TRUE(fs::exists(root_ / "argv.txt"));
    }
}

TEST_F(TavrixExe, NothingFoundGives127) {
    useStandIn(L"C:\\nowhere");
    Outcome outcome = run({L"a", L"b"});
    EXPECT_EQ(outcome.status, 127u);
    EXPECT_EQ(outcome.err, "tavrix: xcopy.exe not found in the current directory or on PATH\r\n");
}

TEST_F(TavrixExe, RefusedArgumentsGive125) {
    Outcome outcome = run({L"", L"dest\\"});
    EXPECT_EQ(outcome.status, 125u);
    EXPECT_EQ(outcome.err, "tavrix: the source argument is empty\r\n");
    EXPECT_EQ(outcome.out, crlf(std::string(tavrix::bannerText()) + std::string(tavrix::usageText())));
}

// Standard output that cannot be written: an error line and a failure
// status, never success for a line that was lost.
TEST_F(TavrixExe, ClosedOutputIsReported) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE reading = nullptr, writing = nullptr;
    ASSERT_TRUE(CreatePipe(&reading, &writing, &inheritable, 0));
    CloseHandle(reading);
    consoleOutput_ = writing;
    Outcome outcome = run({L"/v", L"a", L"b"});
    consoleOutput_ = nullptr;
    CloseHandle(writing);
    EXPECT_EQ(outcome.status, 125u);
    EXPECT_EQ(outcome.err.rfind("tavrix: cannot write to standard output: ", 0), 0u) << outcome.err;
}

// Ctrl+C goes to every process on the console: the tool sees it, and
// tavrix lives on to report the tool's status.
BOOL WINAPI ignoreInterrupt(DWORD event) { return event == CTRL_C_EVENT; }

TEST_F(TavrixExe, CtrlCReachesTheToolAndTavrixReportsItsStatus) {
    FreeConsole();
    ASSERT_TRUE(AllocConsole()) << GetLastError();
    SetConsoleCtrlHandler(ignoreInterrupt, TRUE);
    useStandIn(kStandInFolder);
    fs::path ready = root_ / L"ready";
    environment_.set(L"TAVRIX_STANDIN_WAIT_FOR_INTERRUPT", ready.wstring());

    PROCESS_INFORMATION process = start({L"a", L"b"});
    for (int waited = 0; waited < 2000 && !fs::exists(ready); ++waited) Sleep(10);
    ASSERT_TRUE(fs::exists(ready)) << "the stand-in never started";
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
    Outcome outcome = finish(process);
    SetConsoleCtrlHandler(ignoreInterrupt, FALSE);

    EXPECT_EQ(outcome.status, 3u);
    EXPECT_EQ(outcome.out, crlf(std::string(tavrix::bannerText()) +
                                "xcopy.exe a b\\ /d:" + stampNow("%m-%d-%Y") +
                                " /s /c /y\nstand-in interrupted\n"));
}

}  // namespace
