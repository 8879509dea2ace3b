// The C runtime's way of splitting a command line into arguments, as the
// Windows copy tool reads it: blanks and tabs separate arguments outside
// double quotes; a run of 2n backslashes before a quote gives n backslashes
// and the quote opens or closes a quoted part; 2n+1 give n and a literal
// quote; other backslashes are literal. The program name ends at the first
// blank or tab outside quotes, and its backslashes are always literal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace fuzzing {

inline std::vector<std::string> splitCommandLine(std::string_view line) {
    std::vector<std::string> arguments;
    std::size_t at = 0;
    std::string program;
    bool quoted = false;
    for (; at < line.size(); ++at) {
        char character = line[at];
        if (character == '"') {
            quoted = !quoted;
        } else if ((character == ' ' || character == '\t') && !quoted) {
            break;
        } else {
            program += character;
        }
    }
    arguments.push_back(program);

    while (true) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
        if (at >= line.size()) break;
        std::string argument;
        quoted = false;
        while (at < line.size()) {
            char character = line[at];
            if (character == '\\') {
                std::size_t backslashes = 0;
                while (at < line.size() && line[at] == '\\') ++backslashes, ++at;
                if (at < line.size() && line[at] == '"') {
                    argument.append(backslashes / 2, '\\');
                    if (backslashes % 2 == 1) {
                        argument += '"';
                        ++at;
                    }
                } else {
                    argument.append(backslashes, '\\');
                }
            } else if (character == '"') {
                if (quoted && at + 1 < line.size() && line[at + 1] == '"') {
                    argument += '"';
                    at += 2;
                } else {
                    quoted = !quoted;
                    ++at;
                }
            } else if ((character == ' ' || character == '\t') && !quoted) {
                break;
            } else {
                argument += character;
                ++at;
            }
        }
        arguments.push_back(argument);
    }
    return arguments;
}

}  // namespace fuzzing
