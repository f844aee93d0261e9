#include "Service.h"

#include "PluginLibrary.h"
#include "WindowsText.h"
#include "syvcore/WindowsCommandLine.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace syv {

const char* const kServiceName = "VelkorCollector";

namespace {

const wchar_t kName[] = L"VelkorCollector";
const wchar_t kDisplayName[] = L"Velkor Collector";
wchar_t kDescription[] =
    L"Serves the inventory of this machine's Fibre Channel and iSCSI host bus adapters to WBEM clients (CIM-XML) "
    L"and its metrics to Prometheus (/metrics).";
// Milliseconds the manager is told to wait: a start loads the plug-in and
// checks the credentials file; a stop lets the requests in progress end.
const DWORD kStartWaitHint = 60000;
const DWORD kStopWaitHint = 60000;
const ULONGLONG kUninstallStopWait = 60000;
// A log past this size is moved aside (syvhost.old.log) when the service starts.
const unsigned long long kLogMaxBytes = 16ull << 20;

struct ServiceHandle {
    SC_HANDLE handle;
    ~ServiceHandle() {
        if (handle) CloseServiceHandle(handle);
    }
};

std::runtime_error ServiceError(const std::string& doing, DWORD code) {
    std::string reason;
    switch (code) {
        case ERROR_ACCESS_DENIED:
            reason = "access is denied; run it as an administrator (from an elevated prompt)";
            break;
        case ERROR_SERVICE_EXISTS:
            reason = "it is already installed (syvhost.exe --uninstall-service removes it)";
            break;
        case ERROR_SERVICE_DOES_NOT_EXIST:
            reason = "it is not installed";
            break;
        case ERROR_SERVICE_MARKED_FOR_DELETE:
            reason = "it is being removed, which ends once nothing holds it open (close the Services console)";
            break;
        default:
            reason = WindowsErrorText(code) + " (Windows error " + std::to_string(code) + ")";
    }
    return std::runtime_error("cannot " + doing + " the service " + kServiceName + ": " + reason);
}

// Standard error of the service, which has no console: each line that any
// module of the process writes to it goes to the log file, headed by the
// local time.
class ErrorLog {
public:
    ~ErrorLog() { Close(); }

    // Throws std::runtime_error naming the file.
    void Open(const std::string& path) {
        const std::wstring file = WideText(path);
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data) &&
            ((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) > kLogMaxBytes) {
            // Should the move fail, the log goes on growing.
            MoveFileExW(file.c_str(), (file.substr(0, file.size() - 4) + L".old.log").c_str(), MOVEFILE_REPLACE_EXISTING);
        }
        file_ = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) {
            throw std::runtime_error("cannot open the log file " + path + ": " + WindowsErrorText(GetLastError()));
        }
        HANDLE write = nullptr;
        if (!CreatePipe(&pipe_, &write, nullptr, 0)) {
            throw std::runtime_error("cannot make a pipe for the log: " + WindowsErrorText(GetLastError()));
        }
        const int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(write), _O_WRONLY | _O_BINARY);
        if (descriptor == -1) {
            CloseHandle(write);
            throw std::runtime_error("cannot send standard error to the log");
        }
        if (_dup2(descriptor, 2) != 0) {
            _close(descriptor);
            throw std::runtime_error("cannot send standard error to the log");
        }
        // Without a console, msvcrt gave the stream stderr no descriptor (-2),
        // and Wine's freopen refuses such a stream: it is given descriptor 2.
        stderr->_file = 2;
        _close(descriptor);
        std::setvbuf(stderr, nullptr, _IONBF, 0);
        const HANDLE error = reinterpret_cast<HANDLE>(_get_osfhandle(2));
        // A tool the plug-in starts must not hold the pipe open.
        SetHandleInformation(error, HANDLE_FLAG_INHERIT, 0);
        SetStdHandle(STD_ERROR_HANDLE, error);
        std::cerr.clear();
        reader_ = std::thread([this]() { Copy(); });
    }

    // Copies what is left and closes the file; standard error then goes to
    // the null device.
    void Close() {
        if (reader_.joinable()) {
            std::cerr.flush();
            std::fflush(stderr);
            // The pipe's last write end closes, and the reader sees its end.
            const int null = _open("NUL", _O_WRONLY);
            if (null == -1) {
                _close(2);
            } else {
                _dup2(null, 2);
                _close(null);
            }
            reader_.join();
        }
        if (pipe_) CloseHandle(pipe_);
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
        pipe_ = nullptr;
        file_ = INVALID_HANDLE_VALUE;
    }

