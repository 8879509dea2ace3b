#include "copy_command.h"

namespace tavrix {

namespace {

std::string switchString(const RunSettings& settings) {
    std::string switches;
    auto add = [&switches](const char* option) {
        if (!switches.empty()) switches += ' ';
        switches += option;
    };
    if (!settings.omitS) add("/s");
    if (!settings.omitC) add("/c");
    if (!settings.omitY) add("/y");
    return switches;
}

}  // namespace

CopyCommand buildCopyCommand(const RunSettings& settings, const DateTexts& dateTexts) {
    CopyCommand command;
    command.source = settings.source;
    // The stamp is glued on directly: it is a sub-folder only when the
    // destination already ends with a backslash. A slash does not count.
    command.targetFolder = settings.destination + dateTexts.stamp;
    if (command.targetFolder.empty() || command.targetFolder.back() != '\\') {
        command.targetFolder += '\\';
    }
    command.dateSwitch = dateTexts.dateSwitch;
    command.switches = switchString(settings);
    command.displayOnly = settings.displayOnly;
    return command;
}

std::string quoteField(const std::string& field) {
    bool hasBlank = field.find_first_of(" \t") != std::string::npos;
    bool hasQuote = field.find('"') != std::string::npos;
    if (!hasBlank || hasQuote) return field;

    // A run of backslashes before a quote is read as half as many
    // backslashes, so the run at the end is doubled to stay literal.
    std::size_t trailingBackslashes = 0;
    while (trailingBackslashes < field.size() &&
           field[field.size() - 1 - trailingBackslashes] == '\\') {
        ++trailingBackslashes;
    }
    return '"' + field + std::string(trailingBackslashes, '\\') + '"';
}

std::string formatCommandLine(const CopyCommand& command) {
    return std::string(kCopyToolName) + ' ' + quoteField(command.source) + ' ' +
           quoteField(command.targetFolder) + ' ' + command.dateSwitch + ' ' +
           command.switches;
}

std::string formatEchoLine(const CopyCommand& command) {
    return formatCommandLine(command) + '\n';
}

std::vector<std::string> commandArguments(const CopyCommand& command) {
    std::vector<std::string> arguments = {kCopyToolName, command.source,
                                          command.targetFolder, command.dateSwitch};
    std::size_t start = 0;
    while (start < command.switches.size()) {
        std::size_t end = command.switches.find(' ', start);
        if (end == std::string::npos) end = command.switches.size();
        arguments.push_back(command.switches.substr(start, end - start));
        start = end + 1;
    }
    return arguments;
}

}  // namespace tavrix
