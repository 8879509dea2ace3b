// Finding the copy tool and running it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "copy_command.h"
#include "platform.h"

namespace tavrix {

// The places to look for `programName`, in order: the current directory
// (unless `searchCurrentDirectory` is false), then each PATH entry. An empty
// entry stands for the current directory whatever that flag says: it was
// put there on purpose.
std::vector<std::string> programSearchPlaces(const std::string& programName,
                                             const std::string& currentDirectory,
                                             const std::optional<std::string>& pathValue,
                                             const platform::SearchRules& rules,
                                             bool searchCurrentDirectory = true);

// The first of `places` where anything of that name exists.
std::optional<std::string> findFirstExisting(const std::vector<std::string>& places);

struct LaunchResult {
    int exitStatus = 0;
    std::string error;  // an error line's text, without "tavrix: "; empty if none
};

// The status a finished or failed run of the tool gives tavrix.
LaunchResult launchResultFor(const std::string& programPath, const platform::ProgramRun& run);

// Finds the copy tool, flushes all output and runs the command, waiting for
// the tool to end.
LaunchResult launchCopyTool(const CopyCommand& command);

}  // namespace tavrix
