// What the Windows process runner's parts share: an owned handle, UTF-8
// turned into UTF-16, and how a system error reads.
#ifndef SYVCORE_WINDOWS_WIN32SUPPORT_H
#define SYVCORE_WINDOWS_WIN32SUPPORT_H

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace syv {
namespace detail {

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE handle) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    Handle(Handle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { Close(); }

    HANDLE Get() const { return handle_; }
    bool IsOpen() const { return handle_ != nullptr; }
    void Reset(HANDLE handle) {
        Close();
        handle_ = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }
    void Close() {
        if (handle_ != nullptr) {
            CloseHandle(handle_);
            handle_ = nullptr;
        }
    }

private:
    HANDLE handle_ = nullptr;
};

// Refuses what is not UTF-8 rather than passing on replacement characters;
// what names the text in the ProcessError(kNotStarted) thrown.
std::wstring ToWide(const std::string& text, const std::string& what);

// A system error code as the operator reads it.
std::string ErrorText(DWORD error);

// Throws ProcessError(kNotStarted) with what, then the error's text.
[[noreturn]] void ThrowNotStarted(const std::string& what, DWORD error);

}  // namespace detail
}  // namespace syv

#endif
