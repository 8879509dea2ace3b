#include "entry.h"

#include <cctype>
#include <cstdio>
#include <ctime>

#include "console_texts.h"
#include "copy_command.h"
#include "date_texts.h"
#include "launch.h"
#include "platform.h"

namespace tavrix {

namespace {

const char* stampPatternFor(char letter) {
    switch (letter) {
        case 'y': return "%y";
        case 'Y': return "%Y";
        case 'm': return "%y%m";
        case 'M': return "%Y%m";
        case 'd': return "%y%m%d";
        case 'D': return "%Y%m%d";
        case 'h': return "%y%m%d%H";
        case 'H': return "%Y%m%d%H";
        default: return nullptr;
    }
}

char lowered(char letter) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
}

void applyCancellation(const std::string& argument, RunSettings& settings) {
    if (argument.size() < 3) return;
    switch (lowered(argument[2])) {
        case 's': settings.omitS = true; break;
        case 'c': settings.omitC = true; break;
        case 'y': settings.omitY = true; break;
        default: break;
    }
}

// Standard output is flushed first, so that where both streams go to one
// place, the error stands after the lines written before it.
void reportError(const std::string& message) {
    std::fflush(stdout);
    platform::writeStandardError("tavrix: " + message + "\n");
}

// A run whose own lines were lost is not a success: a display-only run
// exists to show its line. A failure status already set stays.
int withOutputProblem(int status, const std::optional<std::string>& problem) {
    if (!problem) return status;
    reportError("cannot write to standard output: " + *problem);
    return status == kStatusSuccess ? kStatusOwnFailure : status;
}

int withOutputChecked(int status) {
    return withOutputProblem(status, platform::standardOutputProblem());
}

}  // namespace

ParsedArguments parseArguments(const std::vector<std::string>& arguments) {
    ParsedArguments parsed;
    RunSettings& settings = parsed.settings;
    for (std::size_t index = 1; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (argument.empty() || argument[0] != '/') {
            if (!settings.hasSource) {
                settings.source = argument;
                settings.hasSource = true;
            } else if (!settings.hasDestination) {
                settings.destination = argument;
                settings.hasDestination = true;
            }
            continue;
        }
        if (argument.size() == 1) continue;

        // Only the second character decides: /home is /h, /verbose is /v.
        char letter = argument[1];
        if (const char* pattern = stampPatternFor(letter)) {
            settings.stampPattern = pattern;
            continue;
        }
        switch (lowered(letter)) {
            case 'o': settings.oldCommandFormat = true; break;
            case 'n': settings.nightShift = true; break;
            case 'v': settings.displayOnly = true; break;
            case '-': applyCancellation(argument, settings); break;
            case '?': parsed.usageRequested = true; return parsed;
            default: break;
        }
    }
    return parsed;
}

std::string refusalReason(const RunSettings& settings) {
    if (!settings.hasSource) return "missing source and destination";
    if (!settings.hasDestination) return "missing destination";
    // An empty source makes the copy tool take the target as its source and
    // copy it into the current directory.
    if (settings.source.empty()) return "the source argument is empty";
    if (settings.destination.empty()) return "the destination argument is empty";
    return "";
}

int runTavrix(const std::vector<std::string>& arguments) {
    printBanner();

    ParsedArguments parsed = parseArguments(arguments);
    if (parsed.usageRequested) {
        printUsage();
        return withOutputChecked(kStatusSuccess);
    }
    const RunSettings& settings = parsed.settings;
    if (std::string reason = refusalReason(settings); !reason.empty()) {
        reportError(reason);
        printUsage();
        return withOutputChecked(kStatusOwnFailure);
    }

    // The clock is read once, here; both date texts come from this moment.
    std::optional<DateTexts> dateTexts = makeDateTexts(settings, std::time(nullptr));
    if (!dateTexts) {
        reportError("the local date cannot be determined from the clock");
        return withOutputChecked(kStatusOwnFailure);
    }

    CopyCommand command = buildCopyCommand(settings, *dateTexts);
    platform::writeStandardOutput(formatEchoLine(command));
    if (command.displayOnly) return withOutputChecked(kStatusSuccess);

    // The copy runs even when our own lines were lost: the backup matters
    // more than its echo line. The tool's failure outranks ours.
    std::optional<std::string> outputProblem = platform::standardOutputProblem();
    LaunchResult launch = launchCopyTool(command);
    if (!launch.error.empty()) reportError(launch.error);
    return withOutputProblem(launch.exitStatus, outputProblem);
}

}  // namespace tavrix
