// Any argument vector, at any moment, in any of several time zones: the
// parser, the date texts, the copy command and its echo line. The command
// line, split the way the copy tool splits it, must give back the very
// fields that went in.
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "command_line_split.h"
#include "copy_command.h"
#include "date_texts.h"
#include "entry.h"
#include "fuzz_input.h"

namespace {

const char* const kZones[] = {"UTC0", "CET-1CEST,M3.5.0,M10.5.0/3", "EST5EDT,M3.2.0,M11.1.0",
                              "<+1345>-13:45<+1445>,M9.5.0/2:45,M4.1.0/3:45", "<-03>3"};

}  // namespace

using fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::FuzzInput input(data, size);
    auto moment = static_cast<std::time_t>(input.take<std::int64_t>());
    setenv("TZ", kZones[input.take<std::uint8_t>() % std::size(kZones)], 1);
    std::vector<std::string> arguments = input.texts();

    tavrix::ParsedArguments parsed = tavrix::parseArguments(arguments);
    if (parsed.usageRequested || !tavrix::refusalReason(parsed.settings).empty()) return 0;
    const tavrix::RunSettings& settings = parsed.settings;

    std::optional<tavrix::DateTexts> dateTexts = tavrix::makeDateTexts(settings, moment);
    if (!dateTexts) return 0;
    check(dateTexts->stamp.size() < tavrix::kStampCapacity);
    check(dateTexts->dateSwitch.size() == 13);

    tavrix::CopyCommand command = tavrix::buildCopyCommand(settings, *dateTexts);
    // No path loses or gains a character.
    check(command.source == settings.source);
    check(command.targetFolder.compare(0, settings.destination.size(), settings.destination) == 0);
    check(command.targetFolder.back() == '\\');

    std::string commandLine = tavrix::formatCommandLine(command);
    check(tavrix::formatEchoLine(command) == commandLine + "\n");

    // Paths that hold a double quote are passed as typed; Windows allows
    // none in a file name.
    if (settings.source.find('"') == std::string::npos &&
        settings.destination.find('"') == std::string::npos) {
        check(fuzzing::splitCommandLine(commandLine) == tavrix::commandArguments(command));
    }
    return 0;
}
