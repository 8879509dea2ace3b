// The folder stamp and the date switch, both made from one moment.
#pragma once

#include <ctime>
#include <optional>
#include <string>

#include "entry.h"

namespace tavrix {

// Capacities of the two texts, terminator included.
constexpr std::size_t kStampCapacity = 11;
constexpr std::size_t kDateSwitchCapacity = 14;

struct DateTexts {
    std::string stamp;       // empty when no date-folder option was given
    std::string dateSwitch;  // "/d:MM-DD-YYYY", or "/d:YYYY-MM-DD" with /o
};

// `now` is the moment the entry routine read from the clock. Local time
// follows the platform's time-zone setting. Empty when the platform cannot
// convert the moment, or its year has not four digits: a cut-short or
// odd-length stamp or date would name the wrong day.
std::optional<DateTexts> makeDateTexts(const RunSettings& settings, std::time_t now);

}  // namespace tavrix
