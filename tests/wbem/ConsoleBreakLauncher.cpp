// Windows only: starts a program on a console of its own, sharing the
// launcher's standard handles; when the launcher's standard input ends, it
// sends Ctrl+C to the console and exits with the program's exit code. Lets
// the tests stop syvhost.exe --serve as a user at its console would (Wine
// delivers Ctrl+C to a fresh console, not Ctrl+Break to a process group).
// Usage: console_break_launcher PROGRAM [ARGUMENT ...]
#include <windows.h>

#include <string>

namespace {

BOOL WINAPI Ignore(DWORD) { return TRUE; }

}  // namespace

int main(int argc, char** argv) {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    std::string command;
    for (int i = 1; i < argc; ++i) command += std::string(i > 1 ? " \"" : "\"") + argv[i] + "\"";
    FreeConsole();
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    if (argc < 2 || !AllocConsole() || !SetConsoleCtrlHandler(Ignore, TRUE) ||
        !CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        return 121;
    }
    char buffer[64];
    DWORD read = 0;
    while (ReadFile(in, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    }
    DWORD code = 122;
    if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) || WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 123);
        return 123;
    }
    return GetExitCodeProcess(process.hProcess, &code) ? static_cast<int>(code) : 124;
}
