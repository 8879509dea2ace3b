// The copy tool's command line: SOURCE TARGET and its switches.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace copytool {

struct CopyOptions {
    std::string source;  // in POSIX form: backslashes turned into slashes
    std::string target;
    std::optional<std::time_t> changedSince;  // start of the /d: day, local time
    bool subfolders = false;                  // /s
    bool continueOnError = false;             // /c
    bool overwriteWithoutAsking = false;      // /y
};

struct ParsedCopyOptions {
    CopyOptions options;
    std::string error;  // why the command line is refused; empty if accepted
};

// Element 0 is the program's own name and is not examined. An argument
// that begins with "/" is a switch unless it holds a second "/", as an
// absolute POSIX path does.
ParsedCopyOptions parseCopyOptions(const std::vector<std::string>& arguments);

// The start of a day given as MM-DD-YYYY or YYYY-MM-DD, in local time;
// empty when the text is not such a date.
std::optional<std::time_t> parseDaySwitchDate(const std::string& text);

// A path as written on Windows, with backslashes as separators.
std::string posixPath(std::string path);

}  // namespace copytool
