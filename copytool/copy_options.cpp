#include "copy_options.h"

#include <algorithm>
#include <cctype>

namespace copytool {

namespace {

bool allDigits(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char character) {
        return std::isdigit(character) != 0;
    });
}

int daysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

std::string lowered(std::string text) {
    for (char& character : text) {
        character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
    }
    return text;
}

// A switch is "/" and a word; "/d:" takes a date, which may hold any text.
// An argument with a second slash is an absolute path: "/home/me/data".
bool isSwitch(const std::string& argument) {
    if (argument.empty() || argument[0] != '/') return false;
    return lowered(argument).rfind("/d:", 0) == 0 || argument.find('/', 1) == std::string::npos;
}

}  // namespace

std::string posixPath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::optional<std::time_t> parseDaySwitchDate(const std::string& text) {
    // Three fields split at '-': MM-DD-YYYY, or YYYY-MM-DD.
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        std::size_t dash = text.find('-', start);
        fields.push_back(text.substr(start, dash == std::string::npos ? dash : dash - start));
        if (dash == std::string::npos) break;
        start = dash + 1;
    }
    if (fields.size() != 3 || !std::all_of(fields.begin(), fields.end(), allDigits)) return std::nullopt;

    std::string yearText, monthText, dayText;
    if (fields[0].size() == 4) {
        yearText = fields[0], monthText = fields[1], dayText = fields[2];
    } else if (fields[2].size() == 4) {
        monthText = fields[0], dayText = fields[1], yearText = fields[2];
    } else {
        return std::nullopt;
    }
    if (monthText.size() > 2 || dayText.size() > 2) return std::nullopt;
    int year = std::stoi(yearText), month = std::stoi(monthText), day = std::stoi(dayText);
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month)) {
        return std::nullopt;
    }

    std::tm startOfDay = {};
    startOfDay.tm_year = year - 1900;
    startOfDay.tm_mon = month - 1;
    startOfDay.tm_mday = day;
    startOfDay.tm_isdst = -1;  // whatever daylight saving says for that day
    std::time_t moment = std::mktime(&startOfDay);
    if (moment == static_cast<std::time_t>(-1)) return std::nullopt;
    return moment;
}

ParsedCopyOptions parseCopyOptions(const std::vector<std::string>& arguments) {
    ParsedCopyOptions parsed;
    CopyOptions& options = parsed.options;
    int positionals = 0;
    for (std::size_t index = 1; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (!isSwitch(argument)) {
            if (positionals == 0) {
                options.source = posixPath(argument);
            } else if (positionals == 1) {
                options.target = posixPath(argument);
            } else {
                parsed.error = "too many arguments: " + argument;
                return parsed;
            }
            ++positionals;
            continue;
        }
        std::string option = lowered(argument);
        if (option == "/s") {
            options.subfolders = true;
        } else if (option == "/c") {
            options.continueOnError = true;
        } else if (option == "/y") {
            options.overwriteWithoutAsking = true;
        } else if (option.rfind("/d:", 0) == 0) {
            options.changedSince = parseDaySwitchDate(argument.substr(3));
            if (!options.changedSince) {
                parsed.error = "invalid date: " + argument;
                return parsed;
            }
        } else {
            parsed.error = "invalid switch: " + argument;
            return parsed;
        }
    }
    if (positionals < 2) {
        parsed.error = positionals == 0 ? "missing source and target" : "missing target";
    } else if (options.source.empty()) {
        parsed.error = "the source is empty";
    } else if (options.target.empty()) {
        parsed.error = "the target is empty";
    }
    return parsed;
}

}  // namespace copytool
