#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform.h"
#include "utf8_win32.h"

namespace tavrix::platform {

namespace {

std::string systemMessage(DWORD error) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length > 0 ? std::wstring(text, length) : std::wstring();
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    if (message.empty()) return "error " + std::to_string(error);
    return toUtf8(message);
}

std::string standardOutputError;  // the first failed write's cause

// A console takes wide text; the bytes of UTF-8 would show as the console's
// code page reads them.
bool writeToConsole(DWORD handleName, std::FILE* stream, std::string_view text) {
    HANDLE handle = GetStdHandle(handleName);
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || !GetConsoleMode(handle, &mode)) return false;
    std::fflush(stream);
    std::wstring wide = toWide(text);
    DWORD written = 0;
    if (!wide.empty() && !WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) &&
        stream == stdout && standardOutputError.empty()) {
        standardOutputError = systemMessage(GetLastError());
    }
    return true;
}

}  // namespace

void writeStandardOutput(std::string_view text) {
    if (writeToConsole(STD_OUTPUT_HANDLE, stdout, text)) return;
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() && standardOutputError.empty()) {
        standardOutputError = std::strerror(errno != 0 ? errno : EIO);
    }
}

void writeStandardError(std::string_view text) {
    if (writeToConsole(STD_ERROR_HANDLE, stderr, text)) return;
    std::fwrite(text.data(), 1, text.size(), stderr);
}

std::optional<std::string> standardOutputProblem() {
    errno = 0;
    if (std::fflush(stdout) != 0 && standardOutputError.empty()) {
        standardOutputError = std::strerror(errno != 0 ? errno : EIO);
    }
    if (standardOutputError.empty() && std::ferror(stdout)) standardOutputError = std::strerror(EIO);
    if (standardOutputError.empty()) return std::nullopt;
    return standardOutputError;
}

SearchRules searchRules() { return {';', '\\', "\\/", true}; }

std::string currentDirectory() {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    if (size == 0) return ".";
    std::wstring buffer(size, L'\0');
    DWORD length = GetCurrentDirectoryW(size, buffer.data());
    if (length == 0 || length >= size) return ".";
    buffer.resize(length);
    return toUtf8(buffer);
}

bool searchesCurrentDirectory() {
    // Set to anything, the variable takes the current directory out.
    return GetEnvironmentVariableW(L"NoDefaultCurrentDirectoryInExePath", nullptr, 0) == 0 &&
           GetLastError() == ERROR_ENVVAR_NOT_FOUND;
}

std::optional<std::string> pathVariable() {
    // The variable's name is matched without regard to case.
    DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    if (size == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
        return std::string();
    }
    std::wstring buffer(size, L'\0');
    DWORD length = GetEnvironmentVariableW(L"PATH", buffer.data(), size);
    buffer.resize(length < size ? length : 0);
    return toUtf8(buffer);
}

bool entryExists(const std::string& path) {
    return GetFileAttributesW(toWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// Ctrl+C and Ctrl+Break go to every process on the console. While the tool
// runs, tavrix takes them as handled and keeps waiting, so it ends after
// the tool and reports its status. A handler, unlike the inheritable
// "ignore" flag, leaves the tool's own Ctrl+C handling as it is.
BOOL WINAPI keepWaiting(DWORD event) {
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

class InterruptsHandled {
public:
    InterruptsHandled() { SetConsoleCtrlHandler(keepWaiting, TRUE); }
    ~InterruptsHandled() { SetConsoleCtrlHandler(keepWaiting, FALSE); }
    InterruptsHandled(const InterruptsHandled&) = delete;
    InterruptsHandled& operator=(const InterruptsHandled&) = delete;
};

}  // namespace

ProgramRun runProgram(const std::string& programPath, const std::string& commandLine,
                      const std::vector<std::string>& /*arguments*/) {
    std::wstring application = toWide(programPath);
    std::wstring mutableCommandLine = toWide(commandLine);  // CreateProcessW may write to it

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};

    InterruptsHandled interruptsHandled;
    ProgramRun run;
    if (!CreateProcessW(application.c_str(), mutableCommandLine.data(), nullptr, nullptr, TRUE, 0,
                        nullptr, nullptr, &startup, &process)) {
        run.result = ProgramRun::Result::CannotStart;
        run.error = systemMessage(GetLastError());
        return run;
    }
    CloseHandle(process.hThread);

    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    run.result = ProgramRun::Result::Exited;
    run.code = static_cast<int>(exitCode);
    return run;
}

}  // namespace tavrix::platform
