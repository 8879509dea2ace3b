// The command front end: the argument vector read into RunSettings, the
// decision whether the run goes on, and the run's exit status.
#pragma once

#include <string>
#include <vector>

namespace tavrix {

// Exit statuses of tavrix's own. A run that starts the copy tool ends with
// the tool's status instead; these stay clear of the tool's 0, 1, 2, 4, 5.
constexpr int kStatusSuccess = 0;
constexpr int kStatusOwnFailure = 125;   // tavrix itself failed: arguments refused, no usable date, output lost
constexpr int kStatusCannotStart = 126;  // "xcopy.exe" found but not startable
constexpr int kStatusNotFound = 127;     // no "xcopy.exe" anywhere

struct RunSettings {
    std::string source;
    bool hasSource = false;
    std::string destination;
    bool hasDestination = false;
    std::string stampPattern;  // strftime pattern of the folder stamp, or empty
    bool oldCommandFormat = false;
    bool nightShift = false;
    bool displayOnly = false;
    bool omitS = false;
    bool omitC = false;
    bool omitY = false;
};

struct ParsedArguments {
    bool usageRequested = false;  // "/?" was seen; the scan stopped there
    RunSettings settings;
};

// Element 0 of `arguments` is the program's own name and is never examined.
ParsedArguments parseArguments(const std::vector<std::string>& arguments);

// Why the settings cannot make a run (missing or empty positional
// arguments), as the text of an error line; empty when the run may go on.
std::string refusalReason(const RunSettings& settings);

// The entry routine: one whole run, from the banner to the exit status.
// The arguments are in UTF-8 on every platform.
int runTavrix(const std::vector<std::string>& arguments);

}  // namespace tavrix
