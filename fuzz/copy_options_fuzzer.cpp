// Any argument vector for the copy tool's command line. An accepted one
// names a source and a target in POSIX form, and a date switch names the
// start of a day that reads back as the same date.
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

#include "copy_options.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setenv("TZ", "UTC0", 1);
    return 0;
}

using fuzzing::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> arguments = fuzzing::FuzzInput(data, size).texts();
    copytool::ParsedCopyOptions parsed = copytool::parseCopyOptions(arguments);
    if (!parsed.error.empty()) return 0;

    const copytool::CopyOptions& options = parsed.options;
    check(!options.source.empty() && !options.target.empty());
    check(options.source.find('\\') == std::string::npos);
    check(options.target.find('\\') == std::string::npos);
    if (options.changedSince) {
        std::tm day = *std::gmtime(&*options.changedSince);
        check(day.tm_hour == 0 && day.tm_min == 0 && day.tm_sec == 0);
        char text[32];
        std::strftime(text, sizeof text, "%m-%d-%Y", &day);
        check(copytool::parseDaySwitchDate(text) == options.changedSince);
    }
    return 0;
}
