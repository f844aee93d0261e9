#include "Win32Support.h"

#include "ProcessRunner.h"

#include <algorithm>
#include <climits>

namespace syv {
namespace detail {
namespace {

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(std::max(size, 0)), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size, nullptr,
                            nullptr);
    }
    return result;
}

}  // namespace

std::wstring ToWide(const std::string& text, const std::string& what) {
    if (text.empty()) {
        return std::wstring();
    }
    if (text.size() > static_cast<std::size_t>(INT_MAX)) {
        throw ProcessError(ProcessFailure::kNotStarted, what + " is too long");
    }
    const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0);
    if (size <= 0) {
        throw ProcessError(ProcessFailure::kNotStarted, what + " is not valid UTF-8");
    }
    std::wstring result(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), &result[0], size);
    return result;
}

std::string ErrorText(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return "no such file";
    case ERROR_ACCESS_DENIED:
        return "permission denied";
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_EXE_MACHINE_TYPE_MISMATCH:
        return "not an executable format";
    default:
        break;
    }
    wchar_t* message = nullptr;
    const DWORD size = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::string text = "Windows error " + std::to_string(error);
    if (size > 0 && message != nullptr) {
        std::string described = ToUtf8(std::wstring(message, size));
        described.erase(described.find_last_not_of(" \t\r\n.") + 1);
        if (!described.empty()) {
            text += " (" + described + ")";
        }
    }
    if (message != nullptr) {
        LocalFree(message);
    }
    return text;
}

void ThrowNotStarted(const std::string& what, DWORD error) {
    throw ProcessError(ProcessFailure::kNotStarted, what + ErrorText(error));
}

}  // namespace detail
}  // namespace syv
