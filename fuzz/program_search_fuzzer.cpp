// Any current directory and any PATH text, by the POSIX and the Windows
// rules: one place for the current directory, then one for each entry.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_input.h"
#include "launch.h"

namespace {

const tavrix::platform::SearchRules kRules[] = {{':', '/', "/", false}, {';', '\\', "\\/", true}};

}  // namespace

using fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::FuzzInput input(data, size);
    const tavrix::platform::SearchRules& rules = kRules[input.take<std::uint8_t>() % 2];
    std::vector<std::string> texts = input.texts();
    std::string currentDirectory = texts[0];
    std::optional<std::string> path;
    if (texts.size() > 1) path = texts[1];

    std::vector<std::string> places =
        tavrix::programSearchPlaces("xcopy.exe", currentDirectory, path, rules);

    std::size_t entries = path ? std::count(path->begin(), path->end(), rules.listSeparator) + 1 : 0;
    check(places.size() == 1 + entries);
    for (std::size_t index = 0; index < places.size(); ++index) {
        const std::string& place = places[index];
        check(place.size() >= 9 && place.compare(place.size() - 9, 9, "xcopy.exe") == 0);
        // Nothing but the directory, at most one separator and the name.
        std::string directory = place.substr(0, place.size() - 9);
        if (!directory.empty() && directory.back() == rules.directorySeparator) directory.pop_back();
        if (index == 0) check(currentDirectory.compare(0, directory.size(), directory) == 0);
        if (index > 0 && rules.dropQuotes) check(directory.find('"') == std::string::npos ||
                                                 currentDirectory.find('"') != std::string::npos);
    }
    return 0;
}
