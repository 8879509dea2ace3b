// The program's entry point: the platform's argument vector, as UTF-8 texts,
// handed to the entry routine.
#include <string>
#include <vector>

#include "entry.h"

#ifdef _WIN32
#include "utf8_win32.h"

// The wide entry point sees every path as typed; the narrow one would turn
// characters outside the ANSI code page into "?", a wildcard to the tool.
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> arguments;
    for (int index = 0; index < argc; ++index) arguments.push_back(tavrix::toUtf8(argv[index]));
    return tavrix::runTavrix(arguments);
}

#else
#include <signal.h>

int main(int argc, char** argv) {
    // A closed output pipe is reported as an error line and a status, not
    // by dying of SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    return tavrix::runTavrix(std::vector<std::string>(argv, argv + argc));
}

#endif
