#include "posix_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace testing_support {

namespace {

std::vector<std::string> changedEnvironment(
    const std::map<std::string, std::optional<std::string>>& changes) {
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        std::size_t equals = text.find('=');
        if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : changes) {
        if (value) {
            merged[name] = *value;
        } else {
            merged.erase(name);
        }
    }
    std::vector<std::string> result;
    for (const auto& [name, value] : merged) result.push_back(name + "=" + value);
    return result;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

}  // namespace

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool hasFileOpenBelow(pid_t pid, const std::string& folder) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        if (std::filesystem::read_symlink(entry.path(), error).string().rfind(folder + "/", 0) == 0) return true;
    }
    return false;
}

std::time_t startOfToday() {
    std::time_t now = std::time(nullptr);
    std::tm fields = *std::localtime(&now);
    fields.tm_hour = fields.tm_min = fields.tm_sec = 0;
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

RunningProcess::RunningProcess(const ProcessRequest& request) {
    char scratchTemplate[] = "/tmp/test-process-XXXXXX";
    if (mkdtemp(scratchTemplate) == nullptr) throw std::runtime_error("mkdtemp failed");
    scratch_ = scratchTemplate;
    std::string inputPath = scratch_ + "/stdin";
    std::string errorPath = scratch_ + "/stderr";
    std::ofstream(inputPath, std::ios::binary) << request.input;

    std::vector<std::string> command = request.command;
    std::vector<char*> argv = pointers(command);
    std::vector<std::string> environment = changedEnvironment(request.environment);
    std::vector<char*> envp = pointers(environment);

    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, inputPath.c_str(), O_RDONLY, 0);
    if (!request.outputFile.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, request.outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    } else {
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    }
    if (request.outputClosed) {
        // With the reading end gone before the start, every write fails.
        close(pipeEnds[0]);
        pipeEnds[0] = open("/dev/null", O_RDONLY | O_CLOEXEC);
    }
    posix_spawn_file_actions_addopen(&actions, 2, errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    if (!request.directory.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, request.directory.c_str());
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    if (request.ownProcessGroup) {
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    }
    int error = posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(pipeEnds[1]);
    outputPipe_ = pipeEnds[0];
    if (error != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + command[0] + ": " + std::strerror(error));
    }
}

RunningProcess::~RunningProcess() {
    if (pid_ > 0) finish();
    if (outputPipe_ >= 0) close(outputPipe_);
    std::error_code ignored;
    std::filesystem::remove_all(scratch_, ignored);
}

ProcessOutcome RunningProcess::finish() {
    ProcessOutcome outcome;
    char buffer[65536];
    ssize_t count;
    while ((count = read(outputPipe_, buffer, sizeof buffer)) > 0) outcome.out.append(buffer, count);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    outcome.status = WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
    outcome.err = readWholeFile(scratch_ + "/stderr");
    return outcome;
}

ProcessOutcome runProcess(const ProcessRequest& request) { return RunningProcess(request).finish(); }

}  // namespace testing_support
