// A stand-in "xcopy.exe": writes the arguments its C runtime splits from the
// command line, one UTF-8 line each, to the file named by
// TAVRIX_ARGV_RECORD, says it ran, and ends with TAVRIX_STANDIN_STATUS.
// With TAVRIX_STANDIN_WAIT_FOR_INTERRUPT naming a file, it creates that file
// and waits for Ctrl+C, then says so and ends with status 3.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "utf8_win32.h"

namespace {

volatile LONG interrupted = 0;

BOOL WINAPI noteInterrupt(DWORD event) {
    if (event != CTRL_C_EVENT) return FALSE;
    InterlockedExchange(&interrupted, 1);
    return TRUE;
}

int waitForInterrupt(const wchar_t* readyFile) {
    SetConsoleCtrlHandler(noteInterrupt, TRUE);
    if (std::FILE* ready = _wfopen(readyFile, L"wb")) std::fclose(ready);
    for (int waited = 0; waited < 3000 && !interrupted; ++waited) Sleep(10);
    if (!interrupted) return 4;
    std::puts("stand-in interrupted");
    return 3;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (const wchar_t* record = _wgetenv(L"TAVRIX_ARGV_RECORD")) {
        if (std::FILE* file = _wfopen(record, L"wb")) {
            for (int index = 1; index < argc; ++index) {
                std::string argument = tavrix::toUtf8(argv[index]) + "\n";
                std::fwrite(argument.data(), 1, argument.size(), file);
            }
            std::fclose(file);
        }
    }
    if (const wchar_t* readyFile = _wgetenv(L"TAVRIX_STANDIN_WAIT_FOR_INTERRUPT")) {
        return waitForInterrupt(readyFile);
    }
    std::puts("stand-in copied");
    const wchar_t* status = _wgetenv(L"TAVRIX_STANDIN_STATUS");
    return status != nullptr ? _wtoi(status) : 0;
}
