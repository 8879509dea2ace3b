#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform.h"

extern char** environ;

namespace tavrix::platform {

namespace {

int standardOutputError = 0;  // the first failed write's errno

}  // namespace

void writeStandardOutput(std::string_view text) {
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() && standardOutputError == 0) {
        standardOutputError = errno != 0 ? errno : EIO;
    }
}

void writeStandardError(std::string_view text) { std::fwrite(text.data(), 1, text.size(), stderr); }

std::optional<std::string> standardOutputProblem() {
    errno = 0;
    if (std::fflush(stdout) != 0 && standardOutputError == 0) {
        standardOutputError = errno != 0 ? errno : EIO;
    }
    if (standardOutputError == 0 && std::ferror(stdout)) standardOutputError = EIO;
    if (standardOutputError == 0) return std::nullopt;
    return std::string(std::strerror(standardOutputError));
}

SearchRules searchRules() { return {':', '/', "/", false}; }

std::string currentDirectory() {
    std::string buffer(256, '\0');
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return ".";
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

std::optional<std::string> pathVariable() {
    const char* value = std::getenv("PATH");
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

bool searchesCurrentDirectory() { return true; }

bool entryExists(const std::string& path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

namespace {

// Ignores SIGINT and SIGQUIT while alive, as a shell does while it waits
// for a command: Ctrl+C then reaches the tool, and tavrix lives to report
// the tool's status.
class InterruptsIgnored {
public:
    InterruptsIgnored() {
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGINT, &ignore, &savedInterrupt_);
        sigaction(SIGQUIT, &ignore, &savedQuit_);
    }
    ~InterruptsIgnored() {
        sigaction(SIGINT, &savedInterrupt_, nullptr);
        sigaction(SIGQUIT, &savedQuit_, nullptr);
    }
    InterruptsIgnored(const InterruptsIgnored&) = delete;
    InterruptsIgnored& operator=(const InterruptsIgnored&) = delete;

private:
    struct sigaction savedInterrupt_ = {};
    struct sigaction savedQuit_ = {};
};

}  // namespace

ProgramRun runProgram(const std::string& programPath, const std::string& /*commandLine*/,
                      const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    InterruptsIgnored interruptsIgnored;

    // The child gets default handling of the two signals back, and of
    // SIGPIPE, which tavrix ignores to report a closed output itself.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGQUIT);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);

    ProgramRun run;
    pid_t child = 0;
    int error = posix_spawn(&child, programPath.c_str(), nullptr, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        run.result = ProgramRun::Result::CannotStart;
        run.error = std::strerror(error);
        return run;
    }

    int status = 0;
    while (waitpid(child, &status, 0) == -1) {
        if (errno != EINTR) {
            run.result = ProgramRun::Result::CannotStart;
            run.error = std::strerror(errno);
            return run;
        }
    }
    if (WIFSIGNALED(status)) {
        run.result = ProgramRun::Result::Signaled;
        run.code = WTERMSIG(status);
    } else {
        run.result = ProgramRun::Result::Exited;
        run.code = WEXITSTATUS(status);
    }
    return run;
}

}  // namespace tavrix::platform
