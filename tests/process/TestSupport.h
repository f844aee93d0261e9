// Where the test programs are, and whether a process still runs.
#ifndef VELKOR_TESTS_PROCESS_TESTSUPPORT_H
#define VELKOR_TESTS_PROCESS_TESTSUPPORT_H

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace testsupport {

#if defined(_WIN32)
const char* const kExeSuffix = ".exe";

inline std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size, nullptr, nullptr);
    return result;
}

inline std::string OwnPath() {
    wchar_t path[MAX_PATH];
    const DWORD size = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return ToUtf8(std::wstring(path, size));
}

inline bool IsRunning(int pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) {
        return false;
    }
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}
#else
const char* const kExeSuffix = "";

inline std::string OwnPath() {
    char path[4096];
    const ssize_t size = readlink("/proc/self/exe", path, sizeof path);
    return size > 0 ? std::string(path, static_cast<std::size_t>(size)) : std::string();
}

// A zombie counts as gone: it runs no more, and nobody may reap it here.
inline bool IsRunning(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) {
        return false;
    }
    const std::size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z' &&
           text[close + 2] != 'X';
}
#endif

// The folder every program of the build lands in: this test program's own.
inline std::string BinFolder() {
    const std::string path = OwnPath();
    return path.substr(0, path.find_last_of("/\\"));
}

inline std::string HelperName() { return std::string("velkor_process_helper") + kExeSuffix; }

inline std::string HelperPath() { return BinFolder() + "/" + HelperName(); }

// Killing is asynchronous on some systems: give the process time to go.
inline bool GoneWithin(int pid, std::chrono::seconds grace) {
    const auto end = std::chrono::steady_clock::now() + grace;
    while (IsRunning(pid)) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace testsupport

#endif
