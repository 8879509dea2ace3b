// Runs a program for a black-box test: standard output on a pipe, as in a
// script, standard error and input through files.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct ProcessOutcome {
    int status = -1;  // the exit status, or 128 plus the signal
    std::string out;
    std::string err;
};

struct ProcessRequest {
    std::vector<std::string> command;  // command[0] is a path, not searched for
    std::string directory;             // where it runs; empty for here
    // Changes to this process's environment: a value, or none to unset.
    std::map<std::string, std::optional<std::string>> environment;
    std::string input;                 // its standard input
    std::string outputFile;            // standard output to this file, not a pipe
    bool outputClosed = false;         // standard output a pipe nobody reads
    bool ownProcessGroup = false;      // so a test can signal it as a terminal would
};

class RunningProcess {
public:
    explicit RunningProcess(const ProcessRequest& request);
    ~RunningProcess();
    RunningProcess(const RunningProcess&) = delete;
    RunningProcess& operator=(const RunningProcess&) = delete;

    pid_t pid() const { return pid_; }
    // Reads its output to the end and waits for it.
    ProcessOutcome finish();

private:
    pid_t pid_ = -1;
    int outputPipe_ = -1;
    std::string scratch_;  // folder for its input and error files
};

ProcessOutcome runProcess(const ProcessRequest& request);

std::string readWholeFile(const std::string& path);

// Whether process `pid` has a file open below `folder`.
bool hasFileOpenBelow(pid_t pid, const std::string& folder);

// Local midnight at the start of today.
std::time_t startOfToday();

}  // namespace testing_support
