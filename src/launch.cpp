#include "launch.h"

#include <cstdio>

#include "entry.h"

namespace tavrix {

namespace {

std::string joinPath(const std::string& directory, const std::string& name,
                     const platform::SearchRules& rules) {
    if (!directory.empty() && rules.endSeparators.find(directory.back()) != std::string::npos) {
        return directory + name;
    }
    return directory + rules.directorySeparator + name;
}

}  // namespace

std::vector<std::string> programSearchPlaces(const std::string& programName,
                                             const std::string& currentDirectory,
                                             const std::optional<std::string>& pathValue,
                                             const platform::SearchRules& rules,
                                             bool searchCurrentDirectory) {
    std::vector<std::string> places;
    if (searchCurrentDirectory) places.push_back(joinPath(currentDirectory, programName, rules));
    if (!pathValue) return places;

    std::size_t start = 0;
    while (true) {
        std::size_t end = pathValue->find(rules.listSeparator, start);
        std::string entry = pathValue->substr(start, end == std::string::npos ? end : end - start);
        if (rules.dropQuotes) std::erase(entry, '"');
        places.push_back(joinPath(entry.empty() ? currentDirectory : entry, programName, rules));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return places;
}

std::optional<std::string> findFirstExisting(const std::vector<std::string>& places) {
    for (const std::string& place : places) {
        if (platform::entryExists(place)) return place;
    }
    return std::nullopt;
}

LaunchResult launchResultFor(const std::string& programPath, const platform::ProgramRun& run) {
    switch (run.result) {
        case platform::ProgramRun::Result::Exited:
            return {run.code, ""};
        case platform::ProgramRun::Result::Signaled:
            return {128 + run.code, ""};
        case platform::ProgramRun::Result::CannotStart:
            break;
    }
    return {kStatusCannotStart, "cannot start " + programPath + ": " + run.error};
}

LaunchResult launchCopyTool(const CopyCommand& command) {
    std::vector<std::string> places =
        programSearchPlaces(kCopyToolName, platform::currentDirectory(),
                            platform::pathVariable(), platform::searchRules(),
                            platform::searchesCurrentDirectory());
    std::optional<std::string> program = findFirstExisting(places);
    if (!program) {
        return {kStatusNotFound,
                std::string(kCopyToolName) + " not found in the current directory or on PATH"};
    }
    // Our lines must come out before anything the tool writes.
    std::fflush(nullptr);
    platform::ProgramRun run =
        platform::runProgram(*program, formatCommandLine(command), commandArguments(command));
    return launchResultFor(*program, run);
}

}  // namespace tavrix
