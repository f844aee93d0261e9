// Starts a program with its standard output on the named file, with none
// ("closed"), or on a pipe whose reader has gone ("broken-pipe"), standard
// error shared, and exits with its exit code.
// Usage: stdout_launcher FILE|closed|broken-pipe PROGRAM [ARGUMENT ...]
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// Quoted as the C runtime reads a command line back: backslashes before a
// quote are doubled, a quote is escaped.
std::string Quote(const std::string& argument) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    return quoted.append(2 * backslashes, '\\') + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: stdout_launcher FILE|closed|broken-pipe PROGRAM [ARGUMENT ...]\n");
        return 120;
    }
    const std::string target = argv[1];
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE output = nullptr;
    if (target == "broken-pipe") {
        HANDLE reader = nullptr;
        if (!CreatePipe(&reader, &output, &inherit, 0)) {
            std::fprintf(stderr, "stdout_launcher: cannot make a pipe: error %lu\n", GetLastError());
            return 121;
        }
        CloseHandle(reader);
    } else if (target != "closed") {
        output = CreateFileA(argv[1], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (output == INVALID_HANDLE_VALUE) {
            std::fprintf(stderr, "stdout_launcher: cannot open %s: error %lu\n", argv[1], GetLastError());
            return 121;
        }
    }
    std::string commandLine = Quote(argv[2]);
    for (int i = 3; i < argc; ++i) commandLine += " " + Quote(argv[i]);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(argv[2], &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        std::fprintf(stderr, "stdout_launcher: cannot start %s: error %lu\n", argv[2], GetLastError());
        return 122;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 123;
    GetExitCodeProcess(process.hProcess, &exitCode);
    return static_cast<int>(exitCode);
}