private:
    void Copy() {
        std::string pending;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(pipe_, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            pending.append(buffer, got);
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
                WriteLine(pending.substr(0, end));
            }
        }
        if (!pending.empty()) WriteLine(pending);
    }

    void WriteLine(std::string line) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        SYSTEMTIME now;
        GetLocalTime(&now);
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth, now.wDay,
                      now.wHour, now.wMinute, now.wSecond);
        const std::string text = stamp + line + "\r\n";
        DWORD written = 0;
        // The log is where failures are told; a failure to write it has
        // nowhere to go.
        WriteFile(file_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }

    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE pipe_ = nullptr;  // the read end
    std::thread reader_;
};

// One run of the service: the manager calls Main on a thread of its own and
// Control on another.
class ServiceRun {
public:
    explicit ServiceRun(const ServiceBody& body) : body_(body) {}

    void Main() {
        handle_ = RegisterServiceCtrlHandlerExW(kName, &ServiceRun::Control, this);
        if (!handle_) return;  // nothing can be told to the manager
        Report(SERVICE_START_PENDING, 0, kStartWaitHint);
        ErrorLog log;
        try {
            log.Open(ServiceLogPath());
        } catch (const std::exception&) {
            Report(SERVICE_STOPPED, kServiceCannotLog);
            return;
        }
        std::cerr << "syvhost: the service " << kServiceName << " starts" << std::endl;
        int code = 0;
        try {
            body_(control_, [this](const std::string& baseUrl) {
                std::cerr << "syvhost: serving " << baseUrl << std::endl;
                Report(SERVICE_RUNNING);
            });
            std::cerr << "syvhost: the service stopped" << std::endl;
        } catch (const ServiceFailure& failure) {
            code = failure.code;
            std::cerr << "syvhost: " << failure.message << "; the service stops with the service-specific exit code "
                      << code << std::endl;
        }
        log.Close();
        Report(SERVICE_STOPPED, static_cast<DWORD>(code));
    }

private:
    static DWORD WINAPI Control(DWORD control, DWORD, LPVOID, LPVOID context) {
        ServiceRun& run = *static_cast<ServiceRun*>(context);
        switch (control) {
            case SERVICE_CONTROL_STOP:
            case SERVICE_CONTROL_SHUTDOWN:
                run.Report(SERVICE_STOP_PENDING, 0, kStopWaitHint);
                run.control_.RequestStop();
                return NO_ERROR;
            case SERVICE_CONTROL_INTERROGATE:
                return NO_ERROR;
            default:
                return ERROR_CALL_NOT_IMPLEMENTED;
        }
    }

    // STOPPED is the last word: a stop that comes after it is not told.
    void Report(DWORD state, DWORD specificCode = 0, DWORD waitHint = 0) {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (status_.dwCurrentState == SERVICE_STOPPED) return;
        const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
        status_.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        status_.dwCurrentState = state;
        status_.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
        status_.dwWin32ExitCode = specificCode ? ERROR_SERVICE_SPECIFIC_ERROR : NO_ERROR;
        status_.dwServiceSpecificExitCode = specificCode;
        status_.dwCheckPoint = pending ? status_.dwCheckPoint + 1 : 0;
        status_.dwWaitHint = waitHint;
        SetServiceStatus(handle_, &status_);
    }

