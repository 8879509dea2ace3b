// The POSIX stand-in for the Windows "xcopy.exe" that tavrix starts.
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "copy_job.h"
#include "copy_options.h"
#include "interruption.h"

int main(int argc, char** argv) {
    copytool::ParsedCopyOptions parsed =
        copytool::parseCopyOptions(std::vector<std::string>(argv, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "xcopy.exe: %s\n", parsed.error.c_str());
        return copytool::kStatusCannotStart;
    }
    copytool::watchForInterruption();
    // A closed output ends the listing, not the copy.
    signal(SIGPIPE, SIG_IGN);
    return copytool::runCopyJob(parsed.options, stdout, stderr, stdin);
}
