#include "OutputPipe.h"

#include <atomic>

namespace syv {
namespace detail {

OutputPipe::OutputPipe(std::string& sink) : sink_(sink), buffer_(64 * 1024) {
    static std::atomic<unsigned> counter(0);
    const std::wstring name = L"\\\\.\\pipe\\velkor-syvcore-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(counter++);
    server_.Reset(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED |
                                                     FILE_FLAG_FIRST_PIPE_INSTANCE,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 0,
                                   static_cast<DWORD>(buffer_.size()), 0, nullptr));
    if (!server_.IsOpen()) {
        ThrowNotStarted("cannot create a pipe: ", GetLastError());
    }
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    client_.Reset(CreateFileW(name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, &inheritable, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!client_.IsOpen()) {
        ThrowNotStarted("cannot open a pipe: ", GetLastError());
    }
    event_.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event_.IsOpen()) {
        ThrowNotStarted("cannot create an event: ", GetLastError());
    }
}

// A read still in flight writes into this object: it must be cancelled and
// finished before the memory goes.
OutputPipe::~OutputPipe() {
    if (pending_) {
        CancelIoEx(server_.Get(), &overlapped_);
        DWORD ignored = 0;
        GetOverlappedResult(server_.Get(), &overlapped_, &ignored, TRUE);
    }
}

void OutputPipe::StartRead() {
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = event_.Get();
    if (ReadFile(server_.Get(), buffer_.data(), static_cast<DWORD>(buffer_.size()), nullptr, &overlapped_) ||
        GetLastError() == ERROR_IO_PENDING) {
        pending_ = true;
    } else {
        open_ = false;  // ERROR_BROKEN_PIPE: every writer has gone
    }
}

DWORD OutputPipe::FinishRead() {
    DWORD got = 0;
    const BOOL ok = GetOverlappedResult(server_.Get(), &overlapped_, &got, FALSE);
    pending_ = false;
    if (!ok) {
        open_ = false;
        return 0;
    }
    sink_.append(buffer_.data(), got);
    StartRead();
    return got;
}

}  // namespace detail
}  // namespace syv
