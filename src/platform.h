// What tavrix needs of the operating system to find and start the copy tool.
// One implementation per platform, chosen by the build. Texts are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tavrix::platform {

// Write UTF-8 text to standard output or standard error: on a Windows
// console as wide characters, so that every path shows as typed; elsewhere
// as the bytes given.
void writeStandardOutput(std::string_view text);
void writeStandardError(std::string_view text);

// Flushes standard output and tells what went wrong with it since the
// start of the run (a closed pipe, a full disk), if anything.
std::optional<std::string> standardOutputProblem();

// How this platform lists directories in PATH and joins a directory and a
// file name.
struct SearchRules {
    char listSeparator;         // between PATH entries
    char directorySeparator;    // put between a directory and a name
    std::string endSeparators;  // an entry ending with one of these needs none
    bool dropQuotes;            // double quotes inside an entry are ignored
};

SearchRules searchRules();

// The current directory; "." when the platform cannot tell.
std::string currentDirectory();

// Whether the program search begins in the current directory. Windows
// skips it when NoDefaultCurrentDirectoryInExePath is set, as its command
// interpreter does.
bool searchesCurrentDirectory();

// The value of PATH; empty when the variable is not set.
std::optional<std::string> pathVariable();

// Whether anything (a file, a directory, ...) stands at this path.
bool entryExists(const std::string& path);

struct ProgramRun {
    enum class Result { Exited, Signaled, CannotStart };
    Result result = Result::CannotStart;
    int code = 0;       // exit status, or the signal number
    std::string error;  // why it could not be started
};

// Starts the program at `programPath` in this console, with inherited
// handles, environment and current directory, and waits for it without a
// time limit. `commandLine` is what a Windows program receives;
// `arguments` the vector a POSIX program receives. Ctrl+C during the wait
// does not end this process before the program.
ProgramRun runProgram(const std::string& programPath, const std::string& commandLine,
                      const std::vector<std::string>& arguments);

}  // namespace tavrix::platform