    const ServiceBody& body_;
    wbem::StopControl control_;
    SERVICE_STATUS_HANDLE handle_ = nullptr;
    std::mutex mutex_;
    SERVICE_STATUS status_ = {};
};

ServiceRun* g_run = nullptr;  // the manager passes ServiceMain no context

void WINAPI ServiceMain(DWORD, LPWSTR*) { g_run->Main(); }

}  // namespace

std::string ServiceLogPath() { return ProgramFolder() + "\\syvhost.log"; }

std::string InstallService(const std::vector<std::string>& arguments) {
    std::vector<std::wstring> wideArguments;
    for (const std::string& argument : arguments) wideArguments.push_back(WideText(argument));
    // As CommandLineToArgvW, which the service's syvhost reads it with, takes it back.
    const std::wstring commandLine = WindowsCommandLine(WideText(ProgramPath()), wideArguments);
    const ServiceHandle manager{OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE)};
    if (!manager.handle) throw ServiceError("install", GetLastError());
    // LocalSystem: the vendor tools need an administrator's rights.
    const ServiceHandle service{CreateServiceW(manager.handle, kName, kDisplayName, SERVICE_CHANGE_CONFIG | DELETE,
                                               SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                               commandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr)};
    if (!service.handle) throw ServiceError("install", GetLastError());
    SERVICE_DESCRIPTIONW description = {kDescription};
    if (!ChangeServiceConfig2W(service.handle, SERVICE_CONFIG_DESCRIPTION, &description)) {
        const DWORD error = GetLastError();
        DeleteService(service.handle);
        throw ServiceError("describe", error);
    }
    return std::string("installed the service ") + kServiceName + " (automatic start; net start " + kServiceName +
           " starts it now; log " + ServiceLogPath() + "): " + Utf8Text(commandLine);
}

std::string UninstallService() {
    const ServiceHandle manager{OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)};
    if (!manager.handle) throw ServiceError("remove", GetLastError());
    const ServiceHandle service{OpenServiceW(manager.handle, kName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE)};
    if (!service.handle) throw ServiceError("remove", GetLastError());
    bool stopped = false;
    const ULONGLONG deadline = GetTickCount64() + kUninstallStopWait;
    for (;;) {
        SERVICE_STATUS status;
        if (!QueryServiceStatus(service.handle, &status)) throw ServiceError("query", GetLastError());
        if (status.dwCurrentState == SERVICE_STOPPED) break;
        if (GetTickCount64() > deadline) {
            throw std::runtime_error(std::string("cannot remove the service ") + kServiceName +
                                     ": it did not stop within a minute; stop it (net stop " + kServiceName +
                                     ") and try again");
        }
        // A starting service is stopped once it runs; a stopping one is awaited.
        if (status.dwCurrentState == SERVICE_RUNNING && !stopped) {
            if (!ControlService(service.handle, SERVICE_CONTROL_STOP, &status)) {
                const DWORD error = GetLastError();
                if (error != ERROR_SERVICE_NOT_ACTIVE) throw ServiceError("stop", error);
            }
            stopped = true;
        }
        Sleep(200);
    }
    if (!DeleteService(service.handle)) throw ServiceError("remove", GetLastError());
    return std::string(stopped ? "stopped and removed" : "removed") + " the service " + kServiceName;
}

void RunAsService(const ServiceBody& body) {
    ServiceRun run(body);
    g_run = &run;
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<wchar_t*>(kName), ServiceMain}, {nullptr, nullptr}};
    const BOOL dispatched = StartServiceCtrlDispatcherW(table);
    const DWORD error = GetLastError();
    g_run = nullptr;
    if (dispatched) return;
    if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
        throw std::runtime_error(std::string("--service: only the service control manager starts syvhost so (net start ") +
                                 kServiceName + ", once --install-service registered it); at a prompt, leave --service out");
    }
    throw std::runtime_error("--service: cannot reach the service control manager: " + WindowsErrorText(error));
}

}  // namespace syv
