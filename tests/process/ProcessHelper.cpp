// A program for the process service's tests: each mode (HelperProtocol.h)
// behaves the way a tool may, well or badly.
#include "HelperProtocol.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

void Write(std::FILE* stream, const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

std::size_t Number(const std::vector<std::string>& args, std::size_t index) {
    return index < args.size() ? static_cast<std::size_t>(std::strtoull(args[index].c_str(), nullptr, 10)) : 0;
}

void SleepMs(std::size_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

#if defined(_WIN32)
std::string ToUtf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size > 0 ? size - 1 : 0), '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, &result[0], size, nullptr, nullptr);
    return result;
}

int StartSleepingChild(bool, bool) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" sleep 60000";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(self, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
        return -1;
    }
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return static_cast<int>(info.dwProcessId);
}

int OwnPid() { return static_cast<int>(GetCurrentProcessId()); }

void CloseOutput() {
    CloseHandle(GetStdHandle(STD_OUTPUT_HANDLE));
    CloseHandle(GetStdHandle(STD_ERROR_HANDLE));
}
#else
void CloseOutput() {
    close(STDOUT_FILENO);
    close(STDERR_FILENO);
}

int StartSleepingChild(bool newSession, bool closeOutput) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (newSession) setsid();
        if (closeOutput) CloseOutput();
        SleepMs(60000);
        _exit(0);
    }
    return static_cast<int>(pid);
}

int OwnPid() { return static_cast<int>(getpid()); }
#endif

int Run(const std::vector<std::string>& args) {
    const std::string mode = args.empty() ? std::string() : args[0];
    if (mode == "exit" && args.size() > 1) {
        for (std::size_t i = 2; i < args.size(); ++i) Write(stdout, args[i] + '\0');
        return static_cast<int>(std::strtoll(args[1].c_str(), nullptr, 10));
    } else if (mode == "bytes") {
        // Interleaved, so that a runner draining one stream at a time blocks;
        // made a chunk at a time, so that a huge size writes until killed.
        const std::size_t out = Number(args, 1);
        const std::size_t err = Number(args, 2);
        const std::size_t chunk = 4096;
        for (std::size_t at = 0; at < out || at < err; at += chunk) {
            if (at < out) Write(stdout, helper::Pattern(std::min(chunk, out - at), at));
            if (at < err) Write(stderr, helper::Pattern(std::min(chunk, err - at), at));
        }
    } else if (mode == "stdin") {
        std::size_t count = 0;
        char buffer[4096];
        while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, stdin)) count += got;
        Write(stdout, std::to_string(count));
    } else if (mode == "sleep") {
        if (args.size() > 2 && args[2] == "closed") CloseOutput();
        SleepMs(Number(args, 1));
    } else if (mode == "tree" && args.size() > 1) {
        const std::string how = args.size() > 3 ? args[3] : std::string();
        const int child = StartSleepingChild(how.rfind("setsid", 0) == 0, how == "setsid-closed");
        if (child <= 0) return 2;
        std::ofstream(args[1], std::ios::binary | std::ios::trunc) << OwnPid() << ' ' << child << '\n';
        SleepMs(Number(args, 2));
#if !defined(_WIN32)
    } else if (mode == "crash") {
        std::signal(SIGSEGV, SIG_DFL);
        std::raise(SIGSEGV);
    } else if (mode == "fd") {
        Write(stdout, fcntl(static_cast<int>(Number(args, 1)), F_GETFD) == -1 ? "" : "open");
#endif
    } else {
        Write(stderr, "process helper: unknown mode\n");
        return 64;
    }
    return 0;
}

}  // namespace

#if defined(_WIN32)
int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    _setmode(_fileno(stdin), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(ToUtf8(argv[i]));
    return Run(args);
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
