// The command handed to the copy tool and the echo line that shows it.
#pragma once

#include <string>
#include <vector>

#include "date_texts.h"
#include "entry.h"

namespace tavrix {

constexpr const char* kCopyToolName = "xcopy.exe";

struct CopyCommand {
    std::string source;
    std::string targetFolder;  // destination, stamp and a closing backslash
    std::string dateSwitch;
    std::string switches;      // the default switches left, blank-separated
    bool displayOnly = false;
};

CopyCommand buildCopyCommand(const RunSettings& settings, const DateTexts& dateTexts);

// A field as the copy tool's C runtime must read it back: one that holds a
// blank or a tab (and no double quote) is put in double quotes, with the
// backslashes just before the closing quote doubled.
std::string quoteField(const std::string& field);

// "xcopy.exe SOURCE TARGET DATESWITCH SWITCHES", fields quoted as above.
std::string formatCommandLine(const CopyCommand& command);

// The command line and a line end.
std::string formatEchoLine(const CopyCommand& command);

// The command as an argument vector: the program name, source, target
// folder and date switch, then each switch as an argument of its own.
std::vector<std::string> commandArguments(const CopyCommand& command);

}  // namespace tavrix
