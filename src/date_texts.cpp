#include "date_texts.h"

namespace tavrix {

namespace {

// strftime into a buffer of the given capacity; empty when it does not fit.
std::optional<std::string> formatTime(const std::tm& moment, const char* pattern,
                                      std::size_t capacity) {
    char buffer[16] = {};
    if (capacity > sizeof buffer) return std::nullopt;
    std::size_t length = std::strftime(buffer, capacity, pattern, &moment);
    if (length == 0) return std::nullopt;  // every pattern here makes some text
    return std::string(buffer, length);
}

}  // namespace

std::optional<DateTexts> makeDateTexts(const RunSettings& settings, std::time_t now) {
    tzset();
    const std::tm* converted = std::localtime(&now);
    if (converted == nullptr) return std::nullopt;
    std::tm moment = *converted;

    if (settings.nightShift) {
        moment.tm_mday -= 1;
        // Let mktime decide whether daylight saving applies to the previous
        // day. Keeping today's flag shifts the moment by an hour when the
        // night crosses a clock change, and near midnight that lands on the
        // wrong day.
        moment.tm_isdst = -1;
        std::time_t previousDay = std::mktime(&moment);
        if (previousDay == static_cast<std::time_t>(-1)) return std::nullopt;
        converted = std::localtime(&previousDay);
        if (converted == nullptr) return std::nullopt;
        moment = *converted;
    }

    // The copy tool reads four-digit years only; any other year would make a
    // date switch it refuses or misreads.
    int year = moment.tm_year + 1900;
    if (year < 1000 || year > 9999) return std::nullopt;

    DateTexts texts;
    if (!settings.stampPattern.empty()) {
        auto stamp = formatTime(moment, settings.stampPattern.c_str(), kStampCapacity);
        if (!stamp) return std::nullopt;
        texts.stamp = *stamp;
    }
    const char* switchPattern = settings.oldCommandFormat ? "/d:%Y-%m-%d" : "/d:%m-%d-%Y";
    auto dateSwitch = formatTime(moment, switchPattern, kDateSwitchCapacity);
    if (!dateSwitch) return std::nullopt;
    texts.dateSwitch = *dateSwitch;
    return texts;
}

}  // namespace tavrix
